#pragma once
// Finding the machine's audio hardware in sysfs and judging whether each device works.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmaudiomanager {

struct ProblemDevice {
    std::u16string text;
    std::u16string hardwareIds;
    std::uint32_t value = 0;
    std::uint32_t flags = 0;
};

// The devices with a problem under the sysfs root, in the order PCI functions, HD-audio codecs,
// USB devices, each by sysfs name. What counts as a problem is documented with CheckDeviceProblem
// in tmaudiomanager.h.
std::vector<ProblemDevice> FindProblemDevices(const std::string& sysfsRoot);

// TMAUDIOMANAGER_SYSFS_ROOT when set, else "/sys".
std::string SysfsRoot();

// From a USB device's raw "descriptors": whether any audio streaming interface (class 01,
// subclass 02) has an isochronous OUT data endpoint, i.e. the device can play. nullopt when the
// bytes hold no configuration to judge by.
std::optional<bool> UsbDescriptorsShowPlayback(std::string_view descriptors);

} // namespace tmaudiomanager
