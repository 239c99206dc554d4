#pragma once
// A version query that answers as scripted: one record for every file, or none.

#include "platform/Version.h"

#include <mutex>
#include <string>
#include <vector>

namespace platform {

class ScriptedVersion : public VersionBackend {
public:
    void SetRecord(std::optional<VS_FIXEDFILEINFO> record);
    std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::string& fileName) override;
    std::vector<std::string> Queries() const;

private:
    mutable std::mutex mutex_;
    std::optional<VS_FIXEDFILEINFO> record_;
    std::vector<std::string> queries_;
};

} // namespace platform
