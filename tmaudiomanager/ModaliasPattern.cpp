#include "tmaudiomanager/ModaliasPattern.h"

namespace tmaudiomanager {

namespace {

bool IsMarkerChar(char c) {
    return c >= 'a' && c <= 'z';
}

// One position of a glob: a star, or a single character test ('?', a class, a literal).
// Read in place, as matching runs once per stored pattern and must not allocate.
struct GlobElement {
    bool star = false;
    std::size_t begin = 0; // where the element's text starts in the pattern
    std::size_t end = 0;   // one past it
};

// Where a bracket class starting at pattern[i] == '[' ends (one past its ']'); npos when it is
// not closed, in which case the '[' is an ordinary character (as fnmatch treats it).
std::size_t ClassEnd(std::string_view pattern, std::size_t i) {
    std::size_t j = i + 1;
    if (j < pattern.size() && (pattern[j] == '!' || pattern[j] == '^')) {
        ++j;
    }
    bool first = true;
    while (j < pattern.size() && (first || pattern[j] != ']')) {
        first = false;
        j += (pattern[j] == '\\' && j + 1 < pattern.size()) ? 2 : 1;
    }
    return j < pattern.size() ? j + 1 : std::string_view::npos;
}

GlobElement ElementAt(std::string_view pattern, std::size_t i) {
    const char c = pattern[i];
    if (c == '*') {
        return {true, i, i + 1};
    }
    if (c == '[') {
        if (const std::size_t end = ClassEnd(pattern, i); end != std::string_view::npos) {
            return {false, i, end};
        }
    }
    if (c == '\\' && i + 1 < pattern.size()) {
        return {false, i, i + 2};
    }
    return {false, i, i + 1};
}

bool ClassTakes(std::string_view body, unsigned char c) {
    bool negate = false;
    std::size_t j = 0;
    if (j < body.size() && (body[j] == '!' || body[j] == '^')) {
        negate = true;
        ++j;
    }
    bool member = false;
    bool first = true;
    while (j < body.size() && (first || body[j] != ']')) {
        first = false;
        unsigned char low = static_cast<unsigned char>(body[j]);
        if (body[j] == '\\' && j + 1 < body.size()) {
            low = static_cast<unsigned char>(body[++j]);
        }
        if (j + 2 < body.size() && body[j + 1] == '-' && body[j + 2] != ']') {
            const auto high = static_cast<unsigned char>(body[j + 2]);
            member = member || (c >= low && c <= high);
            j += 3;
        } else {
            member = member || c == low;
            ++j;
        }
    }
    return member != negate;
}

bool ElementTakesChar(std::string_view pattern, const GlobElement& element, unsigned char c) {
    const std::string_view text = pattern.substr(element.begin, element.end - element.begin);
    if (text == "?") {
        return true;
    }
    if (text.size() > 1 && text[0] == '[') {
        return ClassTakes(text.substr(1), c);
    }
    return static_cast<unsigned char>(text.back()) == c; // a literal, maybe escaped
}

// A '?' in the text is a hex digit the id leaves open: only an element taking all of them fits.
bool ElementTakes(std::string_view pattern, const GlobElement& element, char c) {
    if (c != '?') {
        return ElementTakesChar(pattern, element, static_cast<unsigned char>(c));
    }
    static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    for (char digit : kHexDigits) {
        if (!ElementTakesChar(pattern, element, static_cast<unsigned char>(digit))) {
            return false;
        }
    }
    return true;
}

bool OnlyStars(std::string_view glob) {
    return glob.find_first_not_of('*') == std::string_view::npos;
}

} // namespace

const std::string* AliasFields::Find(std::string_view marker) const {
    for (const auto& [name, value] : fields) {
        if (name == marker) {
            return &value;
        }
    }
    return nullptr;
}

std::optional<AliasFields> SplitModalias(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    AliasFields result;
    result.bus = std::string(text.substr(0, colon));
    std::size_t i = colon + 1;
    if (i < text.size() && !IsMarkerChar(text[i])) {
        return std::nullopt;
    }
    while (i < text.size()) {
        const std::size_t markerStart = i;
        while (i < text.size() && IsMarkerChar(text[i])) {
            ++i;
        }
        const std::size_t valueStart = i;
        while (i < text.size() && !IsMarkerChar(text[i])) {
            ++i;
        }
        std::string marker(text.substr(markerStart, valueStart - markerStart));
        if (result.Find(marker) != nullptr) {
            return std::nullopt;
        }
        result.fields.emplace_back(std::move(marker),
                                   std::string(text.substr(valueStart, i - valueStart)));
    }
    return result;
}

bool GlobMatches(std::string_view pattern, std::string_view text) {
    // The usual linear matcher: on a mismatch, let the most recent star take one more character.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        const GlobElement element =
            p < pattern.size() ? ElementAt(pattern, p) : GlobElement{false, p, p};
        if (p < pattern.size() && !element.star && ElementTakes(pattern, element, text[t])) {
            p = element.end;
            ++t;
        } else if (p < pattern.size() && element.star) {
            starAt = p;
            p = element.end;
            starText = t;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool PatternAccepts(const AliasFields& pattern, const AliasFields& device) {
    if (pattern.bus != device.bus) {
        return false;
    }
    for (const auto& [marker, glob] : pattern.fields) {
        const std::string* value = device.Find(marker);
        if (value == nullptr ? !OnlyStars(glob) : !GlobMatches(glob, *value)) {
            return false;
        }
    }
    return true;
}

} // namespace tmaudiomanager
