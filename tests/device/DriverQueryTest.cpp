// The real library's driver query, on driver data built from a fixture modules.alias into a
// scratch cache folder.

#include "DeviceTestSupport.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

using namespace std::string_literals;
using device_tests::ReadFile;
using device_tests::ScopedEnv;
using device_tests::WriteFile;

std::string Query(const std::string& table, const std::string& id) {
    return "SELECT * FROM " + table + " WHERE hwid = '" + id + "';";
}

class DriverQuery : public ::testing::Test {
protected:
    DriverQuery()
        : scratch_("tm-drivers"), aliasFile_(scratch_.Path() + "/modules.alias"),
          cacheHome_(scratch_.Path() + "/cache"),
          cacheFile_(cacheHome_ + "/tonemender/tmaudiomanager-drivers.sqlite"),
          aliasEnv_("TMAUDIOMANAGER_MODULES_ALIAS", aliasFile_),
          cacheEnv_("XDG_CACHE_HOME", cacheHome_) {
        WriteFile(aliasFile_,
                  ReadFile(device_tests::SourceDir() + "/tests/device/fixtures/modules.alias"));
    }

    BOOL Ask(const std::string& table, const std::string& id) {
        return library_.query(Query(table, id).c_str());
    }

    // Row counts of the four tables, read straight from the cache file.
    std::vector<long> RowCounts() {
        sqlite3* db = nullptr;
        std::vector<long> counts;
        if (sqlite3_open_v2(cacheFile_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            for (const char* table : {"HDAUDIO", "OTHER", "PCI", "USB"}) {
                sqlite3_stmt* stmt = nullptr;
                const std::string sql = std::string("SELECT count(*) FROM ") + table;
                if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
                    sqlite3_step(stmt) == SQLITE_ROW) {
                    counts.push_back(sqlite3_column_int64(stmt, 0));
                }
                sqlite3_finalize(stmt);
            }
        }
        sqlite3_close(db);
        return counts;
    }

    testing_support::ScratchDir scratch_;
    std::string aliasFile_;
    std::string cacheHome_;
    std::string cacheFile_;
    ScopedEnv aliasEnv_;
    ScopedEnv cacheEnv_;
    device_tests::RealAudioManager library_;
};

TEST_F(DriverQuery, RealIdsFindTheirDrivers) {
    struct Case {
        const char* table;
        const char* id;
        BOOL known;
    };
    const Case cases[] = {
        // An Intel HD-audio controller: its own entry takes any class and subsystem.
        {"PCI", "PCI\\VEN_8086&DEV_A170&SUBSYS_86941043&REV_31", 1},
        {"PCI", "PCI\\VEN_8086&DEV_A170", 1},
        {"PCI", "pci:v00008086d0000A170sv00001043sd00008694bc04sc03i00", 1},
        // Intel's class entry wants the full class with programming interface 00.
        {"PCI", "PCI\\VEN_8086&DEV_9999&CC_040300", 1},
        {"PCI", "PCI\\VEN_8086&DEV_9999&CC_040301", 0},
        {"PCI", "PCI\\VEN_8086&DEV_9999&CC_0403", 0},
        {"PCI", "PCI\\VEN_8086&DEV_9999", 0},
        {"PCI", "PCI\\VEN_8086&CC_040300", 1},
        {"PCI", "PCI\\CC_040300", 0},
        {"PCI", "PCI\\CC_0C0330", 1}, // a driver for every xHCI controller
        {"PCI", "PCI\\VEN_1102&DEV_0012", 0},
        // A Realtek codec, in every form our library writes.
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&SUBSYS_1043841B&REV_1003", 1},
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892", 1},
        {"HDAUDIO", "hdaudio:v10EC0892r00100302a01", 1},
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC", 0},
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0899", 0},
        // Only revision 0x100101 of this one is known; the id leaves the stepping open.
        {"HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662&REV_1001", 0},
        {"HDAUDIO", "hdaudio:v10EC0662r00100101a01", 1},
        {"HDAUDIO", "hdaudio:v10EC0662r00100102a01", 0},
        // USB audio: the class driver takes any audio control interface.
        {"USB", "USB\\Class_01&SubClass_01&Prot_00", 1},
        {"USB", "USB\\Class_01&SubClass_02&Prot_00", 0},
        {"USB", "USB\\Class_01", 0},
        {"USB", "USB\\VID_0D8C&PID_0014&REV_0100&MI_00", 0},
        {"USB", "USB\\VID_0763&PID_2012&MI_00", 1},
        {"USB", "usb:v0763p2012d0100dc00dsc00dp00ic01isc01ip00in00", 1},
        {"USB", "USB\\VID_1645&PID_0007&REV_0132", 1},
        {"USB", "USB\\VID_1645&PID_0007&REV_0134", 0},
        {"USB", "USB\\VID_1645&PID_0007", 0},
        // Everything else by its modalias.
        {"OTHER", "acpi:INT343A:", 1},
        {"OTHER", "platform:snd-soc-dummy", 1},
        {"OTHER", "acpi:INT0000:", 0},
        {"OTHER", "ACPI\\INT343A", 0},
        // An id in the wrong table is not known there.
        {"USB", "PCI\\VEN_8086&DEV_A170", 0},
        {"OTHER", "pci:v00008086d0000A170sv00001043sd00008694bc04sc03i00", 0},
        {"PCI", "USB\\Class_01&SubClass_01&Prot_00", 0},
        // Damaged ids.
        {"PCI", "PCI\\VEN_8086&DEV_A17", 0},
        {"PCI", "PCI\\VEN_8086&DEV_A170&", 0},
        {"PCI", "PCI\\VEN_8086&VEN_8086", 0},
        {"PCI", "PCI\\VEN_80G6", 0},
        {"PCI", "PCI\\FOO_1234", 0},
        {"PCI", "", 0},
        {"PCI", "pci:v*d*sv*sd*bc0Csc03i30", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(c.table, c.id), c.known) << c.table << " " << c.id;
    }
}

