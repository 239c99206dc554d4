#include "platform/InstanceRecord.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace platform {

namespace {

constexpr std::string_view kHeader = "TONEMENDER-INSTANCES 1";

// Splits text into lines; the last line must end with a newline, so a record cut short by a
// crash while writing is seen as damaged.
std::optional<std::vector<std::string_view>> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A decimal number filling the whole text, without sign or spaces.
template <class Number> std::optional<Number> Decimal(std::string_view text) {
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "name value", exactly one space.
std::optional<std::string_view> Field(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() + 1 || line.substr(0, name.size()) != name ||
        line[name.size()] != ' ') {
        return std::nullopt;
    }
    return line.substr(name.size() + 1);
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

std::optional<InstanceRecord> ParseInstanceRecord(std::string_view text) {
    if (text.size() > kMaxInstanceRecordBytes) {
        return std::nullopt;
    }
    auto lines = Lines(text);
    if (!lines || lines->size() < 3 || (*lines)[0] != kHeader) {
        return std::nullopt;
    }
    auto maximumText = Field((*lines)[1], "maximum");
    auto countText = Field((*lines)[2], "count");
    if (!maximumText || !countText) {
        return std::nullopt;
    }
    auto maximum = Decimal<std::uint32_t>(*maximumText);
    auto count = Decimal<std::size_t>(*countText);
    if (!maximum || *maximum != kInstanceMaximum || !count || *count > kMaxInstanceEntries ||
        lines->size() != 3 + *count) {
        return std::nullopt;
    }
    InstanceRecord record;
    record.maximum = *maximum;
    for (std::size_t i = 0; i < *count; ++i) {
        std::string_view line = (*lines)[3 + i];
        std::size_t space = line.find(' ');
        if (space == std::string_view::npos) {
            return std::nullopt;
        }
        auto pid = Decimal<std::int64_t>(line.substr(0, space));
        auto startTime = Decimal<std::uint64_t>(line.substr(space + 1));
        if (!pid || *pid <= 0 || *pid > kMaxProcessId || !startTime) {
            return std::nullopt;
        }
        record.entries.push_back({*pid, *startTime});
    }
    return record;
}

std::string FormatInstanceRecord(const InstanceRecord& record) {
    std::string text(kHeader);
    text += "\nmaximum " + std::to_string(record.maximum);
    text += "\ncount " + std::to_string(record.entries.size()) + "\n";
    for (const InstanceEntry& entry : record.entries) {
        text += std::to_string(entry.pid) + " " + std::to_string(entry.startTime) + "\n";
    }
    return text;
}

std::string InstanceIdentifier(const std::string& executablePath) {
    std::string identifier = executablePath;
    for (char& c : identifier) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return identifier;
}

std::string InstanceObjectName(const std::string& identifier) {
    std::string name;
    bool otherReplaced = false;
    for (unsigned char c : identifier) {
        // Separators become underscores; so does anything a file name had better not hold,
        // but then two paths could meet in one name, and the hash below keeps them apart.
        bool plain = std::isalnum(c) || c == '.' || c == '-' || c == '_';
        otherReplaced = otherReplaced || (!plain && c != '/' && c != '\\');
        name += plain ? static_cast<char>(c) : '_';
    }
    if (name.size() <= kMaxInstanceObjectName && !otherReplaced) {
        return name;
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(identifier)));
    std::size_t keep = kMaxInstanceObjectName - 17;
    if (name.size() > keep) {
        name = name.substr(name.size() - keep);
    }
    return name + "_" + hash;
}

} // namespace platform
