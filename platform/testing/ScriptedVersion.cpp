#include "platform/testing/ScriptedVersion.h"

namespace platform {

void ScriptedVersion::SetRecord(std::optional<VS_FIXEDFILEINFO> record) {
    std::lock_guard lock(mutex_);
    record_ = record;
}

std::optional<VS_FIXEDFILEINFO> ScriptedVersion::FixedFileInfo(const std::string& fileName) {
    std::lock_guard lock(mutex_);
    queries_.push_back(fileName);
    return record_;
}

std::vector<std::string> ScriptedVersion::Queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
}

} // namespace platform
