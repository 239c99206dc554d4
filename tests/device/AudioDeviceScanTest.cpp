// The real library's device check on fake sysfs trees, and on this machine's own.

#include "DeviceTestSupport.h"
#include "engine/DeviceCallback.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

using device_tests::FakeSysfs;
using device_tests::Narrow;
using device_tests::ScopedEnv;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct Reported {
    std::string text;
    std::string ids;
    DWORD value;
    DWORD flags;
};

// The records a library call reports, copied whole (no cut) so the library's own limits show.
std::vector<Reported>* reportedSink = nullptr;
std::thread::id callbackThread;
BOOL Record(const DeviceRecord* record) {
    callbackThread = std::this_thread::get_id();
    reportedSink->push_back(
        {Narrow(record->Text), Narrow(record->HardwareIds), record->Value, record->Flags});
    return 1;
}

std::vector<Reported> Check(device_tests::RealAudioManager& library, const std::string& root) {
    ScopedEnv sysfs("TMAUDIOMANAGER_SYSFS_ROOT", root);
    std::vector<Reported> reported;
    reportedSink = &reported;
    const BOOL count = library.check(&Record);
    reportedSink = nullptr;
    EXPECT_EQ(count, static_cast<BOOL>(reported.size()));
    return reported;
}

std::string AddPci(FakeSysfs& sysfs, const std::string& slot, const std::string& cls,
                   const std::string& vendor, const std::string& device) {
    const std::string dir = sysfs.AddDevice("pci", "pci0000:00/" + slot);
    sysfs.Attribute(dir, "class", cls);
    sysfs.Attribute(dir, "vendor", vendor);
    sysfs.Attribute(dir, "device", device);
    sysfs.Attribute(dir, "subsystem_vendor", "0x1043");
    sysfs.Attribute(dir, "subsystem_device", "0x8694");
    sysfs.Attribute(dir, "revision", "0x31");
    return dir;
}

std::string AddCodec(FakeSysfs& sysfs, const std::string& controller, const std::string& name,
                     const std::string& vendorId, const std::string& afg, const std::string& mfg) {
    const std::string dir = sysfs.AddDevice("hdaudio", "pci0000:00/" + controller + "/" + name);
    sysfs.Attribute(dir, "vendor_id", vendorId);
    sysfs.Attribute(dir, "subsystem_id", "0x1043841b");
    sysfs.Attribute(dir, "revision_id", "0x100302");
    sysfs.Attribute(dir, "afg", afg);
    sysfs.Attribute(dir, "mfg", mfg);
    sysfs.Attribute(dir, "vendor_name", "Realtek");
    sysfs.Attribute(dir, "chip_name", "ALC892");
    return dir;
}

std::string AddUsbDevice(FakeSysfs& sysfs, const std::string& name, const std::string& vendor,
                         const std::string& product, const std::string& descriptors) {
    const std::string dir = sysfs.AddDevice("usb", "pci0000:00/0000:00:14.0/usb1/" + name);
    sysfs.Attribute(dir, "idVendor", vendor);
    sysfs.Attribute(dir, "idProduct", product);
    sysfs.Attribute(dir, "bcdDevice", "0100");
    sysfs.Attribute(dir, "manufacturer", "C-Media Electronics Inc.");
    sysfs.Attribute(dir, "product", "USB Audio Device");
    if (!descriptors.empty()) {
        device_tests::WriteFile(dir + "/descriptors", descriptors);
    }
    return dir;
}

std::string AddUsbInterface(FakeSysfs& sysfs, const std::string& device, const std::string& name,
                            const std::string& cls, const std::string& subClass,
                            const std::string& number) {
    const std::string dir =
        sysfs.AddDevice("usb", "pci0000:00/0000:00:14.0/usb1/" + device + "/" + name);
    sysfs.Attribute(dir, "bInterfaceClass", cls);
    sysfs.Attribute(dir, "bInterfaceSubClass", subClass);
    sysfs.Attribute(dir, "bInterfaceProtocol", "00");
    sysfs.Attribute(dir, "bInterfaceNumber", number);
    return dir;
}

