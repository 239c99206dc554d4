// The engine's side of the device check: copying records, matching them against the driver
// query, and reaching the engine from the library's context-free callback.

#include "engine/DeviceCallback.h"
#include "engine/DeviceCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// A driver query that knows a fixed set of query texts and records every text it is asked.
struct RecordingQuery {
    std::set<std::string> known;
    std::vector<std::string> asked;

    std::function<BOOL(const char*)> Function() {
        return [this](const char* text) {
            asked.emplace_back(text);
            return known.count(text) != 0 ? 1 : 0;
        };
    }
};

std::vector<CollectedDevice> Devices(const std::vector<std::pair<std::u16string, DWORD>>& records) {
    std::vector<CollectedDevice> devices;
    std::int32_t next = 1;
    for (const auto& [ids, flags] : records) {
        CollectDeviceRecord(devices, next, DeviceRecord{u"device", ids.c_str(), 1, flags});
    }
    return devices;
}

std::string Query(const std::string& table, const std::string& id) {
    return "SELECT * FROM " + table + " WHERE hwid = '" + id + "';";
}

std::vector<std::string> HardwareIdsOf(const std::vector<INSTALDRIVER>& drivers) {
    std::vector<std::string> ids;
    for (const INSTALDRIVER& driver : drivers) {
        ids.push_back(driver.HardwareId);
        EXPECT_EQ(driver.Detail, "");
    }
    return ids;
}

TEST(DeviceMatching, RecordWithFlagBit3IsNeverQueried) {
    for (DWORD flags : {8u, 9u, 0xFFFFFFFFu}) {
        RecordingQuery query;
        query.known = {Query("PCI", "PCI\\VEN_8086&DEV_A170")};
        std::vector<INSTALDRIVER> drivers;
        MatchDrivers(Devices({{u"PCI\\VEN_8086&DEV_A170#USB\\VID_0D8C", flags}}), query.Function(),
                     drivers);
        EXPECT_THAT(query.asked, IsEmpty()) << "flags " << flags;
        EXPECT_THAT(drivers, IsEmpty()) << "flags " << flags;
    }
    // Bit 3 alone decides: the other bits leave the record in.
    RecordingQuery query;
    std::vector<INSTALDRIVER> drivers;
    MatchDrivers(Devices({{u"PCI\\VEN_8086&DEV_A170", 0xFFFFFFF7u}}), query.Function(), drivers);
    EXPECT_THAT(query.asked, ElementsAre(Query("PCI", "PCI\\VEN_8086&DEV_A170")));
}

TEST(DeviceMatching, FirstKnownIdEndsTheRecord) {
    const std::string hda = "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892";
    const std::string pci = "PCI\\VEN_8086&DEV_A170";
    RecordingQuery query;
    query.known = {Query("HDAUDIO", hda), Query("PCI", pci)};
    std::vector<INSTALDRIVER> drivers;
    MatchDrivers(Devices({{u"HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892#PCI\\VEN_8086&DEV_A170", 0}}),
                 query.Function(), drivers);
    EXPECT_THAT(HardwareIdsOf(drivers), ElementsAre(hda));
    EXPECT_THAT(query.asked, ElementsAre(Query("HDAUDIO", hda)));
}

TEST(DeviceMatching, UnknownIdsAreAllTriedAndAddNothing) {
    RecordingQuery query;
    std::vector<INSTALDRIVER> drivers{{"left over from an earlier scan", ""}};
    MatchDrivers(Devices({{u"PCI\\A#PCI\\B#USB\\C", 0}}), query.Function(), drivers);
    EXPECT_THAT(drivers, IsEmpty());
    EXPECT_THAT(query.asked, ElementsAre(Query("PCI", "PCI\\A"), Query("PCI", "PCI\\B"),
                                         Query("USB", "USB\\C")));
}

