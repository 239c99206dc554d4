// Parts of the library whose corners are easier to reach directly than through its entries.

#include "DeviceTestSupport.h"
#include "tmaudiomanager/AliasFile.h"
#include "tmaudiomanager/AudioDeviceScan.h"
#include "tmaudiomanager/HardwareIds.h"
#include "tmaudiomanager/ModaliasPattern.h"
#include "tmaudiomanager/Utf16Text.h"
#include "tmaudiomanager/tmaudiomanager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace tmaudiomanager;

// The engine's view of the record and the library's must be the same bytes.
static_assert(sizeof(DeviceRecord) == sizeof(TMDeviceRecord));
static_assert(offsetof(DeviceRecord, HardwareIds) == offsetof(TMDeviceRecord, HardwareIds));
static_assert(offsetof(DeviceRecord, Value) == offsetof(TMDeviceRecord, Value));
static_assert(offsetof(DeviceRecord, Flags) == offsetof(TMDeviceRecord, Flags));
static_assert(TM_DEVICE_SKIP_DRIVER_LOOKUP == kDeviceSkipsDriverMatching);

TEST(ModaliasGlob, MatchesAsTheShellDoes) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"*", "", true},
        {"00*", "00", true},
        {"00*", "0", false},
        {"0000A170", "0000A170", true},
        {"0000A170", "0000A171", false},
        {"013[0-3]", "0132", true},
        {"013[0-3]", "0134", false},
        {"0[!0-2]", "03", true},
        {"0[^0-2]", "01", false},
        {"[]]", "]", true},
        {"[0-", "[0-", true}, // an open class is plain text
        {"\\*", "*", true},
        {"\\*", "A", false},
        {"*A*B", "xxAyyB", true},
        {"*A*B", "xxAyyBz", false},
        {"?", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobMatches(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
    }
}

TEST(ModaliasGlob, UnknownDigitsMatchOnlyWhatTakesEveryDigit) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"10EC*", "10EC????", true},
        {"10EC????", "10EC????", true},
        {"10EC0892", "10EC????", false},
        {"10EC[0-9A-F]???", "10EC????", true},
        {"10EC[0-9]???", "10EC????", false},
        {"0010030?", "001003??", false},
        {"*", "????", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobMatches(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
    }
}

TEST(ModaliasFields, SplitAtTheirMarkers) {
    const auto usb = SplitModalias("usb:v1645p0007d013[0-3]dc*dsc*dp*ic*isc*ip*in*");
    ASSERT_TRUE(usb.has_value());
    EXPECT_EQ(usb->bus, "usb");
    std::vector<std::string> markers;
    for (const auto& field : usb->fields) {
        markers.push_back(field.first);
    }
    EXPECT_THAT(markers,
                ::testing::ElementsAre("v", "p", "d", "dc", "dsc", "dp", "ic", "isc", "ip", "in"));
    EXPECT_EQ(*usb->Find("d"), "013[0-3]");

    for (const char* bad : {"", "pci", ":v1", "pci:0000", "pci:v1v2"}) {
        EXPECT_FALSE(SplitModalias(bad).has_value()) << bad;
    }
}

TEST(HardwareIdList, LeavesOffWholeIdsFromTheLeastSpecificEnd) {
    const std::vector<std::string> ids = {std::string(100, 'A'), std::string(100, 'B'),
                                          std::string(100, 'C')};
    EXPECT_EQ(JoinHardwareIds(ids, 248), std::string(100, 'A') + "#" + std::string(100, 'B'));
    EXPECT_EQ(JoinHardwareIds(ids, 201), std::string(100, 'A') + "#" + std::string(100, 'B'));
    EXPECT_EQ(JoinHardwareIds(ids, 200), std::string(100, 'A'));
    EXPECT_EQ(JoinHardwareIds(ids, 99), "");
}