TEST_F(DriverQuery, OnlyTheExactQueryFormIsAnswered) {
    const std::string id = "PCI\\VEN_8086&DEV_A170";
    ASSERT_EQ(Ask("PCI", id), 1);
    const std::string rejected[] = {
        "select * from PCI where hwid = '" + id + "';",
        "SELECT * FROM PCI WHERE hwid = '" + id + "'",
        "SELECT * FROM PCI WHERE hwid = '" + id + "'; ",
        "SELECT * FROM PCI WHERE hwid = '" + id + "';;",
        " SELECT * FROM PCI WHERE hwid = '" + id + "';",
        "SELECT * FROM PCI  WHERE hwid = '" + id + "';",
        "SELECT * FROM pci WHERE hwid = '" + id + "';",
        "SELECT * FROM PCIX WHERE hwid = '" + id + "';",
        "SELECT * FROM  WHERE hwid = '" + id + "';",
        "SELECT * FROM sqlite_master WHERE hwid = '" + id + "';",
        "SELECT * FROM PCI WHERE pattern = '" + id + "';",
        "SELECT * FROM PCI WHERE hwid = '';",
        "",
    };
    for (const std::string& text : rejected) {
        EXPECT_EQ(library_.query(text.c_str()), 0) << text;
    }
    EXPECT_EQ(library_.query(nullptr), 0);
}

TEST_F(DriverQuery, HostileIdsMatchNothingAndChangeNothing) {
    ASSERT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
    const std::string before = ReadFile(cacheFile_);
    const std::vector<long> countsBefore = RowCounts();
    ASSERT_EQ(countsBefore.size(), 4u);

    const char* hostile[] = {
        "x' OR '1'='1",
        "'; DROP TABLE PCI; --",
        "PCI\\VEN_8086&DEV_A170' OR '1'='1",
        "PCI\\VEN_8086&DEV_A170'; DELETE FROM PCI; --",
        "' UNION SELECT pattern FROM PCI --",
        "*",
        "pci:*",
        "acpi*:*",
    };
    for (const char* id : hostile) {
        for (const char* table : {"HDAUDIO", "OTHER", "PCI", "USB"}) {
            EXPECT_EQ(Ask(table, id), 0) << table << " " << id;
        }
    }
    EXPECT_EQ(ReadFile(cacheFile_), before);
    EXPECT_EQ(RowCounts(), countsBefore);
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
}

