#pragma once
// Temporary files in a folder the test chooses, with unique numbers the test scripts, so a
// test knows a name before the program makes it. The files themselves are made by the real
// Linux backend, with all its care; or the folder plays a full or read-only one and takes no
// file at all.

#include "platform/TempFiles.h"

#include <atomic>
#include <deque>
#include <memory>
#include <string>

namespace platform::testing {

class ScriptedTempFiles : public TempFileBackend {
public:
    explicit ScriptedTempFiles(std::string folder);

    // Numbers handed out first, in order; after them, fresh random ones.
    std::deque<UINT> uniqueNumbers;
    // While set, every create and write fails as in a full or read-only folder.
    std::atomic<bool> refuseFiles{false};

    // How many files were made so far (whether or not they are still there).
    int FilesMade() const { return filesMade_; }

    std::string TempDirectory() override;
    UINT NextUniqueNumber() override;
    CreateResult CreateNewFile(const std::string& path, const void* data,
                               std::size_t size) override;
    bool ReplaceFile(const std::string& path, const void* data, std::size_t size) override;
    void KeepAfterExit(const std::string& path) override;
    void RemoveFile(const std::string& path) override;

private:
    std::atomic<int> filesMade_{0};
    std::string folder_;
    std::unique_ptr<TempFileBackend> real_;
};

} // namespace platform::testing
