#include "platform/SystemdUserManager.h"

#include <systemd/sd-bus.h>

namespace platform {

namespace {

constexpr const char* kDestination = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManagerInterface = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnitInterface = "org.freedesktop.systemd1.Unit";
constexpr const char* kJobInterface = "org.freedesktop.systemd1.Job";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

// Changes to unit files and reloads take the manager longer than a look-up.
constexpr std::chrono::seconds kChangeBound{5};

// Owns one message or reply and one error for the length of a call.
struct Call {
    sd_bus_message* message = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~Call() {
        sd_bus_message_unref(message);
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
    }
};

std::uint64_t Microseconds(std::chrono::milliseconds bound) {
    return static_cast<std::uint64_t>(bound.count()) * 1000u;
}

// A new call that never starts a service to answer it: a session without systemd must not get
// one because we asked.
bool NewCall(sd_bus* bus, Call& call, const char* path, const char* interface, const char* member) {
    if (sd_bus_message_new_method_call(bus, &call.message, kDestination, path, interface, member) <
        0) {
        return false;
    }
    return sd_bus_message_set_auto_start(call.message, 0) >= 0;
}

bool Send(sd_bus* bus, Call& call, std::chrono::milliseconds bound, std::string& lastError) {
    int result = sd_bus_call(bus, call.message, Microseconds(bound), &call.error, &call.reply);
    if (result < 0) {
        lastError = call.error.message != nullptr ? call.error.message : "no answer";
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<SystemdUserManager> SystemdUserManager::Connect(std::chrono::milliseconds bound) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0 || bus == nullptr) {
        return nullptr;
    }
    sd_bus_set_method_call_timeout(bus, Microseconds(bound));
    std::unique_ptr<SystemdUserManager> manager(new SystemdUserManager(bus, bound));
    if (!manager->GetStringProperty(kManagerPath, kManagerInterface, "Version")) {
        return nullptr;
    }
    return manager;
}

SystemdUserManager::SystemdUserManager(sd_bus* bus, std::chrono::milliseconds bound)
    : bus_(bus), bound_(bound) {}

SystemdUserManager::~SystemdUserManager() {
    sd_bus_flush_close_unref(bus_);
}

std::optional<std::string> SystemdUserManager::GetStringProperty(const std::string& path,
                                                                 const char* interface,
                                                                 const char* property) {
    Call call;
    if (!NewCall(bus_, call, path.c_str(), kProperties, "Get") ||
        sd_bus_message_append(call.message, "ss", interface, property) < 0 ||
        !Send(bus_, call, bound_, lastError_)) {
        return std::nullopt;
    }
    const char* value = nullptr;
    if (sd_bus_message_read(call.reply, "v", "s", &value) < 0 || value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

UnitFacts SystemdUserManager::Facts(const std::string& unit) {
    UnitFacts facts;
    Call call;
    if (!NewCall(bus_, call, kManagerPath, kManagerInterface, "LoadUnit") ||
        sd_bus_message_append(call.message, "s", unit.c_str()) < 0 ||
        !Send(bus_, call, bound_, lastError_)) {
        return facts;
    }
    const char* path = nullptr;
    if (sd_bus_message_read(call.reply, "o", &path) < 0 || path == nullptr) {
        return facts;
    }
    std::string unitPath = path;
    facts.loadState = GetStringProperty(unitPath, kUnitInterface, "LoadState").value_or("");
    facts.activeState = GetStringProperty(unitPath, kUnitInterface, "ActiveState").value_or("");
    facts.unitFileState = GetStringProperty(unitPath, kUnitInterface, "UnitFileState").value_or("");
    return facts;
}

ServerUnitFacts SystemdUserManager::ServerFacts(SoundServer server) {
    const SoundServerUnits& units = UnitsOf(server);
    return ServerUnitFacts{Facts(units.service), Facts(units.socket)};
}

bool SystemdUserManager::CallUnitFileMethod(const char* method,
                                            const std::vector<std::string>& units, bool withForce) {
    if (units.empty()) {
        return true;
    }
    std::vector<char*> names;
    for (const std::string& unit : units) {
        names.push_back(const_cast<char*>(unit.c_str()));
    }
    names.push_back(nullptr);
    Call call;
    if (!NewCall(bus_, call, kManagerPath, kManagerInterface, method) ||
        sd_bus_message_append_strv(call.message, names.data()) < 0) {
        return false;
    }
    // runtime = false: the change is meant to last; force = false: never replace a link that
    // somebody else made.
    int appended = withForce ? sd_bus_message_append(call.message, "bb", 0, 0)
                             : sd_bus_message_append(call.message, "b", 0);
    return appended >= 0 && Send(bus_, call, kChangeBound, lastError_);
}

bool SystemdUserManager::Enable(const std::vector<std::string>& units) {
    return CallUnitFileMethod("EnableUnitFiles", units, true);
}

bool SystemdUserManager::Unmask(const std::vector<std::string>& units) {
    return CallUnitFileMethod("UnmaskUnitFiles", units, false);
}

bool SystemdUserManager::Reload() {
    Call call;
    return NewCall(bus_, call, kManagerPath, kManagerInterface, "Reload") &&
           Send(bus_, call, kChangeBound, lastError_);
}

std::optional<std::string> SystemdUserManager::Start(const std::string& unit) {
    return UnitJob("StartUnit", unit);
}

std::optional<std::string> SystemdUserManager::Restart(const std::string& unit) {
    return UnitJob("RestartUnit", unit);
}

std::optional<std::string> SystemdUserManager::UnitJob(const char* method,
                                                       const std::string& unit) {
    Call call;
    if (!NewCall(bus_, call, kManagerPath, kManagerInterface, method) ||
        sd_bus_message_append(call.message, "ss", unit.c_str(), "replace") < 0 ||
        !Send(bus_, call, kChangeBound, lastError_)) {
        return std::nullopt;
    }
    const char* job = nullptr;
    if (sd_bus_message_read(call.reply, "o", &job) < 0 || job == nullptr) {
        return std::nullopt;
    }
    return std::string(job);
}

bool SystemdUserManager::JobPending(const std::string& jobPath) {
    return GetStringProperty(jobPath, kJobInterface, "State").has_value();
}

} // namespace platform
