#pragma once
// The configuration document as shipped, read from the source tree.

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

inline std::string ShippedDocumentText() {
    const char* source = std::getenv("TONEMENDER_SOURCE_DIR");
    if (source == nullptr) {
        throw std::runtime_error("TONEMENDER_SOURCE_DIR is not set");
    }
    const std::string path = std::string(source) + "/resources/CFG_0001.CFG";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
