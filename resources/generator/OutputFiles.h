#pragma once
// Writing finished resources into the output folder; failures throw with the file's name.

#include "Products.h"

#include <filesystem>

namespace art {

void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);
void WritePng(const std::filesystem::path& file, const QImage& image);

} // namespace art
