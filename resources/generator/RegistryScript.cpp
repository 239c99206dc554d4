// The registry script that restores the Windows Audio service and the two services it depends
// on, written in the exact form the registry editor exports (REGEDIT5, UTF-16LE), and its
// packing into the size-prefixed zlib frame the program unpacks.

#include "Products.h"
#include "SecurityDescriptor.h"

#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <zlib.h>

namespace art {
namespace {

constexpr std::string_view kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

Bytes Utf16z(std::string_view text) {
    Bytes out;
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

// Registry text form of a name or string: quoted, with backslashes and quotes escaped.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

class ScriptText {
public:
    ScriptText() : text_("Windows Registry Editor Version 5.00\r\n\r\n") {}

    void Key(std::string_view belowServices) {
        CloseKey();
        text_ += "[" + std::string(kServices) + std::string(belowServices) + "]\r\n";
        open_ = true;
    }
    void String(std::string_view name, std::string_view value) {
        Line(Quoted(name) + "=" + Quoted(value));
    }
    void Dword(std::string_view name, std::uint32_t value) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", value);
        Line(Quoted(name) + "=dword:" + digits);
    }
    void Expandable(std::string_view name, std::string_view value) {
        Hex(name, "hex(2):", Utf16z(value));
    }
    void Multi(std::string_view name, std::initializer_list<std::string_view> values) {
        Bytes data;
        for (std::string_view v : values) {
            const Bytes one = Utf16z(v);
            data.insert(data.end(), one.begin(), one.end());
        }
        data.push_back(0); // the empty string that ends the list
        data.push_back(0);
        Hex(name, "hex(7):", data);
    }
    void Binary(std::string_view name, const Bytes& data) { Hex(name, "hex:", data); }

    Bytes Utf16WithBom() {
        CloseKey();
        Bytes out{0xFF, 0xFE};
        for (char c : text_) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(0);
        }
        return out;
    }

private:
    void Line(const std::string& line) { text_ += line + "\r\n"; }
    void CloseKey() {
        if (open_) {
            text_ += "\r\n";
            open_ = false;
        }
    }

    // Comma-separated bytes, wrapped as the registry editor wraps them: once a line reaches
    // 77 characters it ends in a backslash and goes on, indented by two blanks.
    void Hex(std::string_view name, std::string_view tag, const Bytes& data) {
        std::string line = Quoted(name) + "=" + std::string(tag);
        std::size_t length = line.size();
        for (std::size_t i = 0; i < data.size(); ++i) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", data[i]);
            line += digits;
            if (i + 1 == data.size()) {
                break;
            }
            line += ',';
            length += 3;
            if (length >= 77) {
                line += "\\\r\n  ";
                length = 2;
            }
        }
        Line(line);
    }

    std::string text_;
    bool open_ = false;
};

// SERVICE_FAILURE_ACTIONS as the service manager keeps it in the registry: the pointers become
// offsets into the record (0 for "none"), and the single action follows the header.
Bytes RebootAfterAMinute() {
    Bytes out;
    const std::uint32_t fields[] = {0,      // reset period
                                    0,      // reboot message: none
                                    0,      // command: none
                                    1,      // one action
                                    20,     // the actions start right after these five fields
                                    2,      // SC_ACTION_REBOOT
                                    60000}; // after 60 s
    for (std::uint32_t f : fields) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(f >> (8 * i)));
        }
    }
    return out;
}

} // namespace

Bytes MakeAudioServiceScript() {
    ScriptText s;
    s.Key("AudioSrv");
    s.Multi("DependOnService", {"PlugPlay", "RpcSs"});
    s.String("Description",
             "Manages audio devices for Windows-based programs. If this service is stopped, "
             "audio devices and effects will not function properly. If this service is "
             "disabled, any services that explicitly depend on it will fail to start.");
    s.String("DisplayName", "Windows Audio");
    s.Dword("ErrorControl", 1);
    s.String("Group", "AudioGroup");
    s.Expandable("ImagePath", "%SystemRoot%\\System32\\svchost.exe -k netsvcs");
    s.String("ObjectName", "LocalSystem");
    s.Dword("Start", 2);
    s.Dword("Type", 0x20);
    s.Key("AudioSrv\\Parameters");
    s.Expandable("ServiceDll", "%SystemRoot%\\System32\\audiosrv.dll");
    s.Dword("ServiceDllUnloadOnStop", 1);
    s.Key("AudioSrv\\Enum");
    s.String("0", "Root\\LEGACY_AUDIOSRV\\0000");
    s.Dword("Count", 1);
    s.Dword("NextInstance", 1);

    s.Key("PlugPlay");
    s.String("Description",
             "Enables a computer to recognize and adapt to hardware changes with little or no "
             "user input. Stopping or disabling this service will result in system instability.");
    s.String("DisplayName", "Plug and Play");
    s.Dword("ErrorControl", 1);
    s.String("Group", "PlugPlay");
    s.Expandable("ImagePath", "%SystemRoot%\\system32\\services.exe");
    s.String("ObjectName", "LocalSystem");
    s.Dword("PlugPlayServiceType", 3);
    s.Dword("Start", 2);
    s.Dword("Type", 0x20);
    s.Key("PlugPlay\\Security");
    s.Binary("Security", PlugPlaySecurity());

    s.Key("RpcSs");
    s.String("Description", "Provides the endpoint mapper and other miscellaneous RPC services.");
    s.String("DisplayName", "Remote Procedure Call (RPC)");
    s.Dword("ErrorControl", 1);
    s.String("Group", "COM Infrastructure");
    s.Expandable("ImagePath", "%SystemRoot%\\system32\\svchost -k rpcss");
    s.String("ObjectName", "NT Authority\\NetworkService");
    s.Dword("Start", 2);
    s.Dword("Type", 0x20);
    s.Binary("FailureActions", RebootAfterAMinute());
    s.Multi("DependOnService", {"DcomLaunch"});
    s.Key("RpcSs\\Parameters");
    s.Expandable("ServiceDll", "%SystemRoot%\\system32\\rpcss.dll");
    s.Key("RpcSs\\Security");
    s.Binary("Security", RpcSsSecurity());
    s.Key("RpcSs\\Enum");
    s.String("0", "Root\\LEGACY_RPCSS\\0000");
    s.Dword("Count", 1);
    s.Dword("NextInstance", 1);
    return s.Utf16WithBom();
}

Bytes FrameCompressed(const Bytes& data) {
    uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
    Bytes out(4 + packedSize);
    const auto size = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    if (compress2(out.data() + 4, &packedSize, data.data(), static_cast<uLong>(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib compression failed");
    }
    out.resize(4 + packedSize);
    return out;
}

} // namespace art
