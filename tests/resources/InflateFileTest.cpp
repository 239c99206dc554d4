// Unpacking size-prefixed zlib streams: exact output for a whole stream, the inflate error and
// nothing written for every damaged form.

#include "TestFiles.h"
#include "config/Errors.h"
#include "graphics/OEUnitResource.h"
#include "support/Command.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {

using resources_test::Present;
using resources_test::ReadBytes;
using resources_test::ReadText;
using resources_test::WriteBytes;
using resources_test::WriteText;
using Bytes = std::vector<unsigned char>;

Bytes SizePrefix(std::uint32_t size) {
    return {static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
            static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
}

Bytes Compress(const Bytes& plain) {
    uLongf length = compressBound(plain.size());
    Bytes out(length);
    EXPECT_EQ(compress2(out.data(), &length, plain.data(), plain.size(), Z_BEST_COMPRESSION), Z_OK);
    out.resize(length);
    return out;
}

Bytes Framed(std::uint32_t announced, const Bytes& stream) {
    Bytes framed = SizePrefix(announced);
    framed.insert(framed.end(), stream.begin(), stream.end());
    return framed;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Incompressible(std::size_t size) {
    std::mt19937 random(7);
    Bytes bytes(size);
    for (unsigned char& b : bytes) {
        b = static_cast<unsigned char>(random());
    }
    return bytes;
}

class Inflate : public ::testing::Test {
protected:
    testing_support::ScratchDir scratch{"tm-inflate"};
    std::string source = scratch.Path() + "/source.zip";
    std::string target = scratch.Path() + "/target";
};

TEST_F(Inflate, WholeStreamsGiveExactlyTheAnnouncedBytes) {
    const Bytes cases[] = {
        Bytes{}, Text("Windows Registry Editor Version 5.00\r\n\r\n"),
        Incompressible(300000), // several 64 KiB input chunks
    };
    for (const Bytes& plain : cases) {
        SCOPED_TRACE(plain.size());
        WriteBytes(source, Framed(static_cast<std::uint32_t>(plain.size()), Compress(plain)));
        WriteText(target, "something longer that was there before and must be replaced");
        InflateFile(source, target);
        EXPECT_EQ(ReadBytes(target), plain);
    }
}

TEST_F(Inflate, DamagedStreamsRaiseErrorAndWriteNothing) {
    const Bytes plain = Text(std::string(5000, 'a') + "the end");
    const Bytes stream = Compress(plain);
    const auto size = static_cast<std::uint32_t>(plain.size());
    Bytes badCheck = stream;
    badCheck.back() ^= 0x01;
    Bytes badData = stream;
    badData[4] ^= 0xFF;

    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"empty source", {}},
        {"shorter than the size field", {0x10, 0x00, 0x00}},
        {"size field only", SizePrefix(10)},
        {"announced size beyond 64 MiB", Framed(64u * 1024 * 1024 + 1, stream)},
        {"announced size of 4 GiB - 1", Framed(0xFFFFFFFFu, stream)},
        {"stream cut in the middle", Framed(size, Bytes(stream.begin(), stream.begin() + 20))},
        {"stream without its check", Framed(size, Bytes(stream.begin(), stream.end() - 4))},
        {"stream ends before the announced size", Framed(size + 1, stream)},
        {"stream goes on past the announced size", Framed(size - 1, stream)},
        {"stream with a wrong check", Framed(size, badCheck)},
        {"damaged deflate data", Framed(size, badData)},
        {"not a zlib stream", Framed(4, Text("PK\x03\x04 not zlib"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(source, c.file);
        WriteText(target, "untouched");
        try {
            InflateFile(source, target);
            ADD_FAILURE() << "no error";
        } catch (const InflateError& error) {
            EXPECT_STREQ(error.what(), "Error");
        }
        EXPECT_EQ(ReadText(target), "untouched");
    }
}

TEST_F(Inflate, AMissingSourceIsAFileErrorNotAnInflateError) {
    try {
        InflateFile(scratch.Path() + "/missing", target);
        ADD_FAILURE() << "no error";
    } catch (const InflateError&) {
        ADD_FAILURE() << "reported as an inflate error";
    } catch (const ProgramError& error) {
        EXPECT_NE(std::string(error.what()).find("missing"), std::string::npos);
    }
    EXPECT_FALSE(Present(target));
}

TEST_F(Inflate, APlantedLinkAtTheTargetIsNotFollowed) {
    std::string victim = scratch.Path() + "/victim";
    WriteText(victim, "keep me");
    std::filesystem::create_symlink(victim, target);
    WriteBytes(source, Framed(3, Compress(Text("abc"))));
    EXPECT_THROW(InflateFile(source, target), FileCreateError);
    EXPECT_EQ(ReadText(victim), "keep me");
}

} // namespace
