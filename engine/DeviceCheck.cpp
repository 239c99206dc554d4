#include "engine/DeviceCheck.h"

#include "config/SplitText.h"
#include "config/TextConvert.h"

namespace {

std::unique_ptr<DeviceTextBuffer> CopyText(const char16_t* text) {
    auto buffer = std::make_unique<DeviceTextBuffer>(); // value-initialised: all zero
    if (text != nullptr) {
        for (std::size_t i = 0; i < kDeviceTextUnits && text[i] != u'\0'; ++i) {
            (*buffer)[i] = text[i];
        }
    }
    return buffer;
}

} // namespace

void ReleaseDevices(std::vector<CollectedDevice>& Devices, std::int32_t& NextDevice) {
    Devices.clear();
    NextDevice = 1;
}

void CollectDeviceRecord(std::vector<CollectedDevice>& Devices, std::int32_t& NextDevice,
                         const DeviceRecord& record) {
    CollectedDevice copy;
    copy.Text = CopyText(record.Text);
    copy.HardwareIds = CopyText(record.HardwareIds);
    copy.Value = record.Value;
    copy.Flags = record.Flags;
    Devices.push_back(std::move(copy));
    ++NextDevice;
}

std::string NarrowHardwareIds(std::u16string_view ids) {
    return WideToNarrow(ids);
}

std::vector<std::string> SplitHardwareIds(std::string_view ids) {
    std::vector<std::string> parts;
    SplitText(ids, '#', parts);
    return parts;
}

std::string ChooseDriverTable(std::string_view id, const std::string& previous) {
    static constexpr std::string_view kTables[] = {"HDAUDIO", "OTHER", "PCI", "USB"};
    for (std::string_view table : kTables) {
        if (id.find(table) != std::string_view::npos) {
            return std::string(table);
        }
    }
    return previous;
}

std::string BuildDriverQuery(std::string_view table, std::string_view id) {
    std::string query = "SELECT * FROM ";
    query += table;
    query += " WHERE hwid = '";
    query += id;
    query += "';";
    return query;
}

void MatchDrivers(const std::vector<CollectedDevice>& Devices,
                  const std::function<BOOL(const char*)>& queryDeviceHwids,
                  std::vector<INSTALDRIVER>& Drivers) {
    Drivers.clear();
    std::string table;
    for (const CollectedDevice& device : Devices) {
        if ((device.Flags & kDeviceSkipsDriverMatching) != 0) {
            continue;
        }
        const std::u16string_view ids =
            device.HardwareIds ? std::u16string_view(device.HardwareIds->data()) : u"";
        for (const std::string& id : SplitHardwareIds(NarrowHardwareIds(ids))) {
            table = ChooseDriverTable(id, table);
            if (queryDeviceHwids(BuildDriverQuery(table, id).c_str()) != 0) {
                Drivers.push_back(INSTALDRIVER{id, {}});
                break;
            }
        }
    }
}
