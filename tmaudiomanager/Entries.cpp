// The library's two exported entries. Nothing thrown inside may leave through them.

#include "tmaudiomanager/AliasFile.h"
#include "tmaudiomanager/AudioDeviceScan.h"
#include "tmaudiomanager/DriverDatabase.h"
#include "tmaudiomanager/QueryText.h"
#include "tmaudiomanager/tmaudiomanager.h"

#include <memory>
#include <mutex>

namespace tmaudiomanager {
namespace {

// The driver data of this process, reopened whenever the alias source or the cache location
// changes. Closed when the library is unloaded.
struct DriverDataState {
    std::mutex mutex;
    std::string key;
    std::unique_ptr<DriverDatabase> data;
};

DriverDataState& State() {
    static DriverDataState state;
    return state;
}

int32_t Query(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const std::optional<DriverQuery> query = ParseDriverQuery(text);
    if (!query) {
        return 0;
    }
    const std::optional<DriverTable> table = TableFromName(query->table);
    if (!table) {
        return 0;
    }

    DriverDataState& state = State();
    std::lock_guard lock(state.mutex);
    const AliasSource source = LocateAliasSource();
    const std::optional<std::string> cacheFile = DriverCacheFile();
    const std::string key = source.identity + "\ncache " + cacheFile.value_or("");
    if (!state.data || state.key != key) {
        state.data = DriverDatabase::Open(source, cacheFile, false);
        state.key = key;
    }
    std::optional<bool> known = state.data->Knows(*table, query->id);
    if (!known) {
        // The cached file went bad under us: build it afresh and ask once more.
        state.data = DriverDatabase::Open(source, cacheFile, true);
        known = state.data->Knows(*table, query->id);
    }
    return known.value_or(false) ? 1 : 0;
}

} // namespace
} // namespace tmaudiomanager

extern "C" TMAUDIOMANAGER_API int32_t CheckDeviceProblem(TMDeviceCallback callback) {
    if (callback == nullptr) {
        return 0;
    }
    std::vector<tmaudiomanager::ProblemDevice> devices;
    try {
        devices = tmaudiomanager::FindProblemDevices(tmaudiomanager::SysfsRoot());
    } catch (...) {
        return 0; // out of memory while scanning: report nothing rather than half
    }
    int32_t reported = 0;
    for (const tmaudiomanager::ProblemDevice& device : devices) {
        const TMDeviceRecord record{device.text.c_str(), device.hardwareIds.c_str(), device.value,
                                    device.flags};
        callback(&record);
        ++reported;
    }
    return reported;
}

extern "C" TMAUDIOMANAGER_API int32_t QueryDeviceHwids(const char* query) {
    try {
        return tmaudiomanager::Query(query);
    } catch (...) {
        return 0;
    }
}
