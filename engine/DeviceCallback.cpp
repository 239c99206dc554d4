#include "engine/DeviceCallback.h"

namespace {

struct BoundTarget {
    void* instance = nullptr;
    DeviceCallbackBinding::Collector collect = nullptr;
};

thread_local BoundTarget currentTarget;

} // namespace

DeviceCallbackBinding::DeviceCallbackBinding(void* instance, Collector collect)
    : previousInstance_(currentTarget.instance), previousCollect_(currentTarget.collect) {
    currentTarget = {instance, collect};
}

DeviceCallbackBinding::DeviceCallbackBinding(std::vector<CollectedDevice>& Devices,
                                             std::int32_t& NextDevice)
    : fields_{&Devices, &NextDevice}, previousInstance_(currentTarget.instance),
      previousCollect_(currentTarget.collect) {
    currentTarget = {&fields_, [](void* instance, const DeviceRecord& record) {
                         auto* fields = static_cast<Fields*>(instance);
                         CollectDeviceRecord(*fields->devices, *fields->nextDevice, record);
                     }};
}

DeviceCallbackBinding::~DeviceCallbackBinding() {
    currentTarget = {previousInstance_, previousCollect_};
}

BOOL DeviceCallbackBinding::Callback(const DeviceRecord* record) {
    const BoundTarget target = currentTarget;
    if (record == nullptr || target.collect == nullptr) {
        return 0;
    }
    try {
        target.collect(target.instance, *record);
        return 1;
    } catch (...) {
        // Running out of memory for one copy loses that record, never the scan.
        return 0;
    }
}
