#pragma once
// Small file helpers for the resource tests.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace resources_test {

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
    std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

// Whether anything, even a dangling link, sits at path.
inline bool Present(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() !=
           std::filesystem::file_type::not_found;
}

inline std::string SourceDir() {
    const char* dir = std::getenv("TONEMENDER_SOURCE_DIR");
    return dir != nullptr ? dir : ".";
}

// Points $TMPDIR somewhere for the lifetime of a test and restores it after.
class TmpDirOverride {
public:
    explicit TmpDirOverride(const std::string& value) {
        const char* old = std::getenv("TMPDIR");
        had_ = old != nullptr;
        if (had_) {
            old_ = old;
        }
        setenv("TMPDIR", value.c_str(), 1);
    }
    ~TmpDirOverride() {
        if (had_) {
            setenv("TMPDIR", old_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

private:
    bool had_ = false;
    std::string old_;
};

} // namespace resources_test
