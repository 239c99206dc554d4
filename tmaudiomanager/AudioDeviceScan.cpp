#include "tmaudiomanager/AudioDeviceScan.h"

#include "tmaudiomanager/HardwareIds.h"
#include "tmaudiomanager/SysfsFiles.h"
#include "tmaudiomanager/Utf16Text.h"
#include "tmaudiomanager/tmaudiomanager.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace tmaudiomanager {

namespace {

std::string Hex4(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04x", static_cast<unsigned>(value & 0xFFFF));
    return buffer;
}

// What we found wrong with one device, before it becomes a record.
struct Verdict {
    std::uint32_t value = 0; // 0: nothing wrong
    std::uint32_t flags = 0;
    std::string why;
};

bool RuntimeError(const std::string& device) {
    return ReadAttribute(device + "/power/runtime_status") == std::optional<std::string>("error");
}

// A bound device whose cards are judged by `playbackExpected`: true for controllers that must
// play, false/nullopt when only "no card at all" says something is wrong.
Verdict JudgeBound(const std::string& driverName, const std::vector<std::string>& cards,
                   std::optional<bool> playbackExpected, bool runtimeError) {
    Verdict verdict;
    verdict.flags = TM_DEVICE_DRIVER_BOUND | TM_DEVICE_SKIP_DRIVER_LOOKUP;
    const std::string driver = driverName.empty() ? "a driver" : "driver " + driverName;
    if (runtimeError) {
        verdict.value = TM_PROBLEM_UNUSABLE;
        verdict.why = "the kernel reports a power-management error (" + driver + ")";
        return verdict;
    }
    if (cards.empty()) {
        verdict.value = TM_PROBLEM_NO_PLAYBACK;
        verdict.why = driver + " is bound but created no sound card";
        return verdict;
    }
    bool playback = false;
    for (const std::string& card : cards) {
        playback = playback || CardHasPlayback(card);
    }
    if (!playback && playbackExpected.value_or(false)) {
        verdict.value = TM_PROBLEM_NO_PLAYBACK;
        verdict.why = driver + " is bound but there is no playback device";
    }
    return verdict;
}

void Add(std::vector<ProblemDevice>& found, const std::string& text,
         const std::vector<std::string>& ids, const Verdict& verdict) {
    ProblemDevice device;
    device.text = ToUtf16(text + ": " + verdict.why, TM_MAX_TEXT_UNITS);
    device.hardwareIds = ToUtf16(JoinHardwareIds(ids, TM_MAX_TEXT_UNITS), TM_MAX_TEXT_UNITS);
    device.value = verdict.value;
    device.flags = verdict.flags;
    found.push_back(std::move(device));
}

std::string NamePart(const std::optional<std::string>& first,
                     const std::optional<std::string>& second) {
    std::string name;
    for (const auto* part : {&first, &second}) {
        if (*part && !(*part)->empty()) {
            name += (name.empty() ? "" : " ") + **part;
        }
    }
    return name.empty() ? std::string() : " (" + name + ")";
}

void ScanPci(const std::string& root, std::vector<ProblemDevice>& found) {
    const std::string bus = root + "/bus/pci/devices";
    for (const std::string& name : ListFolder(bus)) {
        const std::string device = bus + "/" + name;
        const std::optional<std::uint32_t> classCode = ParseHex(ReadAttribute(device + "/class"));
        if (!classCode || ((*classCode >> 8) != 0x0401 && (*classCode >> 8) != 0x0403)) {
            continue;
        }
        const auto vendor = ParseHex(ReadAttribute(device + "/vendor"));
        const auto product = ParseHex(ReadAttribute(device + "/device"));
        if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) {
            continue;
        }
        PciIdentity identity;
        identity.vendor = static_cast<std::uint16_t>(*vendor);
        identity.device = static_cast<std::uint16_t>(*product);
        identity.classCode = *classCode;
        const auto subVendor = ParseHex(ReadAttribute(device + "/subsystem_vendor"));
        const auto subDevice = ParseHex(ReadAttribute(device + "/subsystem_device"));
        const auto revision = ParseHex(ReadAttribute(device + "/revision"));
        if (subVendor && subDevice && *subVendor <= 0xFFFF && *subDevice <= 0xFFFF) {
            identity.subsystemVendor = static_cast<std::uint16_t>(*subVendor);
            identity.subsystemDevice = static_cast<std::uint16_t>(*subDevice);
        }
        if (revision && *revision <= 0xFF) {
            identity.revision = static_cast<std::uint8_t>(*revision);
        }

        Verdict verdict;
        if (!EntryExists(device + "/driver")) {
            verdict = {TM_PROBLEM_NO_DRIVER, 0, "no driver is bound"};
        } else {
            verdict = JudgeBound(LinkTargetName(device + "/driver"), FindSoundCards(device), true,
                                 RuntimeError(device));
        }
        if (verdict.value != 0) {
            const char* kind =
                (*classCode >> 8) == 0x0403 ? "HD-audio controller" : "Audio controller";
            Add(found,
                std::string(kind) + " " + name + " [" + Hex4(*vendor) + ":" + Hex4(*product) + "]",
                PciHardwareIds(identity), verdict);
        }
    }
}

