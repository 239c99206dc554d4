#include "tmaudiomanager/AliasFile.h"

#include "tmaudiomanager/ModaliasPattern.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace tmaudiomanager {

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
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
        const std::string* vendor = fields->Find("v");
        row.prefilter = PrefilterFor(row.table, vendor != nullptr ? *vendor : "*");
    } else {
        row.prefilter = PrefilterFor(row.table, bus);
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
        source.identity = "format 1\nkernel " + release + "\nfile " + path + "\nsize " +
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

std::string PrefilterFor(DriverTable table, std::string_view busOrVendorField) {
    std::size_t digits = 0;
    switch (table) {
    case DriverTable::OTHER:
        // Some buses are written as globs themselves ("acpi*:INT343A:*").
        return busOrVendorField.find_first_of("*?[\\") == std::string_view::npos
                   ? std::string(busOrVendorField)
                   : std::string("*");
    case DriverTable::PCI:
        digits = 8;
        break;
    case DriverTable::USB:
    case DriverTable::HDAUDIO:
        digits = 4;
        break;
    }
    if (busOrVendorField.size() < digits) {
        return "*";
    }
    for (std::size_t i = 0; i < digits; ++i) {
        if (!IsHexDigit(busOrVendorField[i])) {
            return "*";
        }
    }
    return std::string(busOrVendorField.substr(0, digits));
}

} // namespace tmaudiomanager
