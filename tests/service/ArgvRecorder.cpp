// Stands in for a program the code under test starts (the importer, the desktop's opener).
// Writes what it was started with: $TM_ARGV_RECORD gets the arguments after argv[0], each ended
// by a NUL; $TM_ARGV_RECORD.info gets "argv0 <path>", "pid <n>" and one "fd <n> <target>" line
// per open descriptor. With $TM_ARGV_SLEEP_MS set it first sleeps that long. Both files appear
// whole (written aside, then renamed).

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

bool WriteWhole(const std::string& path, const std::string& content) {
    std::string aside = path + ".part";
    FILE* file = std::fopen(aside.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    ok = std::fclose(file) == 0 && ok;
    return ok && std::rename(aside.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (const char* sleepMs = std::getenv("TM_ARGV_SLEEP_MS")) {
        usleep(static_cast<useconds_t>(std::atoi(sleepMs)) * 1000);
    }
    const char* record = std::getenv("TM_ARGV_RECORD");
    if (record == nullptr) {
        return 2;
    }
    std::string info = "argv0 " + std::string(argv[0]) + "\npid " + std::to_string(getpid()) + "\n";
    if (DIR* fds = opendir("/proc/self/fd")) {
        int own = dirfd(fds);
        while (dirent* entry = readdir(fds)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) {
                continue;
            }
            char target[4096];
            std::string link = std::string("/proc/self/fd/") + entry->d_name;
            ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
            target[length > 0 ? length : 0] = '\0';
            info += "fd " + std::string(entry->d_name) + " " + target + "\n";
        }
        closedir(fds);
    }
    std::string args;
    for (int i = 1; i < argc; ++i) {
        args += argv[i];
        args += '\0';
    }
    bool ok = WriteWhole(std::string(record) + ".info", info) && WriteWhole(record, args);
    return ok ? 0 : 3;
}