void ScanCodecs(const std::string& root, std::vector<ProblemDevice>& found) {
    const std::string bus = root + "/bus/hdaudio/devices";
    for (const std::string& name : ListFolder(bus)) {
        const std::string device = bus + "/" + name;
        const auto vendorId = ParseHex(ReadAttribute(device + "/vendor_id"));
        if (!vendorId) {
            continue;
        }
        CodecIdentity identity;
        identity.vendorId = *vendorId;
        identity.subsystemId = ParseHex(ReadAttribute(device + "/subsystem_id"));
        identity.revisionId = ParseHex(ReadAttribute(device + "/revision_id"));
        const auto afg = ParseHex(ReadAttribute(device + "/afg"));
        const auto mfg = ParseHex(ReadAttribute(device + "/mfg"));
        identity.functionGroup = (afg.value_or(0) == 0 && mfg.value_or(0) != 0) ? 2 : 1;

        std::string unusable;
        if (*vendorId == 0 || *vendorId == 0xFFFFFFFF) {
            unusable = "the codec did not answer its identification";
        } else if (afg && mfg && *afg == 0 && *mfg == 0) {
            unusable = "the codec shows no audio or modem function";
        }
        Verdict verdict;
        if (!EntryExists(device + "/driver")) {
            verdict = {TM_PROBLEM_NO_DRIVER, 0, "no driver is bound"};
            if (!unusable.empty()) {
                // Nothing a driver could be found for.
                verdict.flags = TM_DEVICE_SKIP_DRIVER_LOOKUP;
                verdict.why += "; " + unusable;
            }
        } else {
            const std::string driver = LinkTargetName(device + "/driver");
            if (unusable.empty() && RuntimeError(device)) {
                unusable = "the kernel reports a power-management error";
            }
            if (!unusable.empty()) {
                verdict = {TM_PROBLEM_UNUSABLE,
                           TM_DEVICE_DRIVER_BOUND | TM_DEVICE_SKIP_DRIVER_LOOKUP,
                           unusable + " (driver " + (driver.empty() ? "?" : driver) + ")"};
            }
        }
        if (verdict.value != 0) {
            Add(found,
                "HD-audio codec " + name +
                    NamePart(ReadAttribute(device + "/vendor_name"),
                             ReadAttribute(device + "/chip_name")) +
                    " [" + Hex4(*vendorId >> 16) + ":" + Hex4(*vendorId) + "]",
                CodecHardwareIds(identity), verdict);
        }
    }
}

struct UsbAudioInterface {
    std::string path;
    UsbInterfaceIdentity identity;
};

