#pragma once
// Delivering the engine to the device-diagnosis library's callback, which gets a record and no
// context.
//
// The library calls back only during CheckDeviceProblem and on the thread that called it, so
// the binding lives on that thread: while a DeviceCallbackBinding exists, the plain function
// DeviceCallbackBinding::Callback hands every record it receives on the same thread to the
// bound collector. A record arriving on another thread, or when nothing is bound, is dropped
// (the callback answers 0) instead of reaching an engine that may be gone. Two engines scanning
// on two workers never see each other's records. Bindings nest: the inner one wins until it
// ends, then the outer one is back.

#include "engine/DeviceCheck.h"

class DeviceCallbackBinding {
public:
    // The engine's record-collecting operation, with the engine as its added first argument.
    // It may throw; the callback keeps exceptions from unwinding into the library.
    using Collector = void (*)(void* instance, const DeviceRecord& record);

    DeviceCallbackBinding(void* instance, Collector collect);
    // Binds straight to CollectDeviceRecord over these two fields.
    DeviceCallbackBinding(std::vector<CollectedDevice>& Devices, std::int32_t& NextDevice);
    ~DeviceCallbackBinding();
    DeviceCallbackBinding(const DeviceCallbackBinding&) = delete;
    DeviceCallbackBinding& operator=(const DeviceCallbackBinding&) = delete;

    // The function to pass to CheckDeviceProblem. Answers nonzero when the record was taken.
    static BOOL Callback(const DeviceRecord* record);

private:
    struct Fields {
        std::vector<CollectedDevice>* devices = nullptr;
        std::int32_t* nextDevice = nullptr;
    };

    Fields fields_;
    void* previousInstance_;
    Collector previousCollect_;
};