// A machine with one device of each kind of trouble, and healthy ones beside them.
void BuildMachine(FakeSysfs& sysfs) {
    // Onboard HD-audio controller without a driver.
    AddPci(sysfs, "0000:00:1f.3", "0x040300", "0x8086", "0xa170");
    // A GPU's HDMI audio that works.
    const std::string hdmi = AddPci(sysfs, "0000:01:00.1", "0x040300", "0x10de", "0x0fb9");
    sysfs.BindDriver("pci", hdmi, "snd_hda_intel");
    sysfs.AddCard(hdmi, 1, {"pcmC1D3p", "controlC1"});
    // A bound controller whose card can only record.
    const std::string captureOnly = AddPci(sysfs, "0000:00:1b.0", "0x040300", "0x8086", "0x293e");
    sysfs.BindDriver("pci", captureOnly, "snd_hda_intel");
    sysfs.AddCard(captureOnly, 0, {"pcmC0D0c"});
    // A bound DSP whose card hangs off a child device, as with SOF: fine.
    const std::string dsp = AddPci(sysfs, "0000:00:1f.4", "0x040100", "0x8086", "0x51c8");
    sysfs.BindDriver("pci", dsp, "sof-audio-pci-intel-tgl");
    sysfs.AddCard(dsp, 2, {"pcmC2D0p"}, "skl_hda_dsp_generic");
    // A bound legacy audio controller that made no card.
    const std::string legacy = AddPci(sysfs, "0000:02:00.0", "0x040100", "0x1102", "0x0012");
    sysfs.BindDriver("pci", legacy, "vfio-pci");
    // Not audio at all.
    AddPci(sysfs, "0000:00:02.0", "0x030000", "0x8086", "0x3e92");

    AddCodec(sysfs, "0000:00:1f.3", "hdaudioC0D0", "0x10ec0892", "0x1", "0x0");
    const std::string hdmiCodec =
        AddCodec(sysfs, "0000:00:1f.3", "hdaudioC0D2", "0x80862812", "0x1", "0x0");
    sysfs.BindDriver("hdaudio", hdmiCodec, "snd_hda_codec_hdmi");
    sysfs.Attribute(hdmiCodec, "power/runtime_status", "error");
    AddCodec(sysfs, "0000:00:1f.3", "hdaudioC0D3", "0xffffffff", "0x0", "0x0");
    const std::string noFunction =
        AddCodec(sysfs, "0000:01:00.1", "hdaudioC1D0", "0x10de0042", "0x0", "0x0");
    sysfs.BindDriver("hdaudio", noFunction, "snd_hda_codec_generic");
    const std::string fine =
        AddCodec(sysfs, "0000:01:00.1", "hdaudioC1D1", "0x10de0043", "0x1", "0x0");
    sysfs.BindDriver("hdaudio", fine, "snd_hda_codec_hdmi");
    sysfs.Attribute(fine, "power/runtime_status", "suspended");

    // A USB audio interface without a driver (and a HID interface beside it).
    AddUsbDevice(sysfs, "1-1", "0d8c", "0014", "");
    AddUsbInterface(sysfs, "1-1", "1-1:1.0", "01", "01", "00");
    AddUsbInterface(sysfs, "1-1", "1-1:1.1", "01", "02", "01");
    AddUsbInterface(sysfs, "1-1", "1-1:1.3", "03", "00", "03");
    // A headset that should play (OUT isochronous streaming endpoint) but has no playback.
    const std::string headset = AddUsbDevice(
        sysfs, "1-2", "046d", "0a44",
        device_tests::UsbDescriptors({{1, 1, -1, 0}, {1, 2, 0x01, 0x09}, {1, 2, 0x82, 0x05}}));
    const std::string headsetControl = AddUsbInterface(sysfs, "1-2", "1-2:1.0", "01", "01", "00");
    sysfs.BindDriver("usb", headsetControl, "snd-usb-audio");
    sysfs.AddCard(headsetControl, 3, {"pcmC3D0c"});
    // A microphone: capture only by design, so nothing is missing.
    AddUsbDevice(sysfs, "1-3", "0d8c", "0016",
                 device_tests::UsbDescriptors({{1, 1, -1, 0}, {1, 2, 0x82, 0x05}}));
    const std::string micControl = AddUsbInterface(sysfs, "1-3", "1-3:1.0", "01", "01", "00");
    sysfs.BindDriver("usb", micControl, "snd-usb-audio");
    sysfs.AddCard(micControl, 4, {"pcmC4D0c"});
}