TEST(DeviceMatching, TableIsTheFirstNameInFixedOrderThenCarriesOver) {
    struct Case {
        std::vector<std::u16string> records;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{u"USB\\PCI_BRIDGE"}, {Query("PCI", "USB\\PCI_BRIDGE")}},
        {{u"PCI\\HDAUDIO"}, {Query("HDAUDIO", "PCI\\HDAUDIO")}},
        {{u"USB\\OTHER"}, {Query("OTHER", "USB\\OTHER")}},
        // Letter case counts: "pci" names no table.
        {{u"pci:v00008086"}, {Query("", "pci:v00008086")}},
        // No table yet: the query goes out with nothing between FROM and WHERE.
        {{u"ACPI\\INT343A"}, {"SELECT * FROM  WHERE hwid = 'ACPI\\INT343A';"}},
        {{u""}, {"SELECT * FROM  WHERE hwid = '';"}},
        // The last choice carries over to later ids and later records.
        {{u"USB\\VID_1#ACPI\\X", u"ROOT\\Y"},
         {Query("USB", "USB\\VID_1"), Query("USB", "ACPI\\X"), Query("USB", "ROOT\\Y")}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::u16string, DWORD>> records;
        for (const std::u16string& ids : c.records) {
            records.emplace_back(ids, 0);
        }
        RecordingQuery query;
        std::vector<INSTALDRIVER> drivers;
        MatchDrivers(Devices(records), query.Function(), drivers);
        EXPECT_THAT(query.asked, ElementsAreArray(c.expected)) << c.expected.front();
    }
}

TEST(DeviceMatching, TwoKnownRecordsGiveTwoEntriesInRecordOrder) {
    RecordingQuery query;
    query.known = {Query("USB", "USB\\VID_0D8C&PID_0014"), Query("PCI", "PCI\\VEN_8086&DEV_A170")};
    std::vector<INSTALDRIVER> drivers;
    MatchDrivers(Devices({{u"USB\\VID_0D8C&PID_0014#USB\\Class_01", 0},
                          {u"PCI\\VEN_1234#PCI\\VEN_8086&DEV_A170", 0}}),
                 query.Function(), drivers);
    EXPECT_THAT(HardwareIdsOf(drivers),
                ElementsAre("USB\\VID_0D8C&PID_0014", "PCI\\VEN_8086&DEV_A170"));
}

