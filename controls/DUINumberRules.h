#pragma once
// How drawn page items read their numbers: placement parts and alignments leniently (what can
// be read counts, nothing fails), font sizes and colours strictly (the whole text must be one
// number or the item's page stops with a conversion failure), and the placement text's rule
// of absolute and relative parts.
//
// A number is read as: leading blanks, one optional '+' or '-', then hexadecimal digits after
// "$", "x", "X" or "0x", decimal digits otherwise. Every result is a 32-bit value; whatever is
// computed on the way is done in 64 bits and wrapped to 32, so no text can overflow anything.

#include "graphics/Colors.h"
#include "graphics/Geometry.h"

#include <cstdint>
#include <string>
#include <string_view>

// The value read up to the first character that does not belong; 0 without digits.
std::int32_t LenientNumber(std::string_view text);

// False when text is not entirely one number, or the number does not fit 32 bits (decimal:
// the signed range; hexadecimal: any 32-bit pattern, "$FFFFFFFF" being -1).
bool StrictNumber(std::string_view text, std::int32_t& value);
// As StrictNumber; a failure raises ConvertError "'text' is not a valid integer value".
std::int32_t StrictNumberOrThrow(std::string_view text);

// The colour a "font#color" text names: its characters reversed, "$" put in front, read by the
// strict rule as 0x00BBGGRR. "0033AD" is red 0x00, green 0x33, blue 0xDA: stored configurations
// are written for this reading. A failure names the reversed text with its "$".
TColor ColorFromText(std::string_view text);

// Applies a "rect" text to rect: up to four comma-separated parts x, y, w, h, each absolute,
// or relative when it holds a '+' anywhere (see the rule in DUINumberRules.cpp).
void ApplyRectText(TRect& rect, std::string_view text);