class DeviceScan : public ::testing::Test {
protected:
    device_tests::RealAudioManager library_;
};

TEST_F(DeviceScan, FindsEachKindOfTroubleAndNothingElse) {
    FakeSysfs sysfs;
    BuildMachine(sysfs);
    callbackThread = {};
    const std::vector<Reported> reported = Check(library_, sysfs.Root());
    EXPECT_EQ(callbackThread, std::this_thread::get_id());

    struct Expected {
        const char* where;
        const char* ids;
        DWORD value;
        DWORD flags;
    };
    const Expected expected[] = {
        {"0000:00:1b.0",
         "PCI\\VEN_8086&DEV_293E&SUBSYS_86941043&REV_31#PCI\\VEN_8086&DEV_293E&SUBSYS_86941043#"
         "PCI\\VEN_8086&DEV_293E&CC_040300#PCI\\VEN_8086&DEV_293E#PCI\\VEN_8086&CC_040300#"
         "PCI\\CC_040300",
         2, 9},
        {"0000:00:1f.3",
         "PCI\\VEN_8086&DEV_A170&SUBSYS_86941043&REV_31#PCI\\VEN_8086&DEV_A170&SUBSYS_86941043#"
         "PCI\\VEN_8086&DEV_A170&CC_040300#PCI\\VEN_8086&DEV_A170#PCI\\VEN_8086&CC_040300#"
         "PCI\\CC_040300",
         1, 0},
        {"0000:02:00.0",
         "PCI\\VEN_1102&DEV_0012&SUBSYS_86941043&REV_31#PCI\\VEN_1102&DEV_0012&SUBSYS_86941043#"
         "PCI\\VEN_1102&DEV_0012&CC_040100#PCI\\VEN_1102&DEV_0012#PCI\\VEN_1102&CC_040100#"
         "PCI\\CC_040100",
         2, 9},
        {"hdaudioC0D0",
         "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&SUBSYS_1043841B&REV_1003#"
         "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&SUBSYS_1043841B#"
         "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&REV_1003#HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892#"
         "HDAUDIO\\FUNC_01&VEN_10EC#HDAUDIO\\FUNC_01",
         1, 0},
        {"hdaudioC0D2", nullptr, 3, 9},
        {"hdaudioC0D3", nullptr, 1, 8},
        {"hdaudioC1D0", nullptr, 3, 9},
        {"1-1",
         "USB\\VID_0D8C&PID_0014&REV_0100&MI_00#USB\\VID_0D8C&PID_0014&MI_00#"
         "USB\\VID_0D8C&PID_0014#USB\\Class_01&SubClass_01&Prot_00#USB\\Class_01&SubClass_01#"
         "USB\\Class_01",
         1, 0},
        {"1-2", nullptr, 2, 9},
    };
    ASSERT_EQ(reported.size(), std::size(expected));
    for (std::size_t i = 0; i < reported.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_THAT(reported[i].text, HasSubstr(e.where)) << i;
        if (e.ids != nullptr) {
            EXPECT_EQ(reported[i].ids, e.ids) << e.where;
        }
        EXPECT_EQ(reported[i].value, e.value) << e.where;
        EXPECT_EQ(reported[i].flags, e.flags) << e.where;
        EXPECT_LE(reported[i].text.size(), 248u) << e.where;
        EXPECT_LE(reported[i].ids.size(), 248u) << e.where;
    }
    EXPECT_THAT(reported[3].text, HasSubstr("Realtek ALC892"));
    EXPECT_THAT(reported[7].text, HasSubstr("C-Media Electronics Inc. USB Audio Device"));
}

