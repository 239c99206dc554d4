#pragma once
// A small writer of indented JSON, for the console check's --json output. Strings are taken as
// UTF-8; whatever is not (a stray byte, an overlong form, a surrogate) is written as U+FFFD, so
// the output is always valid JSON in valid UTF-8, whatever a device or a document handed us.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The JSON string literal for text, quotes included.
std::string JsonQuote(std::string_view Text);

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // Inside an object: the next member's name; its value follows. Misuse (a name in an array,
    // a bracket that closes the wrong thing, a second top-level value) throws logic_error.
    JsonWriter& Key(std::string_view Name);
    JsonWriter& String(std::string_view Text);
    JsonWriter& Number(std::int64_t Value);
    JsonWriter& Bool(bool Value);
    JsonWriter& Null();

    // The document so far, ending in a line break once the outermost value is closed.
    const std::string& Text() const { return out_; }

private:
    struct Level {
        char Closer;       // '}' or ']'
        bool Empty = true; // nothing written into it yet
    };

    void BeforeValue();
    void Open(char opener, char closer);
    void Close(char closer);
    void NewLine();

    std::string out_;
    std::vector<Level> open_;
    bool afterKey_ = false;
};
