#include "BenchDocuments.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

std::string ShippedDocument() {
    const std::string path = std::string(TONEMENDER_SOURCE_DIR) + "/resources/CFG_0001.CFG";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ShippedDocumentStrict() {
    std::string text = ShippedDocument();
    const struct {
        const char* at;
        std::size_t after;
    } places[] = {{"tonemender\"\r\n\t\t\t\t\t\"item\"", 11},
                  {"tech support\"\r\n", 13},
                  {"\t\t\t}\r\n\t\t\t\"DUI\"", 4}};
    for (const auto& place : places) {
        const std::size_t found = text.find(place.at);
        if (found == std::string::npos) {
            throw std::runtime_error("the shipped document changed its comma-less places");
        }
        text.insert(found + place.after, ",");
    }
    return text;
}

std::string GeneratedDocument(std::size_t minimumSize) {
    static const char* const words[] = {
        "audio", "device", "volume", "mute",   "service", "driver", "speaker",     "line",
        "mixer", "sound",  "check",  "repair", "status",  "report", "caf\xC3\xA9", "\xE2\x82\xAC"};
    std::mt19937 random(1902);
    auto word = [&] { return std::string(words[random() % 16]); };
    std::string out = "[\n";
    for (int record = 0; out.size() < minimumSize; ++record) {
        if (record > 0) {
            out += ",\n";
        }
        out += "  {\"id\": " + std::to_string(record);
        out +=
            ", \"name\": \"" + word() + " " + word() + " " + std::to_string(random() % 1000) + "\"";
        out += ", \"description\": \"The " + word() + " of the " + word() +
               " is \\\"ok\\\",\\n see \\u00e9 and \\\\ here\"";
        out += ", \"price\": " + std::to_string(random() % 100000) + "." +
               std::to_string(random() % 100);
        out += ", \"ratio\": " + std::to_string(static_cast<int>(random() % 2000) - 1000) +
               ".25e-" + std::to_string(random() % 20);
        out += ", \"active\": ";
        out += (random() % 2) ? "true" : "false";
        out += ", \"note\": null";
        out += ", \"tags\": [\"" + word() + "\", \"" + word() + "\", \"" + word() + "\"]";
        out += ", \"levels\": [" + std::to_string(random() % 65536) + ", " +
               std::to_string(random() % 65536) + ", -1]";
        out += ", \"owner\": {\"first\": \"" + word() + "\", \"last\": \"" + word() +
               "\", \"mail\": \"" + word() +
               "@example.org\", \"age\": " + std::to_string(18 + random() % 60) + "}}";
    }
    out += "\n]\n";
    return out;
}

std::string BackslashString(std::size_t size) {
    static const char* const escapes[] = {"\\\\", "\\n", "\\\"", "\\t", "\\/", "\\'"};
    std::string out = "\"";
    for (std::size_t i = 0; out.size() + 2 < size; ++i) {
        out += escapes[i % 6];
    }
    out += "\"";
    return out;
}
