#pragma once
// Narrow text on Linux is UTF-8; the document model holds UTF-16. These two conversions are the
// only bridge between them, for the configuration and for anyone else who needs it.
//
// Neither ever fails: a byte sequence that is not UTF-8 and a lone surrogate each become the
// replacement character U+FFFD.

#include <string>
#include <string_view>

std::u16string NarrowToWide(std::string_view narrow);
std::string WideToNarrow(std::u16string_view wide);

// Appends one code point, encoded as UTF-8, to a narrow text.
void AppendUtf8(std::string& out, char32_t code);