TEST_F(DriverQuery, DataIsCachedPrivatelyAndRebuiltWhenTheAliasTableChanges) {
    ASSERT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
    // Only the finished database is left in the cache folder, readable by its owner alone.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(cacheHome_ + "/tonemender")) {
        names.push_back(entry.path().filename());
    }
    EXPECT_THAT(names, ::testing::ElementsAre("tmaudiomanager-drivers.sqlite"));
    struct stat info {};
    ASSERT_EQ(stat(cacheFile_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ASSERT_EQ(Ask("PCI", "PCI\\VEN_1102&DEV_0012"), 0);
    WriteFile(aliasFile_,
              ReadFile(aliasFile_) + "alias pci:v00001102d00000012sv*sd*bc*sc*i* snd_hda_intel\n");
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_1102&DEV_0012"), 1);
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
}

TEST_F(DriverQuery, ADamagedCacheIsRebuilt) {
    ASSERT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
    // Damaged in place while the library has it open...
    WriteFile(cacheFile_, std::string(8192, '\x5A'));
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
    EXPECT_EQ(RowCounts().size(), 4u);

    // ...and found damaged when opening it.
    const std::string otherHome = scratch_.Path() + "/cache2";
    WriteFile(otherHome + "/tonemender/tmaudiomanager-drivers.sqlite", "SQLite format 3\0junk"s);
    ScopedEnv otherCache("XDG_CACHE_HOME", otherHome);
    EXPECT_EQ(Ask("HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892"), 1);
    EXPECT_GT(ReadFile(otherHome + "/tonemender/tmaudiomanager-drivers.sqlite").size(), 1000u);
}

TEST_F(DriverQuery, WithoutAnAliasTableEveryQueryAnswersZeroAndNothingIsWritten) {
    ScopedEnv noAlias("TMAUDIOMANAGER_MODULES_ALIAS", scratch_.Path() + "/missing.alias");
    for (const char* table : {"HDAUDIO", "OTHER", "PCI", "USB"}) {
        EXPECT_EQ(Ask(table, "PCI\\VEN_8086&DEV_A170"), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(cacheHome_));
}

TEST_F(DriverQuery, DamagedAliasLinesAreSkipped) {
    std::string damaged = "alias\n"
                          "alias pci:v00008086d0000A170sv*sd*bc*sc*i*\n"
                          "alias pci:v00001002d0000AB38sv*sd*bc*sc*i* snd_hda_intel extra\n"
                          "alias hdaudio:v10EC0892r*a01* snd_hda_codec_realtek\r\n"
                          "alias usb:0763p2012d* snd_usb_audio\n"
                          "garbage \xff\xfe\x01\x02\n";
    damaged += "alias pci:v00008086d0000A170sv*sd*bc*sc*i*\0 x\n"s;
    damaged += std::string(100000, 'A') + "\n";
    WriteFile(aliasFile_, damaged);
    EXPECT_EQ(Ask("HDAUDIO", "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892"), 1);
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 0);
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_1002&DEV_AB38"), 0);
    EXPECT_EQ(Ask("USB", "USB\\VID_0763&PID_2012"), 0);
}

TEST_F(DriverQuery, AnUnusableCacheFolderFallsBackToMemory) {
    WriteFile(scratch_.Path() + "/not-a-folder", "x");
    ScopedEnv fileAsCache("XDG_CACHE_HOME", scratch_.Path() + "/not-a-folder");
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_9999"), 0);
    // A relative cache home is not a cache home; ~/.cache is used, here inside the scratch.
    ScopedEnv relative("XDG_CACHE_HOME", "relative/cache");
    ScopedEnv home("HOME", scratch_.Path() + "/home");
    EXPECT_EQ(Ask("PCI", "PCI\\VEN_8086&DEV_A170"), 1);
    EXPECT_TRUE(std::filesystem::exists(scratch_.Path() +
                                        "/home/.cache/tonemender/tmaudiomanager-drivers.sqlite"));
}

} // namespace
