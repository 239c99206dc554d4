#include "tmaudiomanager/ModaliasPattern.h"

#include <bitset>

namespace tmaudiomanager {

namespace {

bool IsMarkerChar(char c) {
    return c >= 'a' && c <= 'z';
}

// One position of a compiled glob: either a star, or the set of characters it takes.
struct GlobElement {
    bool star = false;
    std::bitset<256> accepts;
};

// Reads a bracket class starting at pattern[i] == '['. Returns false when the class is not
// closed, in which case the '[' is an ordinary character (as fnmatch treats it).
bool ReadClass(std::string_view pattern, std::size_t& i, std::bitset<256>& set) {
    std::size_t j = i + 1;
    bool negate = false;
    if (j < pattern.size() && (pattern[j] == '!' || pattern[j] == '^')) {
        negate = true;
        ++j;
    }
    std::bitset<256> members;
    bool first = true;
    while (j < pattern.size() && (first || pattern[j] != ']')) {
        first = false;
        unsigned char low = static_cast<unsigned char>(pattern[j]);
        if (pattern[j] == '\\' && j + 1 < pattern.size()) {
            low = static_cast<unsigned char>(pattern[++j]);
        }
        if (j + 2 < pattern.size() && pattern[j + 1] == '-' && pattern[j + 2] != ']') {
            unsigned char high = static_cast<unsigned char>(pattern[j + 2]);
            for (unsigned c = low; c <= high; ++c) {
                members.set(c);
            }
            j += 3;
        } else {
            members.set(low);
            ++j;
        }
    }
    if (j >= pattern.size()) {
        return false;
    }
    set = negate ? ~members : members;
    i = j + 1;
    return true;
}

std::vector<GlobElement> CompileGlob(std::string_view pattern) {
    std::vector<GlobElement> elements;
    std::size_t i = 0;
    while (i < pattern.size()) {
        GlobElement element;
        char c = pattern[i];
        if (c == '*') {
            element.star = true;
            ++i;
        } else if (c == '?') {
            element.accepts.set();
            ++i;
        } else if (c == '[' && ReadClass(pattern, i, element.accepts)) {
            // ReadClass moved i past the class
        } else {
            if (c == '\\' && i + 1 < pattern.size()) {
                c = pattern[++i];
            }
            element.accepts.set(static_cast<unsigned char>(c));
            ++i;
        }
        elements.push_back(element);
    }
    return elements;
}

bool TakesEveryHexDigit(const GlobElement& element) {
    static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    for (char digit : kHexDigits) {
        if (!element.accepts.test(static_cast<unsigned char>(digit))) {
            return false;
        }
    }
    return true;
}

bool ElementTakes(const GlobElement& element, char c) {
    if (c == '?') {
        return TakesEveryHexDigit(element);
    }
    return element.accepts.test(static_cast<unsigned char>(c));
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
    const std::vector<GlobElement> elements = CompileGlob(pattern);
    // The usual linear matcher: on a mismatch, let the most recent star take one more character.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starAt = elements.size();
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < elements.size() && !elements[p].star && ElementTakes(elements[p], text[t])) {
            ++p;
            ++t;
        } else if (p < elements.size() && elements[p].star) {
            starAt = p++;
            starText = t;
        } else if (starAt != elements.size()) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < elements.size() && elements[p].star) {
        ++p;
    }
    return p == elements.size();
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
