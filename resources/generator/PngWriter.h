#pragma once
// The program only decodes 8-bit RGBA, non-interlaced PNG, so every picture is written in
// exactly that form, with no text or time chunks that would make two runs differ.

#include "Products.h"

namespace art {

Bytes EncodeRgbaPng(const QImage& image);

} // namespace art