TEST(UsbDescriptors, TellWhetherTheDeviceCanPlay) {
    using device_tests::UsbDescriptors;
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<bool> plays;
    };
    const Case cases[] = {
        {"OUT isochronous streaming", UsbDescriptors({{1, 1, -1, 0}, {1, 2, 0x01, 0x05}}), true},
        {"IN only (a microphone)", UsbDescriptors({{1, 1, -1, 0}, {1, 2, 0x81, 0x05}}), false},
        {"OUT feedback endpoint", UsbDescriptors({{1, 2, 0x01, 0x11}}), false},
        {"OUT bulk endpoint", UsbDescriptors({{1, 2, 0x01, 0x02}}), false},
        {"OUT isochronous but not audio", UsbDescriptors({{0xFF, 2, 0x01, 0x05}}), false},
        {"no bytes", "", std::nullopt},
        {"device descriptor cut short", std::string("\x12\x01\x00", 3), std::nullopt},
        {"a zero-length descriptor", std::string("\x00\x02\x00\x00", 4), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UsbDescriptorsShowPlayback(c.bytes), c.plays) << c.what;
    }
    // A descriptor claiming more bytes than there are ends the walk.
    std::string truncated = UsbDescriptors({{1, 2, 0x01, 0x05}});
    truncated.resize(truncated.size() - 3);
    EXPECT_EQ(UsbDescriptorsShowPlayback(truncated), false);
}

TEST(RecordTexts, AreCutWithoutSplittingCharacters) {
    EXPECT_EQ(ToUtf16("abc", 2), u"ab");
    EXPECT_EQ(ToUtf16("a\xF0\x9F\x94\x8A", 2), u"a"); // the pair would not fit whole
    EXPECT_EQ(ToUtf16("a\xF0\x9F\x94\x8A", 3), u"a\U0001F50A");
    EXPECT_EQ(ToUtf16("\xC3\xA4\xff\xC3", 10), u"\u00E4\uFFFD\uFFFD");
    EXPECT_EQ(ToUtf16("\xED\xA0\x80", 10), u"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate
    EXPECT_EQ(ToUtf16("a\tb\n", 10), u"a b ");
}

} // namespace

namespace {

TEST(DriverDataKeys, EveryPatternThatAcceptsAnIdIsFiledUnderOneOfItsKeys) {
    // The database reads only the rows under an id's keys; a pattern filed elsewhere would be
    // a driver the query can never find.
    const std::vector<AliasRow> rows = ParseAliasLines(
        device_tests::ReadFile(device_tests::SourceDir() + "/tests/device/fixtures/modules.alias") +
        "alias pci:v00008086d0000A1*sv*sd*bc*sc*i* partial_device\n"
        "alias hdaudio:v10EC*r*a01* any_realtek\n"
        "alias hdaudio:v*r*a01* any_codec\n"
        "alias usb:v0D8Cp*d*dc*dsc*dp*ic*isc*ip*in* any_cmedia\n"
        "alias a*:*INT343A* glob_bus\n");
    const std::pair<const char*, const char*> ids[] = {
        {"PCI", "PCI\\VEN_8086&DEV_A170&SUBSYS_86941043&REV_31"},
        {"PCI", "PCI\\VEN_8086&DEV_A170&CC_040300"},
        {"PCI", "PCI\\VEN_8086&CC_040300"},
        {"PCI", "PCI\\CC_0C0330"},
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&REV_1003"},
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC"},
        {"HDAUDIO", "HDAUDIO\\FUNC_01"},
        {"USB", "USB\\VID_0D8C&PID_0014&REV_0100&MI_00"},
        {"USB", "USB\\Class_01&SubClass_01&Prot_00"},
        {"USB", "USB\\VID_1645&PID_0007&REV_0132"},
    };
    int accepted = 0;
    for (const auto& [table, id] : ids) {
        const DriverTable kind = *TableFromName(table);
        const AliasFields device = *HardwareIdToAlias(table, id);
        const std::vector<std::string> keys = QueryKeys(kind, device);
        for (const AliasRow& row : rows) {
            if (row.table == kind && PatternAccepts(*SplitModalias(row.pattern), device)) {
                ++accepted;
                EXPECT_THAT(keys, ::testing::Contains(row.prefilter)) << row.pattern << " / " << id;
            }
        }
    }
    EXPECT_GE(accepted, 12); // the ids above are known through several patterns each
    for (const char* id : {"acpi:INT343A:", "acpi:PNP0C09:INT343A:"}) {
        const std::vector<std::string> keys =
            QueryKeys(DriverTable::OTHER, AliasFields{*OtherModaliasBus(id), {}});
        int found = 0;
        for (const AliasRow& row : rows) {
            if (row.table == DriverTable::OTHER && GlobMatches(row.pattern, id)) {
                ++found;
                EXPECT_THAT(keys, ::testing::Contains(row.prefilter)) << row.pattern;
            }
        }
        EXPECT_EQ(found, 2) << id;
    }
}

} // namespace
