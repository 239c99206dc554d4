#include "tmaudiomanager/HardwareIds.h"

#include "config/TextConvert.h"

#include <cstdio>
#include <map>

namespace tmaudiomanager {

namespace {

std::string Hex(std::uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, static_cast<unsigned>(value));
    return buffer;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperText(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = Upper(c);
    }
    return result;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && UpperText(text.substr(0, prefix.size())) == prefix;
}

// "KEY_VALUE&KEY_VALUE..." after the enumerator, keys upper-cased, values checked as hex of one
// of the allowed lengths and upper-cased. Fails on anything it does not know.
std::optional<std::map<std::string, std::string>>
ParseKeyValues(std::string_view text,
               const std::map<std::string, std::vector<std::size_t>>& allowed) {
    std::map<std::string, std::string> result;
    if (text.empty()) {
        return std::nullopt;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view token = text.substr(start, end - start);
        const std::size_t underscore = token.find('_');
        if (underscore == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string key = UpperText(token.substr(0, underscore));
        const std::string_view value = token.substr(underscore + 1);
        const auto lengths = allowed.find(key);
        if (lengths == allowed.end() || result.count(key) != 0) {
            return std::nullopt;
        }
        bool lengthOk = false;
        for (std::size_t length : lengths->second) {
            lengthOk = lengthOk || value.size() == length;
        }
        if (!lengthOk) {
            return std::nullopt;
        }
        for (char c : value) {
            if (HexDigit(c) < 0) {
                return std::nullopt;
            }
        }
        result[key] = UpperText(value);
        start = end + 1;
    }
    return result;
}

std::optional<AliasFields> PciAlias(std::string_view rest) {
    const auto keys = ParseKeyValues(
        rest, {{"VEN", {4}}, {"DEV", {4}}, {"SUBSYS", {8}}, {"REV", {2}}, {"CC", {4, 6}}});
    if (!keys) {
        return std::nullopt;
    }
    AliasFields alias{"pci", {}};
    auto add = [&alias](const char* marker, std::string value) {
        alias.fields.emplace_back(marker, std::move(value));
    };
    if (keys->count("VEN")) {
        add("v", "0000" + keys->at("VEN"));
    }
    if (keys->count("DEV")) {
        add("d", "0000" + keys->at("DEV"));
    }
    if (keys->count("SUBSYS")) {
        // Windows puts the subsystem device first, the subsystem vendor second.
        const std::string& subsys = keys->at("SUBSYS");
        add("sv", "0000" + subsys.substr(4, 4));
        add("sd", "0000" + subsys.substr(0, 4));
    }
    if (keys->count("CC")) {
        const std::string& cc = keys->at("CC");
        add("bc", cc.substr(0, 2));
        add("sc", cc.substr(2, 2));
        if (cc.size() == 6) {
            add("i", cc.substr(4, 2));
        }
    }
    return alias;
}

std::optional<AliasFields> UsbAlias(std::string_view rest) {
    const auto keys = ParseKeyValues(rest, {{"VID", {4}},
                                            {"PID", {4}},
                                            {"REV", {4}},
                                            {"MI", {2}},
                                            {"CLASS", {2}},
                                            {"SUBCLASS", {2}},
                                            {"PROT", {2}}});
    if (!keys) {
        return std::nullopt;
    }
    AliasFields alias{"usb", {}};
    static const std::pair<const char*, const char*> kMarkers[] = {
        {"VID", "v"},        {"PID", "p"},   {"REV", "d"}, {"CLASS", "ic"},
        {"SUBCLASS", "isc"}, {"PROT", "ip"}, {"MI", "in"}};
    for (const auto& [key, marker] : kMarkers) {
        if (keys->count(key)) {
            alias.fields.emplace_back(marker, keys->at(key));
        }
    }
    return alias;
}

std::optional<AliasFields> CodecAlias(std::string_view rest) {
    const auto keys = ParseKeyValues(
        rest, {{"FUNC", {2}}, {"VEN", {4}}, {"DEV", {4}}, {"SUBSYS", {8}}, {"REV", {4}}});
    if (!keys) {
        return std::nullopt;
    }
    AliasFields alias{"hdaudio", {}};
    if (keys->count("VEN") || keys->count("DEV")) {
        const std::string vendor = keys->count("VEN") ? keys->at("VEN") : "????";
        const std::string device = keys->count("DEV") ? keys->at("DEV") : "????";
        alias.fields.emplace_back("v", vendor + device);
    }
    if (keys->count("REV")) {
        // The id keeps bits 23..8 of the revision id; the stepping byte stays unknown.
        alias.fields.emplace_back("r", "00" + keys->at("REV") + "??");
    }
    if (keys->count("FUNC")) {
        // Codecs of either function group are driven through the kernel's HD-audio codec
        // interface, which its drivers register as "a01".
        alias.fields.emplace_back("a", "01");
    }
    return alias;
}

bool PlainModaliasText(std::string_view id) {
    for (char c : id) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x21 || u >= 0x7F || c == '*' || c == '?' || c == '[' || c == ']' || c == '\\' ||
            c == '\'') {
            return false;
        }
    }
    return !id.empty();
}

} // namespace