void ScanUsb(const std::string& root, std::vector<ProblemDevice>& found) {
    const std::string bus = root + "/bus/usb/devices";
    // Audio interfaces ("1-1:1.0") grouped by the device they belong to ("1-1").
    std::map<std::string, std::vector<UsbAudioInterface>> devices;
    for (const std::string& name : ListFolder(bus)) {
        const std::size_t colon = name.find(':');
        if (colon == std::string::npos || colon == 0) {
            continue;
        }
        const std::string path = bus + "/" + name;
        const auto cls = ParseHex(ReadAttribute(path + "/bInterfaceClass"));
        if (cls != std::optional<std::uint32_t>(1)) {
            continue;
        }
        UsbAudioInterface audio{path, {}};
        audio.identity.interfaceClass = 1;
        audio.identity.interfaceSubClass = static_cast<std::uint8_t>(
            ParseHex(ReadAttribute(path + "/bInterfaceSubClass")).value_or(0) & 0xFF);
        audio.identity.interfaceProtocol = static_cast<std::uint8_t>(
            ParseHex(ReadAttribute(path + "/bInterfaceProtocol")).value_or(0) & 0xFF);
        if (const auto number = ParseHex(ReadAttribute(path + "/bInterfaceNumber"));
            number && *number <= 0xFF) {
            audio.identity.interfaceNumber = static_cast<std::uint8_t>(*number);
        }
        devices[name.substr(0, colon)].push_back(std::move(audio));
    }

    for (auto& [deviceName, interfaces] : devices) {
        const std::string device = bus + "/" + deviceName;
        const auto vendor = ParseHex(ReadAttribute(device + "/idVendor"));
        const auto product = ParseHex(ReadAttribute(device + "/idProduct"));
        if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) {
            continue;
        }
        const auto bcd = ParseHex(ReadAttribute(device + "/bcdDevice"));

        // The audio control interface stands for the device, as the driver binds to it.
        UsbAudioInterface* representative = &interfaces.front();
        for (UsbAudioInterface& audio : interfaces) {
            if (audio.identity.interfaceSubClass == 1) {
                representative = &audio;
                break;
            }
        }
        UsbInterfaceIdentity identity = representative->identity;
        identity.vendor = static_cast<std::uint16_t>(*vendor);
        identity.product = static_cast<std::uint16_t>(*product);
        if (bcd && *bcd <= 0xFFFF) {
            identity.bcdDevice = static_cast<std::uint16_t>(*bcd);
        }

        std::string driver;
        bool bound = false;
        std::vector<std::string> cards;
        for (const UsbAudioInterface& audio : interfaces) {
            if (EntryExists(audio.path + "/driver")) {
                bound = true;
                if (driver.empty()) {
                    driver = LinkTargetName(audio.path + "/driver");
                }
            }
            for (std::string& card : FindSoundCards(audio.path)) {
                cards.push_back(std::move(card));
            }
        }

        Verdict verdict;
        if (!bound) {
            verdict = {TM_PROBLEM_NO_DRIVER, 0, "no driver is bound"};
        } else {
            const std::optional<std::string> descriptors =
                ReadBinary(device + "/descriptors", 65536);
            verdict =
                JudgeBound(driver, cards,
                           descriptors ? UsbDescriptorsShowPlayback(*descriptors) : std::nullopt,
                           RuntimeError(device));
        }
        if (verdict.value != 0) {
            Add(found,
                "USB audio device " + deviceName +
                    NamePart(ReadAttribute(device + "/manufacturer"),
                             ReadAttribute(device + "/product")) +
                    " [" + Hex4(*vendor) + ":" + Hex4(*product) + "]",
                UsbHardwareIds(identity), verdict);
        }
    }
}

} // namespace

std::vector<ProblemDevice> FindProblemDevices(const std::string& sysfsRoot) {
    std::vector<ProblemDevice> found;
    ScanPci(sysfsRoot, found);
    ScanCodecs(sysfsRoot, found);
    ScanUsb(sysfsRoot, found);
    return found;
}

std::string SysfsRoot() {
    const char* root = std::getenv("TMAUDIOMANAGER_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? std::string(root) : std::string("/sys");
}

std::optional<bool> UsbDescriptorsShowPlayback(std::string_view bytes) {
    constexpr unsigned char kConfiguration = 2;
    constexpr unsigned char kInterface = 4;
    constexpr unsigned char kEndpoint = 5;
    bool sawConfiguration = false;
    int interfaceClass = -1;
    int interfaceSubClass = -1;
    std::size_t at = 0;
    while (at + 2 <= bytes.size()) {
        const auto length = static_cast<unsigned char>(bytes[at]);
        const auto type = static_cast<unsigned char>(bytes[at + 1]);
        if (length < 2 || at + length > bytes.size()) {
            break;
        }
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[at + k]); };
        if (type == kConfiguration) {
            sawConfiguration = true;
        } else if (type == kInterface && length >= 9) {
            interfaceClass = byte(5);
            interfaceSubClass = byte(6);
        } else if (type == kEndpoint && length >= 7 && interfaceClass == 1 &&
                   interfaceSubClass == 2) {
            const bool out = (byte(2) & 0x80) == 0;
            const bool isochronous = (byte(3) & 0x03) == 1;
            const bool feedback = ((byte(3) >> 4) & 0x03) == 1;
            if (out && isochronous && !feedback) {
                return true;
            }
        }
        at += length;
    }
    return sawConfiguration ? std::optional<bool>(false) : std::nullopt;
}

} // namespace tmaudiomanager
