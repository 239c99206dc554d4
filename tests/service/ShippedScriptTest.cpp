// The registry script the program ships (resources/AUDIOSRV_5X.ZIP), unpacked with zlib and
// read by the importer's parser: every key and value of the audio service definition, and the
// importer restoring the audio service from it.
#include "ScriptWriting.h"
#include "platform/RegistryImport.h"
#include "platform/RegistryScript.h"
#include "platform/testing/ScriptedServices.h"
#include "support/Command.h"

#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <zlib.h>

namespace {

using platform::RegistryType;
using testing::ElementsAre;

std::vector<BYTE> ReadShipped() {
    const char* source = std::getenv("TONEMENDER_SOURCE_DIR");
    std::ifstream in(std::string(source != nullptr ? source : ".") + "/resources/AUDIOSRV_5X.ZIP",
                     std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

// The 4-byte little-endian size, then one zlib stream of exactly that many bytes.
std::optional<std::vector<BYTE>> Unpack(const std::vector<BYTE>& packed) {
    if (packed.size() < 4) {
        return std::nullopt;
    }
    uLongf size =
        packed[0] | packed[1] << 8 | packed[2] << 16 | static_cast<uLongf>(packed[3]) << 24;
    std::vector<BYTE> text(size);
    uLongf produced = size;
    uLong consumed = packed.size() - 4;
    if (uncompress2(text.data(), &produced, packed.data() + 4, &consumed) != Z_OK ||
        produced != size || consumed != packed.size() - 4) {
        return std::nullopt;
    }
    return text;
}

struct Expected {
    const char* key; // below ...\Services
    const char* name;
    RegistryType type;
    const char* text;     // strings
    std::uint64_t number; // dwords
    std::size_t bytes;    // binary values: their length
};

constexpr auto S = RegistryType::String;
constexpr auto X = RegistryType::ExpandString;
constexpr auto D = RegistryType::Dword;
constexpr auto B = RegistryType::Binary;
constexpr auto M = RegistryType::MultiString;

const Expected kValues[] = {
    {"AudioSrv", "DependOnService", M, "PlugPlay|RpcSs", 0, 0},
    {"AudioSrv", "Description", S,
     "Manages audio devices for Windows-based programs. If this service is stopped, audio "
     "devices and effects will not function properly. If this service is disabled, any services "
     "that explicitly depend on it will fail to start.",
     0, 0},
    {"AudioSrv", "DisplayName", S, "Windows Audio", 0, 0},
    {"AudioSrv", "ErrorControl", D, nullptr, 1, 0},
    {"AudioSrv", "Group", S, "AudioGroup", 0, 0},
    {"AudioSrv", "ImagePath", X, "%SystemRoot%\\System32\\svchost.exe -k netsvcs", 0, 0},
    {"AudioSrv", "ObjectName", S, "LocalSystem", 0, 0},
    {"AudioSrv", "Start", D, nullptr, 2, 0},
    {"AudioSrv", "Type", D, nullptr, 0x20, 0},
    {"AudioSrv\\Parameters", "ServiceDll", X, "%SystemRoot%\\System32\\audiosrv.dll", 0, 0},
    {"AudioSrv\\Parameters", "ServiceDllUnloadOnStop", D, nullptr, 1, 0},
    {"AudioSrv\\Enum", "0", S, "Root\\LEGACY_AUDIOSRV\\0000", 0, 0},
    {"AudioSrv\\Enum", "Count", D, nullptr, 1, 0},
    {"AudioSrv\\Enum", "NextInstance", D, nullptr, 1, 0},
    {"PlugPlay", "Description", S,
     "Enables a computer to recognize and adapt to hardware changes with little or no user "
     "input. Stopping or disabling this service will result in system instability.",
     0, 0},
    {"PlugPlay", "DisplayName", S, "Plug and Play", 0, 0},
    {"PlugPlay", "ErrorControl", D, nullptr, 1, 0},
    {"PlugPlay", "Group", S, "PlugPlay", 0, 0},
    {"PlugPlay", "ImagePath", X, "%SystemRoot%\\system32\\services.exe", 0, 0},
    {"PlugPlay", "ObjectName", S, "LocalSystem", 0, 0},
    {"PlugPlay", "PlugPlayServiceType", D, nullptr, 3, 0},
    {"PlugPlay", "Start", D, nullptr, 2, 0},
    {"PlugPlay", "Type", D, nullptr, 0x20, 0},
    {"PlugPlay\\Security", "Security", B, nullptr, 0, 168},
    {"RpcSs", "Description", S,
     "Provides the endpoint mapper and other miscellaneous RPC services.", 0, 0},
    {"RpcSs", "DisplayName", S, "Remote Procedure Call (RPC)", 0, 0},
    {"RpcSs", "ErrorControl", D, nullptr, 1, 0},
    {"RpcSs", "Group", S, "COM Infrastructure", 0, 0},
    {"RpcSs", "ImagePath", X, "%SystemRoot%\\system32\\svchost -k rpcss", 0, 0},
    {"RpcSs", "ObjectName", S, "NT Authority\\NetworkService", 0, 0},
    {"RpcSs", "Start", D, nullptr, 2, 0},
    {"RpcSs", "Type", D, nullptr, 0x20, 0},
    {"RpcSs", "FailureActions", B, nullptr, 0, 28},
    {"RpcSs", "DependOnService", M, "DcomLaunch", 0, 0},
    {"RpcSs\\Parameters", "ServiceDll", X, "%SystemRoot%\\system32\\rpcss.dll", 0, 0},
    {"RpcSs\\Security", "Security", B, nullptr, 0, 192},
    {"RpcSs\\Enum", "0", S, "Root\\LEGACY_RPCSS\\0000", 0, 0},
    {"RpcSs\\Enum", "Count", D, nullptr, 1, 0},
    {"RpcSs\\Enum", "NextInstance", D, nullptr, 1, 0},
};

std::uint32_t Le32(const std::vector<BYTE>& data, std::size_t at) {
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
           static_cast<std::uint32_t>(data[at + 3]) << 24;
}

TEST(ShippedScript, ParsesIntoEveryKeyAndValueOfTheAudioServiceDefinition) {
    std::optional<std::vector<BYTE>> text = Unpack(ReadShipped());
    ASSERT_TRUE(text) << "resources/AUDIOSRV_5X.ZIP does not unpack";
    std::string error;
    std::optional<platform::RegistryScript> script = platform::ParseRegistryScript(*text, &error);
    ASSERT_TRUE(script) << error;

    std::vector<std::pair<std::string, const platform::RegistryValue*>> values;
    for (const platform::RegistryKey& key : script->keys) {
        const std::string prefix = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
        ASSERT_EQ(key.path.rfind(prefix, 0), 0u) << key.path;
        for (const platform::RegistryValue& value : key.values) {
            values.emplace_back(key.path.substr(prefix.size()), &value);
        }
    }
    ASSERT_EQ(values.size(), std::size(kValues));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Expected& want = kValues[i];
        const auto& [key, value] = values[i];
        SCOPED_TRACE(std::string(want.key) + " " + want.name);
        EXPECT_EQ(key, want.key);
        EXPECT_EQ(value->name, want.name);
        EXPECT_EQ(value->type, want.type);
        switch (want.type) {
        case RegistryType::String:
        case RegistryType::ExpandString:
            EXPECT_EQ(value->text, want.text);
            break;
        case RegistryType::MultiString: {
            std::string joined;
            for (const std::string& s : value->strings) {
                joined += (joined.empty() ? "" : "|") + s;
            }
            EXPECT_EQ(joined, want.text);
            break;
        }
        case RegistryType::Dword:
            EXPECT_EQ(value->number, want.number);
            break;
        default:
            EXPECT_EQ(value->data.size(), want.bytes);
        }
    }
}

TEST(ShippedScript, BinaryValuesHoldWhatTheServiceManagerReads) {
    std::optional<std::vector<BYTE>> text = Unpack(ReadShipped());
    ASSERT_TRUE(text);
    std::optional<platform::RegistryScript> script = platform::ParseRegistryScript(*text, nullptr);
    ASSERT_TRUE(script);
    for (const platform::RegistryKey& key : script->keys) {
        for (const platform::RegistryValue& value : key.values) {
            if (value.name == "Security") {
                SCOPED_TRACE(key.path);
                // A self-relative security descriptor: revision 1, SE_SELF_RELATIVE set.
                EXPECT_EQ(value.data[0], 1);
                EXPECT_NE(value.data[3] & 0x80, 0);
            }
            if (value.name == "FailureActions") {
                // Reset period 0, no reboot message, no command, one action: reboot after
                // a minute.
                EXPECT_EQ(Le32(value.data, 0), 0u);
                EXPECT_EQ(Le32(value.data, 4), 0u);
                EXPECT_EQ(Le32(value.data, 8), 0u);
                EXPECT_EQ(Le32(value.data, 12), 1u);
                EXPECT_EQ(Le32(value.data, 20), 2u);
                EXPECT_EQ(Le32(value.data, 24), 60000u);
            }
        }
    }
}

TEST(ShippedScript, ImporterRestoresTheAudioServiceFromIt) {
    std::optional<std::vector<BYTE>> text = Unpack(ReadShipped());
    ASSERT_TRUE(text);
    testing_support::ScratchDir dir("tm-shipped");
    std::string path = dir.Path() + "/~qvA1B2.tmp";
    service_tests::WriteBytes(path, *text);

    platform::ScriptedServices services;
    std::ostringstream messages;
    EXPECT_EQ(platform::RunRegistryImport({path}, services, messages), platform::kImportDone)
        << messages.str();
    EXPECT_THAT(services.Restored(), ElementsAre("AudioSrv"));
}

} // namespace
