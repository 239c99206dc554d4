#include "ResourceFiles.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace artwork_test {

std::filesystem::path ResourceFolder() {
    const char* source = std::getenv("TONEMENDER_SOURCE_DIR");
    if (source == nullptr || *source == '\0') {
        throw std::runtime_error("TONEMENDER_SOURCE_DIR is not set");
    }
    return std::filesystem::path(source) / "resources";
}

Bytes ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ReadResource(const std::string& fileName) {
    return ReadBytes(ResourceFolder() / fileName);
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    if (at + 4 > b.size()) {
        throw std::out_of_range("32-bit field past the end");
    }
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t Le16(const Bytes& b, std::size_t at) {
    if (at + 2 > b.size()) {
        throw std::out_of_range("16-bit field past the end");
    }
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

} // namespace artwork_test
