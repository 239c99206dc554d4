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

// Decodes the UTF-8 sequence at text[at] (at must be below its size) and moves at past it. A
// sequence that is not well formed costs one byte and yields U+FFFD; so a U+FFFD that took a
// single byte stands for that byte, not for the character itself.
char32_t NextUtf8CodePoint(std::string_view text, std::size_t& at);
