#pragma once
// Shared helpers of the device tests: environment overrides, the real library loaded the way
// the program loads it, small file helpers and a fake sysfs tree.

#include "engine/DeviceCheck.h"
#include "support/Command.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device_tests {

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// The built libtmaudiomanager.so, loaded through LoadLibraryA("tmaudiomanager.dll") with the
// platform's real backend, and its two entries. Freed by the destructor.
struct RealAudioManager {
    RealAudioManager();
    ~RealAudioManager();
    RealAudioManager(const RealAudioManager&) = delete;
    RealAudioManager& operator=(const RealAudioManager&) = delete;

    HMODULE handle = nullptr;
    CheckDeviceProblemProc check = nullptr;
    QueryDeviceHwidsProc query = nullptr;
};

std::string SourceDir();
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
void MakeFolders(const std::string& path);
void MakeLink(const std::string& target, const std::string& link);
std::string Narrow(std::u16string_view text);

// A sysfs tree in a scratch folder, laid out as the kernel does: devices under devices/, the
// bus listings as links to them, drivers as folders the "driver" links point to.
class FakeSysfs {
public:
    FakeSysfs();
    const std::string& Root() const { return dir_.Path(); }

    // A device folder devices/<path>, listed on bus/<bus>/devices/<name> where name is the last
    // part of the path. Returns the device folder.
    std::string AddDevice(const std::string& bus, const std::string& path);
    void Attribute(const std::string& device, const std::string& name, const std::string& value);
    void BindDriver(const std::string& bus, const std::string& device, const std::string& driver);
    // sound/card<N> below the device (or below `below`, a subfolder) with these pcm entries.
    void AddCard(const std::string& device, int card, const std::vector<std::string>& pcms,
                 const std::string& below = "");

private:
    testing_support::ScratchDir dir_;
};

// Raw USB descriptors: a device descriptor, one configuration, and for each (class, subclass,
// endpoint address, endpoint attributes) an interface with one endpoint.
struct UsbInterfaceSketch {
    int cls;
    int subClass;
    int endpointAddress; // -1: no endpoint
    int endpointAttributes;
};
std::string UsbDescriptors(const std::vector<UsbInterfaceSketch>& interfaces);

} // namespace device_tests
