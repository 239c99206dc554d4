// Unpacking a "ZIP" resource: a 4-byte little-endian size, then a zlib stream of exactly that
// many bytes. A script that is cut short or padded must never be handed on as if it were
// whole, so anything but an exact match is the inflate error, and nothing is written then.

#include "config/Errors.h"
#include "graphics/OEUnitResource.h"
#include "platform/TempFiles.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>
#include <zlib.h>

namespace {

constexpr std::size_t kChunk = 65536;

std::vector<unsigned char> ReadWholeFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        throw ProgramError("Cannot open file \"" + fileName + "\"");
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw ProgramError("Cannot read file \"" + fileName + "\"");
    }
    return bytes;
}

class Inflater {
public:
    Inflater() {
        if (inflateInit(&stream_) != Z_OK) {
            throw InflateError();
        }
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream* operator->() { return &stream_; }
    z_stream* get() { return &stream_; }

private:
    z_stream stream_{};
};

} // namespace

std::vector<unsigned char> InflateSizedStream(const std::vector<unsigned char>& source) {
    if (source.size() < 4) {
        throw InflateError();
    }
    std::uint32_t announced =
        static_cast<std::uint32_t>(source[0]) | static_cast<std::uint32_t>(source[1]) << 8 |
        static_cast<std::uint32_t>(source[2]) << 16 | static_cast<std::uint32_t>(source[3]) << 24;
    if (announced > kMaxInflatedSize) {
        throw InflateError();
    }
    std::vector<unsigned char> output(announced);

    Inflater inflater;
    // One spare byte past the buffer tells a stream that ends exactly at the announced size
    // from one that goes on.
    unsigned char spare = 0;
    inflater->next_out = output.data();
    inflater->avail_out = announced;
    std::size_t offset = 4;
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        if (inflater->avail_in == 0) {
            if (offset == source.size()) {
                throw InflateError(); // the stream ends before its end marker and check
            }
            std::size_t take = std::min(kChunk, source.size() - offset);
            inflater->next_in = const_cast<unsigned char*>(source.data() + offset);
            inflater->avail_in = static_cast<uInt>(take);
            offset += take;
        }
        if (inflater->avail_out == 0) {
            if (inflater->next_out == &spare + 1) {
                throw InflateError(); // more data than announced
            }
            inflater->next_out = &spare;
            inflater->avail_out = 1;
        }
        result = inflate(inflater.get(), Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            throw InflateError();
        }
    }
    if (inflater->total_out != announced) {
        throw InflateError();
    }
    return output;
}

void InflateFile(const std::string& source, const std::string& target) {
    std::vector<unsigned char> output = InflateSizedStream(ReadWholeFile(source));
    if (!platform::ReplaceFile(target, output.data(), output.size())) {
        throw FileCreateError(target);
    }
}
