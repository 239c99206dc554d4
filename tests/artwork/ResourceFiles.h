#pragma once
// Reading the committed resource files from the source tree.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace artwork_test {

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path ResourceFolder(); // $TONEMENDER_SOURCE_DIR/resources
Bytes ReadBytes(const std::filesystem::path& file);
Bytes ReadResource(const std::string& fileName); // from ResourceFolder()

std::uint32_t Le32(const Bytes& b, std::size_t at);
std::uint16_t Le16(const Bytes& b, std::size_t at);

} // namespace artwork_test
