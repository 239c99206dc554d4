#pragma once
// The lenient parser of the configuration dialect: JSON whose separators between members and
// elements are optional, with a trailing separator allowed, an escape for the apostrophe, and
// everything after the first complete value ignored.

#include "QxJSONNodes.h"

#include <memory>
#include <string_view>

class TqxJSON {
public:
    // Containers nested deeper than this make the whole text fail instead of exhausting the
    // stack.
    static constexpr int kMaxDepth = 512;

    // The tree of the first value in the text, or none when the text is rejected. Rejection
    // never says why; nothing of a rejected text survives.
    static std::unique_ptr<TqxJSONbase> ParseDocument(std::string_view text);
};