TEST(DeviceMatching, IdsSplitAtEveryHash) {
    struct Case {
        std::string text;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"", {""}},        {"a", {"a"}},      {"a#b", {"a", "b"}},
        {"a#", {"a", ""}}, {"#a", {"", "a"}}, {"a##b", {"a", "", "b"}},
        {"#", {"", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_THAT(SplitHardwareIds(c.text), ElementsAreArray(c.parts)) << '"' << c.text << '"';
    }
}

TEST(DeviceMatching, IdsReachTheQueryAsUtf8) {
    RecordingQuery query;
    std::vector<INSTALDRIVER> drivers;
    // An id with a non-ASCII letter, and one with a surrogate that has lost its partner.
    const std::u16string ids = std::u16string(u"PCI\\\u00C4#PCI\\") + char16_t(0xD800) + u"x";
    MatchDrivers(Devices({{ids, 0}}), query.Function(), drivers);
    EXPECT_THAT(query.asked,
                ElementsAre(Query("PCI", "PCI\\\xC3\x84"), Query("PCI", "PCI\\\xEF\xBF\xBDx")));
}

TEST(DeviceCollecting, CopiesBothTextsAndNumbersAndCountsOn) {
    std::vector<CollectedDevice> devices;
    std::int32_t next = 1;
    CollectDeviceRecord(devices, next, DeviceRecord{u"Speaker", u"PCI\\A#PCI\\B", 2, 9});
    CollectDeviceRecord(devices, next, DeviceRecord{nullptr, nullptr, 7, 0});
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(next, 3);
    EXPECT_EQ(std::u16string(devices[0].Text->data()), u"Speaker");
    EXPECT_EQ(std::u16string(devices[0].HardwareIds->data()), u"PCI\\A#PCI\\B");
    EXPECT_EQ(devices[0].Value, 2u);
    EXPECT_EQ(devices[0].Flags, 9u);
    EXPECT_EQ(std::u16string(devices[1].Text->data()), u"");
    EXPECT_EQ(devices[1].Value, 7u);

    ReleaseDevices(devices, next);
    EXPECT_THAT(devices, IsEmpty());
    EXPECT_EQ(next, 1);
}

TEST(DeviceCollecting, LongTextsAreCutAt249UnitsAndTheBufferStaysZeroFilled) {
    for (std::size_t length : {248u, 249u, 250u, 300u}) {
        const std::u16string text(length, u'x');
        std::vector<CollectedDevice> devices;
        std::int32_t next = 1;
        CollectDeviceRecord(devices, next, DeviceRecord{text.c_str(), text.c_str(), 0, 0});
        for (const auto* buffer : {devices[0].Text.get(), devices[0].HardwareIds.get()}) {
            const std::size_t kept = std::min<std::size_t>(length, 249);
            EXPECT_EQ(std::u16string(buffer->data()), text.substr(0, kept)) << length;
            for (std::size_t i = kept; i < buffer->size(); ++i) {
                EXPECT_EQ((*buffer)[i], u'\0') << "unit " << i << " of a " << length << " text";
            }
        }
    }
}

TEST(DeviceCollecting, AnUnterminatedTextIsNotReadPastWhatIsKept) {
    // Exactly 249 units and no terminator: reading one unit more would leave the allocation,
    // which the address sanitizer build reports.
    auto text = std::make_unique<char16_t[]>(249);
    std::fill_n(text.get(), 249, u'y');
    std::vector<CollectedDevice> devices;
    std::int32_t next = 1;
    CollectDeviceRecord(devices, next, DeviceRecord{text.get(), text.get(), 0, 0});
    EXPECT_EQ(std::u16string(devices[0].Text->data()), std::u16string(249, u'y'));
}

TEST(DeviceCallback, DeliversRecordsOnlyWhileBoundOnThisThread) {
    std::vector<CollectedDevice> devices;
    std::int32_t next = 1;
    const DeviceRecord record{u"t", u"PCI\\A", 1, 0};
    EXPECT_EQ(DeviceCallbackBinding::Callback(&record), 0); // nothing bound yet
    {
        DeviceCallbackBinding binding(devices, next);
        EXPECT_NE(DeviceCallbackBinding::Callback(&record), 0);

        // A library calling from some other thread reaches nothing.
        BOOL fromOtherThread = -1;
        std::thread([&] { fromOtherThread = DeviceCallbackBinding::Callback(&record); }).join();
        EXPECT_EQ(fromOtherThread, 0);
        EXPECT_EQ(DeviceCallbackBinding::Callback(nullptr), 0);
    }
    EXPECT_EQ(DeviceCallbackBinding::Callback(&record), 0); // and nothing after the binding
    EXPECT_EQ(devices.size(), 1u);
    EXPECT_EQ(next, 2);
}

TEST(DeviceCallback, InnerBindingWinsUntilItEnds) {
    std::vector<CollectedDevice> outer, inner;
    std::int32_t outerNext = 1, innerNext = 1;
    const DeviceRecord record{u"t", u"id", 0, 0};
    DeviceCallbackBinding outerBinding(outer, outerNext);
    {
        DeviceCallbackBinding innerBinding(inner, innerNext);
        DeviceCallbackBinding::Callback(&record);
    }
    DeviceCallbackBinding::Callback(&record);
    EXPECT_EQ(inner.size(), 1u);
    EXPECT_EQ(outer.size(), 1u);
}

TEST(DeviceCallback, ForwardsToTheBoundInstanceAndSwallowsItsExceptions) {
    struct Engine {
        int calls = 0;
        bool fail = false;
        static void Collect(void* instance, const DeviceRecord&) {
            auto* engine = static_cast<Engine*>(instance);
            ++engine->calls;
            if (engine->fail) {
                throw std::bad_alloc();
            }
        }
    } engine;
    DeviceCallbackBinding binding(&engine, &Engine::Collect);
    const DeviceRecord record{u"t", u"id", 0, 0};
    EXPECT_EQ(DeviceCallbackBinding::Callback(&record), 1);
    engine.fail = true;
    EXPECT_EQ(DeviceCallbackBinding::Callback(&record), 0);
    EXPECT_EQ(engine.calls, 2);
}

} // namespace
