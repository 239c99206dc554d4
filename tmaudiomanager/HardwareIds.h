#pragma once
// Hardware ids in the Windows form ("PCI\VEN_8086&DEV_A170&SUBSYS_86941043&REV_00"): made from
// what sysfs tells about a device, and turned back into the module alias fields they stand for.

#include "tmaudiomanager/ModaliasPattern.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmaudiomanager {

struct PciIdentity {
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    std::uint32_t classCode = 0; // base class, subclass, programming interface: 0x040300
    std::optional<std::uint16_t> subsystemVendor;
    std::optional<std::uint16_t> subsystemDevice;
    std::optional<std::uint8_t> revision;
};

struct CodecIdentity {
    std::uint32_t vendorId = 0; // vendor in the high half, device in the low half
    std::optional<std::uint32_t> subsystemId;
    std::optional<std::uint32_t> revisionId;
    std::uint8_t functionGroup = 1; // 1 audio, 2 modem
};

struct UsbInterfaceIdentity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::optional<std::uint16_t> bcdDevice;
    std::optional<std::uint8_t> interfaceNumber;
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubClass = 0;
    std::uint8_t interfaceProtocol = 0;
};

// The ids of a device, most specific first.
std::vector<std::string> PciHardwareIds(const PciIdentity& id);
std::vector<std::string> CodecHardwareIds(const CodecIdentity& id);
std::vector<std::string> UsbHardwareIds(const UsbInterfaceIdentity& id);

// Joins ids with "#", leaving off whole ids from the end so the result stays within maxChars.
std::string JoinHardwareIds(const std::vector<std::string>& ids, std::size_t maxChars);

// The alias fields an id stands for, for table "PCI", "USB" or "HDAUDIO". Takes the Windows
// form of that table's bus, or a plain modalias of that bus. Fails on anything else: another
// table, unknown or repeated keys, digits that are not hex or of the wrong count, glob or
// control characters.
std::optional<AliasFields> HardwareIdToAlias(std::string_view table, std::string_view id);

// For table OTHER: the bus of an id written as a plain modalias of a bus that has no table of
// its own ("acpi:INT343A:" gives "acpi"). Fails on anything else.
std::optional<std::string> OtherModaliasBus(std::string_view id);

} // namespace tmaudiomanager
