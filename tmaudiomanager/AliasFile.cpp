#include "tmaudiomanager/AliasFile.h"

#include "tmaudiomanager/ModaliasPattern.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace tmaudiomanager {

namespace {

constexpr const char* kGlobCharacters = "*?[]\\";

bool IsPlainPatternText(const std::string& text) {
    return !text.empty() && text.find_first_of(kGlobCharacters) == std::string::npos;
}

// The vendor and device parts of the fields a key is made of.
struct KeyParts {
    std::optional<std::string> vendor;
    std::optional<std::string> device;
};

KeyParts SplitKey(DriverTable table, const AliasFields& fields) {
    auto field = [&fields](const char* marker) -> std::optional<std::string> {
        const std::string* value = fields.Find(marker);
        return value != nullptr ? std::optional<std::string>(*value) : std::nullopt;
    };
    switch (table) {
    case DriverTable::PCI:
        return {field("v"), field("d")};
    case DriverTable::USB:
        return {field("v"), field("p")};
    case DriverTable::HDAUDIO: {
        // One field holds both: vendor in the first four digits, device in the last four.
        const std::optional<std::string> both = field("v");
        if (!both || both->size() < 4) {
            return {};
        }
        return {both->substr(0, 4),
                both->size() > 4 ? std::optional(both->substr(4)) : std::nullopt};
    }
    case DriverTable::OTHER:
        break;
    }
    return {};
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

bool HasControlCharacters(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

std::string KernelRelease() {
    struct utsname names {};
    if (uname(&names) != 0) {
        return {};
    }
    return names.release;
}

std::optional<AliasRow> RowFor(std::string_view pattern, std::string_view module) {
    const std::size_t colon = pattern.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    const std::string_view bus = pattern.substr(0, colon);
    AliasRow row{DriverTable::OTHER, {}, std::string(pattern), std::string(module)};
    if (bus == "pci" || bus == "usb" || bus == "hdaudio") {
        row.table = bus == "pci" ? DriverTable::PCI
                                 : (bus == "usb" ? DriverTable::USB : DriverTable::HDAUDIO);
        const std::optional<AliasFields> fields = SplitModalias(pattern);
        if (!fields) {
            return std::nullopt;
        }
        row.prefilter = PatternKey(row.table, *fields);
    } else {
        row.prefilter = PatternKey(row.table, AliasFields{std::string(bus), {}});
    }
    return row;
}

} // namespace

const char* TableName(DriverTable table) {
    switch (table) {
    case DriverTable::HDAUDIO:
        return "HDAUDIO";
    case DriverTable::OTHER:
        return "OTHER";
    case DriverTable::PCI:
        return "PCI";
    case DriverTable::USB:
        return "USB";
    }
    return "OTHER";
}

std::optional<DriverTable> TableFromName(std::string_view name) {
    for (DriverTable table : kDriverTables) {
        if (name == TableName(table)) {
            return table;
        }
    }
    return std::nullopt;
}

AliasSource LocateAliasSource() {
    const std::string release = KernelRelease();
    std::vector<std::string> candidates;
    if (const char* forced = std::getenv("TMAUDIOMANAGER_MODULES_ALIAS");
        forced != nullptr && *forced != '\0') {
        candidates.push_back(forced);
    } else if (!release.empty()) {
        candidates.push_back("/lib/modules/" + release + "/modules.alias");
        candidates.push_back("/usr/lib/modules/" + release + "/modules.alias");
    }
    for (const std::string& path : candidates) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        AliasSource source;
        source.path = path;
        source.identity = "format 2\nkernel " + release + "\nfile " + path + "\nsize " +
                          std::to_string(info.st_size) + "\nmtime " +
                          std::to_string(info.st_mtim.tv_sec) + "." +
                          std::to_string(info.st_mtim.tv_nsec) + "\ninode " +
                          std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
        return source;
    }
    return {};
}

std::vector<AliasRow> ParseAliasLines(std::string_view text) {
    std::vector<AliasRow> rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.size() != 3 || words[0] != "alias" || HasControlCharacters(line)) {
            continue;
        }
        if (std::optional<AliasRow> row = RowFor(words[1], words[2])) {
            rows.push_back(std::move(*row));
        }
    }
    return rows;
}

std::optional<std::string> ReadAliasFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string content;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (content.size() > kMaxAliasFileBytes) {
            return std::nullopt;
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return content;
}

std::string PatternKey(DriverTable table, const AliasFields& pattern) {
    if (table == DriverTable::OTHER) {
        const std::size_t glob = pattern.bus.find_first_of(kGlobCharacters);
        return glob == std::string::npos ? pattern.bus : pattern.bus.substr(0, glob) + "*";
    }
    const KeyParts parts = SplitKey(table, pattern);
    if (!parts.vendor || !IsPlainPatternText(*parts.vendor)) {
        return "*";
    }
    if (!parts.device || !IsPlainPatternText(*parts.device)) {
        return *parts.vendor + "*";
    }
    return *parts.vendor + *parts.device;
}

std::vector<std::string> QueryKeys(DriverTable table, const AliasFields& id) {
    if (table == DriverTable::OTHER) {
        std::vector<std::string> keys{id.bus};
        for (std::size_t length = 0; length <= id.bus.size(); ++length) {
            keys.push_back(id.bus.substr(0, length) + "*");
        }
        return keys;
    }
    // A pattern that fixes a field the id leaves open cannot match it, so only keys of
    // patterns that leave those fields open come into question.
    const KeyParts parts = SplitKey(table, id);
    const auto known = [](const std::optional<std::string>& part) {
        return part && !part->empty() && part->find('?') == std::string::npos;
    };
    std::vector<std::string> keys;
    if (known(parts.vendor)) {
        if (known(parts.device)) {
            keys.push_back(*parts.vendor + *parts.device);
        }
        keys.push_back(*parts.vendor + "*");
    }
    keys.push_back("*");
    return keys;
}

} // namespace tmaudiomanager
