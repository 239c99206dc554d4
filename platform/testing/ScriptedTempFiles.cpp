#include "platform/testing/ScriptedTempFiles.h"

namespace platform::testing {

ScriptedTempFiles::ScriptedTempFiles(std::string folder)
    : folder_(std::move(folder)), real_(MakeLinuxTempFiles()) {
    if (folder_.empty() || folder_.back() != '/') {
        folder_ += '/';
    }
}

std::string ScriptedTempFiles::TempDirectory() {
    return folder_;
}

UINT ScriptedTempFiles::NextUniqueNumber() {
    if (uniqueNumbers.empty()) {
        return real_->NextUniqueNumber();
    }
    UINT number = uniqueNumbers.front();
    uniqueNumbers.pop_front();
    return number;
}

CreateResult ScriptedTempFiles::CreateNewFile(const std::string& path, const void* data,
                                              std::size_t size) {
    if (refuseFiles) {
        return CreateResult::Failed;
    }
    CreateResult result = real_->CreateNewFile(path, data, size);
    if (result == CreateResult::Created) {
        ++filesMade_;
    }
    return result;
}

bool ScriptedTempFiles::ReplaceFile(const std::string& path, const void* data, std::size_t size) {
    if (refuseFiles) {
        return false;
    }
    return real_->ReplaceFile(path, data, size);
}

void ScriptedTempFiles::KeepAfterExit(const std::string& path) {
    real_->KeepAfterExit(path);
}

void ScriptedTempFiles::RemoveFile(const std::string& path) {
    real_->RemoveFile(path);
}

} // namespace platform::testing