TEST_F(DeviceScan, OddTreesGiveDefinedAnswersWithoutFailing) {
    struct Case {
        const char* what;
        void (*damage)(FakeSysfs& sysfs, const std::string& device);
        std::size_t records; // of the one PCI audio function the case starts from
    };
    const Case cases[] = {
        {"class that is no number",
         [](FakeSysfs& s, const std::string& d) { s.Attribute(d, "class", "audio"); }, 0},
        {"class too long for a number",
         [](FakeSysfs& s, const std::string& d) { s.Attribute(d, "class", "0x0403000000"); }, 0},
        {"empty class", [](FakeSysfs& s, const std::string& d) { s.Attribute(d, "class", ""); }, 0},
        {"class as a link to another file",
         [](FakeSysfs&, const std::string& d) {
             std::remove((d + "/class").c_str());
             device_tests::WriteFile(d + "/../elsewhere", "0x040300\n");
             device_tests::MakeLink(d + "/../elsewhere", d + "/class");
         },
         0},
        {"class as a pipe",
         [](FakeSysfs&, const std::string& d) {
             std::remove((d + "/class").c_str());
             mkfifo((d + "/class").c_str(), 0600);
         },
         0},
        {"class as a folder",
         [](FakeSysfs&, const std::string& d) {
             std::remove((d + "/class").c_str());
             device_tests::MakeFolders(d + "/class");
         },
         0},
        {"no vendor",
         [](FakeSysfs&, const std::string& d) { std::remove((d + "/vendor").c_str()); }, 0},
        {"vendor wider than 16 bits",
         [](FakeSysfs& s, const std::string& d) { s.Attribute(d, "vendor", "0x18086"); }, 0},
        {"no subsystem or revision",
         [](FakeSysfs&, const std::string& d) {
             std::remove((d + "/subsystem_vendor").c_str());
             std::remove((d + "/revision").c_str());
         },
         1},
        {"dangling driver link",
         [](FakeSysfs&, const std::string& d) {
             device_tests::MakeLink("/nonexistent", d + "/driver");
         },
         1},
        {"sound folder that links back to the device",
         [](FakeSysfs& s, const std::string& d) {
             s.BindDriver("pci", d, "snd_hda_intel");
             device_tests::MakeLink(d, d + "/sound");
         },
         1},
        {"card far too deep to be this device's",
         [](FakeSysfs& s, const std::string& d) {
             s.BindDriver("pci", d, "snd_hda_intel");
             s.AddCard(d, 0, {"pcmC0D0p"}, "a/b/c/d");
         },
         1},
        {"nested folders without end in sight",
         [](FakeSysfs& s, const std::string& d) {
             s.BindDriver("pci", d, "snd_hda_intel");
             std::string deep = d;
             for (int i = 0; i < 40; ++i) {
                 deep += "/x";
             }
             device_tests::MakeFolders(deep);
         },
         1},
        {"a bus listing that is a file",
         [](FakeSysfs& s, const std::string&) {
             std::filesystem::remove_all(s.Root() + "/bus/pci/devices");
             device_tests::WriteFile(s.Root() + "/bus/pci/devices", "x");
         },
         0},
    };
    for (const Case& c : cases) {
        FakeSysfs sysfs;
        const std::string device = AddPci(sysfs, "0000:00:1f.3", "0x040300", "0x8086", "0xa170");
        c.damage(sysfs, device);
        const std::vector<Reported> reported = Check(library_, sysfs.Root());
        EXPECT_EQ(reported.size(), c.records) << c.what;
        for (const Reported& r : reported) {
            EXPECT_THAT(r.ids, HasSubstr("PCI\\VEN_8086&DEV_A170")) << c.what;
        }
    }
}

