// The registry script the program ships (resources/AUDIOSRV_5X.ZIP), unpacked with zlib: the
// importer accepts all of it, finds the services it names and restores the audio service from
// it. (Its values, key by key, are the artwork tests' concern.)
#include "ScriptWriting.h"
#include "platform/RegistryImport.h"
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

TEST(ShippedScript, NamesTheAudioServiceAndTheTwoItDependsOn) {
    std::optional<std::vector<BYTE>> text = Unpack(ReadShipped());
    ASSERT_TRUE(text) << "resources/AUDIOSRV_5X.ZIP does not unpack";
    std::string error;
    std::optional<platform::RegistryScript> script = platform::ParseRegistryScript(*text, &error);
    ASSERT_TRUE(script) << error;
    std::optional<std::vector<std::string>> named = platform::ServicesNamedBy(*script, &error);
    ASSERT_TRUE(named) << error;
    EXPECT_THAT(*named, ElementsAre("AudioSrv", "PlugPlay", "RpcSs"));
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