std::vector<std::string> PciHardwareIds(const PciIdentity& id) {
    const std::string device = "PCI\\VEN_" + Hex(id.vendor, 4) + "&DEV_" + Hex(id.device, 4);
    const std::string cc = "CC_" + Hex(id.classCode & 0xFFFFFF, 6);
    std::vector<std::string> ids;
    if (id.subsystemVendor && id.subsystemDevice) {
        const std::string subsys =
            device + "&SUBSYS_" + Hex(*id.subsystemDevice, 4) + Hex(*id.subsystemVendor, 4);
        if (id.revision) {
            ids.push_back(subsys + "&REV_" + Hex(*id.revision, 2));
        }
        ids.push_back(subsys);
    }
    ids.push_back(device + "&" + cc);
    ids.push_back(device);
    ids.push_back("PCI\\VEN_" + Hex(id.vendor, 4) + "&" + cc);
    ids.push_back("PCI\\" + cc);
    return ids;
}

std::vector<std::string> CodecHardwareIds(const CodecIdentity& id) {
    const std::string function = "HDAUDIO\\FUNC_" + Hex(id.functionGroup, 2);
    const std::string vendor = function + "&VEN_" + Hex(id.vendorId >> 16, 4);
    const std::string device = vendor + "&DEV_" + Hex(id.vendorId & 0xFFFF, 4);
    const std::string revision =
        id.revisionId ? "&REV_" + Hex((*id.revisionId >> 8) & 0xFFFF, 4) : std::string();
    std::vector<std::string> ids;
    if (id.subsystemId) {
        const std::string subsys = device + "&SUBSYS_" + Hex(*id.subsystemId, 8);
        if (id.revisionId) {
            ids.push_back(subsys + revision);
        }
        ids.push_back(subsys);
    }
    if (id.revisionId) {
        ids.push_back(device + revision);
    }
    ids.push_back(device);
    ids.push_back(vendor);
    ids.push_back(function);
    return ids;
}

std::vector<std::string> UsbHardwareIds(const UsbInterfaceIdentity& id) {
    const std::string device = "USB\\VID_" + Hex(id.vendor, 4) + "&PID_" + Hex(id.product, 4);
    std::vector<std::string> ids;
    if (id.interfaceNumber) {
        const std::string mi = "&MI_" + Hex(*id.interfaceNumber, 2);
        if (id.bcdDevice) {
            ids.push_back(device + "&REV_" + Hex(*id.bcdDevice, 4) + mi);
        }
        ids.push_back(device + mi);
    }
    ids.push_back(device);
    const std::string cls = "USB\\Class_" + Hex(id.interfaceClass, 2);
    const std::string sub = cls + "&SubClass_" + Hex(id.interfaceSubClass, 2);
    ids.push_back(sub + "&Prot_" + Hex(id.interfaceProtocol, 2));
    ids.push_back(sub);
    ids.push_back(cls);
    return ids;
}

std::string JoinHardwareIds(const std::vector<std::string>& ids, std::size_t maxChars) {
    std::string joined;
    for (const std::string& id : ids) {
        const std::size_t needed = joined.size() + (joined.empty() ? 0 : 1) + id.size();
        if (needed > maxChars) {
            break;
        }
        if (!joined.empty()) {
            joined += '#';
        }
        joined += id;
    }
    return joined;
}

std::optional<AliasFields> HardwareIdToAlias(std::string_view table, std::string_view id) {
    struct Form {
        std::string_view table;
        std::string_view enumerator;
        std::string_view bus;
        std::optional<AliasFields> (*parse)(std::string_view);
    };
    static constexpr Form kForms[] = {{"PCI", "PCI\\", "pci", PciAlias},
                                      {"USB", "USB\\", "usb", UsbAlias},
                                      {"HDAUDIO", "HDAUDIO\\", "hdaudio", CodecAlias}};
    for (const Form& form : kForms) {
        if (form.table != table) {
            continue;
        }
        if (StartsWithIgnoringCase(id, form.enumerator)) {
            return form.parse(id.substr(form.enumerator.size()));
        }
        if (!PlainModaliasText(id)) {
            return std::nullopt;
        }
        std::optional<AliasFields> alias = SplitModalias(id);
        if (!alias || alias->bus != form.bus) {
            return std::nullopt;
        }
        return alias;
    }
    return std::nullopt;
}

std::optional<std::string> OtherModaliasBus(std::string_view id) {
    const std::size_t colon = id.find(':');
    if (!PlainModaliasText(id) || colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    std::string bus(id.substr(0, colon));
    if (bus == "pci" || bus == "usb" || bus == "hdaudio") {
        return std::nullopt;
    }
    return bus;
}

} // namespace tmaudiomanager
