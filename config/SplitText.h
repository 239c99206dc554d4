#pragma once
// Cuts a text at every occurrence of a one-character separator, left to right. Empty pieces are
// kept (a doubled separator gives an empty piece between, a trailing one an empty last piece),
// nothing is trimmed, and a text without the separator is one piece.

#include <string>
#include <string_view>
#include <vector>

// Replaces the content of list with the pieces.
void SplitText(std::string_view text, char separator, std::vector<std::string>& list);
