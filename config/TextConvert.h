#pragma once
// Narrow text on Linux is UTF-8; the document model holds UTF-16. These conversions are the only
// bridge between them, for the configuration and for anyone else who needs it, and
// NextUtf8CodePoint is the program's one UTF-8 decoder.
//
// Nothing here ever fails or reads past the end of its text. What is not UTF-8 becomes the
// replacement character U+FFFD, one for each maximal part of a sequence that was well formed
// so far (a lead byte alone, a sequence cut short, a byte never used), as Unicode recommends:
// "\xE2\x82" followed by "A" gives U+FFFD then "A". A lone surrogate in UTF-16 becomes U+FFFD too.

#include <string>
#include <string_view>

std::u16string NarrowToWide(std::string_view narrow);
std::string WideToNarrow(std::u16string_view wide);

// Appends one code point, encoded as UTF-8, to a narrow text.
void AppendUtf8(std::string& out, char32_t code);

// Decodes the UTF-8 sequence at text[at] and moves at past it: past the whole character, or
// past the bytes replaced by U+FFFD (at least one). At or past the end it gives U+FFFD and
// leaves at where it is.
char32_t NextUtf8CodePoint(std::string_view text, std::size_t& at);

// Whether code, decoded by NextUtf8CodePoint from text[from] up to text[at], replaces bytes
// that are not UTF-8 (rather than being a U+FFFD written in the text).
bool IsReplacedUtf8(char32_t code, std::string_view text, std::size_t from, std::size_t at);

// The value of a hexadecimal digit (either case), or -1 for any other character.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}