TEST_F(DeviceScan, OddUsbAndCodecDetailsStayWithinTheRecord) {
    FakeSysfs sysfs;
    const std::string usb =
        AddUsbDevice(sysfs, "2-1", "0d8c", "0014", "\x12\x01\x00"); // cut-off descriptors
    sysfs.Attribute(usb, "product", std::string(600, 'P') + "\xff\xfe");
    const std::string control = AddUsbInterface(sysfs, "2-1", "2-1:1.0", "01", "01", "00");
    sysfs.BindDriver("usb", control, "snd-usb-audio"); // bound, but no card at all
    const std::string codec =
        AddCodec(sysfs, "0000:00:1f.3", "hdaudioC0D0", "0x10ec0892", "zz", "0x1");
    sysfs.Attribute(codec, "chip_name", "\xe2\x82\xac\xf0\x9f\x94\x8a broken \xc3");

    const std::vector<Reported> reported = Check(library_, sysfs.Root());
    ASSERT_EQ(reported.size(), 2u);
    // A codec whose audio function group cannot be read but that has a modem one.
    EXPECT_THAT(reported[0].ids, HasSubstr("HDAUDIO\\FUNC_02&VEN_10EC&DEV_0892"));
    EXPECT_EQ(reported[0].value, 1u);
    EXPECT_EQ(reported[1].value, 2u);
    EXPECT_EQ(reported[1].text.size(), 248u);
}

TEST_F(DeviceScan, AMissingRootOrNoCallbackReportsNothing) {
    EXPECT_THAT(Check(library_, "/nonexistent/sysfs"), IsEmpty());
    EXPECT_EQ(library_.check(nullptr), 0);
}

TEST_F(DeviceScan, ThisMachinesOwnHardwareGivesWellFormedRecords) {
    ScopedEnv realSysfs("TMAUDIOMANAGER_SYSFS_ROOT", std::nullopt);
    std::vector<Reported> reported;
    reportedSink = &reported;
    library_.check(&Record);
    reportedSink = nullptr;
    for (const Reported& r : reported) {
        EXPECT_FALSE(r.ids.empty()) << r.text;
        EXPECT_LE(r.ids.size(), 248u) << r.text;
        EXPECT_LE(r.text.size(), 248u) << r.text;
        EXPECT_TRUE(r.value >= 1 && r.value <= 3) << r.text;
        std::cout << "[ this machine ] " << r.text << " | " << r.ids << "\n";
    }
    std::cout << "[ this machine ] " << reported.size() << " audio device(s) with a problem\n";
}

TEST_F(DeviceScan, EngineFindsTheDriversOfTheBrokenDevices) {
    // The whole check as the engine runs it: collect through the callback binding, then match
    // with the library's driver query over driver data from the fixture alias table.
    FakeSysfs sysfs;
    BuildMachine(sysfs);
    testing_support::ScratchDir cache("tm-cache");
    ScopedEnv sysfsRoot("TMAUDIOMANAGER_SYSFS_ROOT", sysfs.Root());
    ScopedEnv alias("TMAUDIOMANAGER_MODULES_ALIAS",
                    device_tests::SourceDir() + "/tests/device/fixtures/modules.alias");
    ScopedEnv cacheHome("XDG_CACHE_HOME", cache.Path());

    std::vector<CollectedDevice> devices;
    std::int32_t nextDevice = 1;
    {
        DeviceCallbackBinding binding(devices, nextDevice);
        library_.check(&DeviceCallbackBinding::Callback);
    }
    EXPECT_EQ(devices.size(), 9u);
    EXPECT_EQ(nextDevice, 10);

    std::vector<INSTALDRIVER> drivers;
    QueryDeviceHwidsProc query = library_.query;
    MatchDrivers(
        devices, [query](const char* text) { return query(text); }, drivers);
    std::vector<std::string> found;
    for (const INSTALDRIVER& driver : drivers) {
        found.push_back(driver.HardwareId);
    }
    EXPECT_THAT(found, ElementsAre("PCI\\VEN_8086&DEV_A170&SUBSYS_86941043&REV_31",
                                   "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&SUBSYS_1043841B&REV_1003",
                                   "USB\\Class_01&SubClass_01&Prot_00"));
}

} // namespace
