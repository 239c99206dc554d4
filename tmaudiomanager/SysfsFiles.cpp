#include "tmaudiomanager/SysfsFiles.h"

#include "config/TextConvert.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tmaudiomanager {

namespace {

bool IsRealFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void CollectCards(const std::string& folder, int levelsLeft, std::size_t& budget,
                  std::vector<std::string>& cards) {
    for (const std::string& name : ListFolder(folder)) {
        if (budget == 0) {
            return;
        }
        --budget;
        const std::string path = folder + "/" + name;
        if (!IsRealFolder(path)) {
            continue;
        }
        if (name == "sound") {
            for (const std::string& card : ListFolder(path)) {
                if (card.rfind("card", 0) == 0 && IsRealFolder(path + "/" + card)) {
                    cards.push_back(path + "/" + card);
                }
            }
        } else if (levelsLeft > 0 && name != "power") {
            CollectCards(path, levelsLeft - 1, budget, cards);
        }
    }
}

} // namespace

std::optional<std::string> ReadBinary(const std::string& path, std::size_t maxBytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        // sysfs attributes are reached through links to their folders, never as links
        // themselves; a link here is someone else's file.
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    while (content.size() < maxBytes) {
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, maxBytes - content.size()));
        if (got <= 0) {
            if (got < 0) {
                close(fd);
                return std::nullopt;
            }
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return content;
}

std::optional<std::string> ReadAttribute(const std::string& path, std::size_t maxBytes) {
    std::optional<std::string> content = ReadBinary(path, maxBytes);
    if (!content) {
        return std::nullopt;
    }
    std::string line = content->substr(0, content->find('\n'));
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return std::string();
    }
    const std::size_t last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

std::optional<std::uint32_t> ParseHex(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    std::string_view digits = *text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

bool EntryExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string LinkTargetName(const std::string& path) {
    char target[4096];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) {
        return {};
    }
    std::string text(target, static_cast<std::size_t>(length));
    while (!text.empty() && text.back() == '/') {
        text.pop_back();
    }
    return text.substr(text.find_last_of('/') + 1);
}

std::vector<std::string> FindSoundCards(const std::string& device) {
    std::vector<std::string> cards;
    std::size_t budget = 4096; // bounds the walk on an odd tree
    CollectCards(device, 2, budget, cards);
    return cards;
}

bool CardHasPlayback(const std::string& card) {
    for (const std::string& name : ListFolder(card)) {
        if (name.size() > 5 && name.rfind("pcmC", 0) == 0 && name.back() == 'p') {
            return true;
        }
    }
    return false;
}

} // namespace tmaudiomanager
