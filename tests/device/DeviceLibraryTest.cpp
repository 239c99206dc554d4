// Loading the device-diagnosis library: with the scripted loader for libraries that lack an
// entry, and for real, the way the program finds our shared object.

#include "engine/DeviceLibrary.h"

#include "DeviceTestSupport.h"
#include "platform/Library.h"
#include "platform/testing/ScriptedLibrary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

BOOL FakeCheck(DeviceCallbackProc) {
    return 0;
}
BOOL FakeQuery(const char*) {
    return 0;
}

TEST(DeviceLibraryLoading, ALibraryLackingAnEntryIsTreatedAsAbsent) {
    struct Case {
        const char* what;
        bool withCheck;
        bool withQuery;
    };
    const Case cases[] = {{"both entries", true, true},
                          {"no QueryDeviceHwids", true, false},
                          {"no CheckDeviceProblem", false, true},
                          {"neither entry", false, false}};
    for (const Case& c : cases) {
        auto scripted = std::make_unique<platform::ScriptedLibrary>();
        std::map<std::string, FARPROC> entries;
        if (c.withCheck) {
            entries["CheckDeviceProblem"] = platform::ScriptedLibrary::Entry(&FakeCheck);
        }
        if (c.withQuery) {
            entries["QueryDeviceHwids"] = platform::ScriptedLibrary::Entry(&FakeQuery);
        }
        scripted->AddLibrary("TMAUDIOMANAGER.DLL", entries);
        platform::ScopedBackend<platform::LibraryBackend> installed(platform::LibrarySlot(),
                                                                    std::move(scripted));
        auto& loader = static_cast<platform::ScriptedLibrary&>(*installed);

        DeviceLibrary library = LoadDeviceLibrary();
        const bool usable = c.withCheck && c.withQuery;
        EXPECT_EQ(library.LibraryHandle != nullptr, usable) << c.what;
        EXPECT_EQ(library.CheckDeviceProblem == &FakeCheck, usable) << c.what;
        EXPECT_EQ(library.QueryDeviceHwids == &FakeQuery, usable) << c.what;
        if (!usable) {
            // Nothing of it is kept, and the handle was given back.
            EXPECT_EQ(library.CheckDeviceProblem, nullptr) << c.what;
            EXPECT_EQ(library.QueryDeviceHwids, nullptr) << c.what;
            EXPECT_EQ(loader.OpenHandles("tmaudiomanager.dll"), 0) << c.what;
            EXPECT_THAT(loader.Calls(), Contains("Free TMAUDIOMANAGER.DLL")) << c.what;
        }
        UnloadDeviceLibrary(library);
        UnloadDeviceLibrary(library); // a second unload must not free again
        EXPECT_EQ(loader.OpenHandles("tmaudiomanager.dll"), 0) << c.what;
        EXPECT_EQ(library.LibraryHandle, nullptr);
    }
}

TEST(DeviceLibraryLoading, AnAbsentLibraryIsNeverFreed) {
    platform::ScopedBackend<platform::LibraryBackend> installed(
        platform::LibrarySlot(), std::make_unique<platform::ScriptedLibrary>());
    auto& loader = static_cast<platform::ScriptedLibrary&>(*installed);
    DeviceLibrary library = LoadDeviceLibrary();
    EXPECT_EQ(library.LibraryHandle, nullptr);
    UnloadDeviceLibrary(library);
    EXPECT_THAT(loader.Calls(), ElementsAre("Load tmaudiomanager.dll"));
}

TEST(DeviceLibraryLoading, WindowsNamesMapToOurSharedObjects) {
    struct Case {
        const char* given;
        const char* expected;
    };
    const Case cases[] = {{"tmaudiomanager.dll", "libtmaudiomanager.so"},
                          {"TMAudioManager.DLL", "libtmaudiomanager.so"},
                          {"libasound.so.2", "libasound.so.2"},
                          {"/opt/x/tmaudiomanager.dll", "/opt/x/tmaudiomanager.dll"},
                          {".dll", ".dll"}};
    for (const Case& c : cases) {
        EXPECT_EQ(platform::SharedObjectName(c.given), c.expected) << c.given;
    }
}

TEST(DeviceLibraryLoading, TheRealLibraryIsFoundBesideTheProgram) {
    // No double installed: the dlopen backend looks in this test's own folder, where the build
    // puts libtmaudiomanager.so.
    DeviceLibrary library = LoadDeviceLibrary();
    ASSERT_NE(library.LibraryHandle, nullptr);
    EXPECT_NE(library.CheckDeviceProblem, nullptr);
    EXPECT_NE(library.QueryDeviceHwids, nullptr);
    EXPECT_EQ(GetProcAddress(library.LibraryHandle, "NoSuchEntry"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "CheckDeviceProblem"), nullptr);
    EXPECT_EQ(library.CheckDeviceProblem(nullptr), 0);
    EXPECT_EQ(library.QueryDeviceHwids(nullptr), 0);
    UnloadDeviceLibrary(library);

    EXPECT_EQ(LoadLibraryA("tonemender-no-such-library.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(FreeLibrary(nullptr), 0);
}

} // namespace
