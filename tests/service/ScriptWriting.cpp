#include "ScriptWriting.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace service_tests {

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

namespace {

void PutUtf16(std::vector<BYTE>& out, const std::string& utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += 1 + extra;
        auto put = [&](unsigned unit) {
            out.push_back(static_cast<BYTE>(unit & 0xFF));
            out.push_back(static_cast<BYTE>(unit >> 8));
        };
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
}

} // namespace

std::vector<BYTE> Utf16Script(const std::string& utf8) {
    std::vector<BYTE> bytes{0xFF, 0xFE};
    PutUtf16(bytes, utf8);
    return bytes;
}

std::vector<BYTE> Utf16Z(const std::string& utf8) {
    std::vector<BYTE> bytes;
    PutUtf16(bytes, utf8);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::string HexValueLines(const std::string& quotedName, int type, const std::vector<BYTE>& bytes) {
    char prefix[24] = "hex:";
    if (type >= 0) {
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
    }
    std::string line = quotedName + "=" + prefix;
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        line += pair;
        if (i + 1 < bytes.size()) {
            line += ",";
            if (line.size() > 76) {
                text += line + "\\\r\n";
                line = "  ";
            }
        }
    }
    return text + line;
}

void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace service_tests
