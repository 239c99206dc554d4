// The importer's work: a sound script restores the audio service through the service backend;
// anything wrong with the script or its path changes nothing and says why.
#include "platform/RegistryImport.h"

#include "ScriptWriting.h"
#include "platform/testing/ScriptedServices.h"
#include "support/Command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

using platform::ScriptedServices;
using service_tests::Lines;
using service_tests::Utf16Script;
using service_tests::WriteBytes;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

const std::string kHeader = "Windows Registry Editor Version 5.00";
const std::string kServices = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

std::string ThreeServices() {
    return Lines({kHeader, "", kServices + "AudioSrv]", "\"Start\"=dword:00000002",
                  kServices + "AudioSrv\\Parameters]", "\"ServiceDllUnloadOnStop\"=dword:1",
                  kServices + "PlugPlay]", "\"Start\"=dword:2", kServices + "RpcSs\\Enum]",
                  "\"Count\"=dword:1", ""});
}

struct ImportRun {
    int exitCode;
    std::string messages;
    std::vector<std::string> restored;
};

ImportRun Import(const std::vector<std::string>& args,
                 platform::ServiceRestoreResult result = {true, "restored it"}) {
    ScriptedServices services;
    services.SetRestoreResult(result);
    std::ostringstream err;
    int code = platform::RunRegistryImport(args, services, err);
    return {code, err.str(), services.Restored()};
}

class RegistryImportTest : public testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<BYTE>& bytes) {
        std::string path = dir_.Path() + "/" + name;
        WriteBytes(path, bytes);
        return path;
    }
    testing_support::ScratchDir dir_{"tm-import"};
};

TEST_F(RegistryImportTest, RestoresTheAudioServiceAndOnlyChecksItsDependencies) {
    ImportRun run = Import({Write("audio.reg", Utf16Script(ThreeServices()))});

    EXPECT_EQ(run.exitCode, platform::kImportDone);
    EXPECT_THAT(run.restored, ElementsAre("AudioSrv"));
    EXPECT_THAT(run.messages, HasSubstr("AudioSrv: restored it"));
    EXPECT_THAT(run.messages, HasSubstr("PlugPlay: checked"));
    EXPECT_THAT(run.messages, HasSubstr("RpcSs: checked"));
}

TEST_F(RegistryImportTest, ScriptOfOnlyDependenciesRestoresNothing) {
    ImportRun run =
        Import({Write("deps.reg", Utf16Script(Lines({kHeader, kServices + "rpcss]"})))});
    EXPECT_EQ(run.exitCode, platform::kImportDone);
    EXPECT_THAT(run.restored, IsEmpty());
}

TEST_F(RegistryImportTest, BadScriptsAndPathsChangeNothing) {
    std::string damaged = ThreeServices();
    damaged.replace(damaged.find("dword:1\r\n"), 9, "dword:xyz\r\n");
    std::string foreign = ThreeServices() + Lines({kServices + "Spooler]", "\"Start\"=dword:2"});
    std::string elsewhere = ThreeServices() + Lines({"[HKEY_CURRENT_USER\\Software\\Run]"});
    std::string servicesRoot =
        Lines({kHeader, "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services]"});
    std::string lookalike = Lines({kHeader, kServices + "AudioSrvX]"});
    std::vector<BYTE> huge(platform::kMaxRegistryScriptBytes + 2, 0x20);
    huge[0] = 0xFF;
    huge[1] = 0xFE;
    mkdir((dir_.Path() + "/a folder").c_str(), 0700);

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"damaged value",
         {Write("damaged.reg", Utf16Script(damaged))},
         platform::kImportBadScript,
         "line 6: a dword value"},
        {"a service we do not restore",
         {Write("foreign.reg", Utf16Script(foreign))},
         platform::kImportBadScript,
         "Services\\Spooler\" is not one of the services"},
        {"a key outside the services",
         {Write("elsewhere.reg", Utf16Script(elsewhere))},
         platform::kImportBadScript,
         "HKEY_CURRENT_USER\\Software\\Run\" is not one of"},
        {"the services key itself",
         {Write("root.reg", Utf16Script(servicesRoot))},
         platform::kImportBadScript,
         "is not one of the services"},
        {"a name that only starts like ours",
         {Write("x.reg", Utf16Script(lookalike))},
         platform::kImportBadScript,
         "AudioSrvX\" is not one of the services"},
        {"UTF-8 text",
         {Write("utf8.reg", {'W', 'i', 'n', '\r', '\n'})},
         platform::kImportBadScript,
         "byte-order mark"},
        {"too large", {Write("huge.reg", huge)}, platform::kImportBadScript, "larger than"},
        {"missing file",
         {dir_.Path() + "/none.reg"},
         platform::kImportBadScript,
         "No such file or directory"},
        {"a folder", {dir_.Path() + "/a folder"}, platform::kImportBadScript, "not a regular file"},
        {"no argument", {}, platform::kImportUsage, "usage: tonemender-regimport SCRIPT"},
        {"an empty argument", {""}, platform::kImportUsage, "usage"},
        {"two arguments",
         {"/s", Write("ok.reg", Utf16Script(ThreeServices()))},
         platform::kImportUsage,
         "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImportRun run = Import(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_THAT(run.messages, HasSubstr(c.message));
        EXPECT_THAT(run.restored, IsEmpty());
        if (c.exitCode == platform::kImportBadScript) {
            EXPECT_THAT(run.messages, HasSubstr("nothing changed"));
        }
    }
}

TEST_F(RegistryImportTest, RefusedRestoreIsAFailure) {
    ImportRun run = Import({Write("audio.reg", Utf16Script(ThreeServices()))},
                           {false, "the user manager refused"});
    EXPECT_EQ(run.exitCode, platform::kImportRestoreFailed);
    EXPECT_THAT(run.messages, HasSubstr("AudioSrv: the user manager refused"));
}

} // namespace
