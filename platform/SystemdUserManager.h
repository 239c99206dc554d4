#pragma once
// The systemd user manager of this session, reached over the session bus. Every call is bounded;
// a manager that stops answering makes calls fail, never hang.

#include "platform/SoundServerUnits.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sd_bus;

namespace platform {

class SystemdUserManager {
public:
    // nullptr when there is no session bus or no user manager answers on it within bound.
    static std::unique_ptr<SystemdUserManager>
    Connect(std::chrono::milliseconds bound = std::chrono::seconds(2));
    ~SystemdUserManager();
    SystemdUserManager(const SystemdUserManager&) = delete;
    SystemdUserManager& operator=(const SystemdUserManager&) = delete;

    // Load, active and unit-file state of a unit; fields stay empty when the manager could not
    // be asked. A unit without a file reads "not-found".
    UnitFacts Facts(const std::string& unit);
    ServerUnitFacts ServerFacts(SoundServer server);

    bool Enable(const std::vector<std::string>& units);
    bool Unmask(const std::vector<std::string>& units);
    bool Reload();
    // The job's object path, or nullopt when the manager refused the start.
    std::optional<std::string> Start(const std::string& unit);
    // The same for a stop and start in one (a unit that is not running is only started).
    std::optional<std::string> Restart(const std::string& unit);
    // True while the job is queued or running; a finished job no longer exists.
    bool JobPending(const std::string& jobPath);

    // What the last failed call said, for the importer's messages.
    const std::string& LastError() const { return lastError_; }

private:
    SystemdUserManager(sd_bus* bus, std::chrono::milliseconds bound);
    std::optional<std::string> GetStringProperty(const std::string& path, const char* interface,
                                                 const char* property);
    std::optional<std::string> UnitJob(const char* method, const std::string& unit);
    bool CallUnitFileMethod(const char* method, const std::vector<std::string>& units,
                            bool withForce);

    sd_bus* bus_;
    std::chrono::milliseconds bound_;
    std::string lastError_;
};

} // namespace platform
