#pragma once
// The device and driver check's own data and steps: the record the device-diagnosis library
// reports, the engine's copy of it, and the matching of the collected devices against the
// library's driver query. Free functions over the engine's fields, so the engine calls them
// with its `Devices`, `NextDevice` and `ScanResult.Drivers`.

#include "platform/Win32Types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One device as the library hands it to the callback, valid only during that call. The layout
// is the library's (tmaudiomanager/tmaudiomanager.h): two pointers to zero-terminated UTF-16
// text, then two unsigned 32-bit numbers.
struct DeviceRecord {
    const char16_t* Text;
    const char16_t* HardwareIds;
    DWORD Value;
    DWORD Flags;
};
static_assert(offsetof(DeviceRecord, Text) == 0);
static_assert(offsetof(DeviceRecord, HardwareIds) == sizeof(void*));
static_assert(offsetof(DeviceRecord, Value) == 2 * sizeof(void*));
static_assert(offsetof(DeviceRecord, Flags) == 2 * sizeof(void*) + 4);
static_assert(sizeof(DeviceRecord) == 2 * sizeof(void*) + 8);

// The library's entries and the callback, as GetProcAddress's results are cast to.
using DeviceCallbackProc = BOOL (*)(const DeviceRecord* record);
using CheckDeviceProblemProc = BOOL (*)(DeviceCallbackProc callback);
using QueryDeviceHwidsProc = BOOL (*)(const char* query);

// Flags bit 3: the device is left out of the driver matching.
inline constexpr DWORD kDeviceSkipsDriverMatching = 8;

// 500 zero-filled bytes: 249 UTF-16 units and the terminator that always follows them.
using DeviceTextBuffer = std::array<char16_t, 250>;
static_assert(sizeof(DeviceTextBuffer) == 500);
inline constexpr std::size_t kDeviceTextUnits = 249;

// The engine's copy of a record; owns its two buffers.
struct CollectedDevice {
    std::unique_ptr<DeviceTextBuffer> Text;
    std::unique_ptr<DeviceTextBuffer> HardwareIds;
    DWORD Value = 0;
    DWORD Flags = 0;
};

// A driver the library's driver query knows, for one device.
struct INSTALDRIVER {
    std::string HardwareId;
    std::string Detail; // left empty
};

// Releases every record's buffers, empties Devices and sets NextDevice to 1 (the start of a
// device check).
void ReleaseDevices(std::vector<CollectedDevice>& Devices, std::int32_t& NextDevice);

// The callback's work: appends a copy of the record and counts NextDevice on. A text longer
// than 249 units is cut there (the rest is never read); a null text is taken as empty.
void CollectDeviceRecord(std::vector<CollectedDevice>& Devices, std::int32_t& NextDevice,
                         const DeviceRecord& record);

// The ids text turned from UTF-16 into the narrow text the query is built from (UTF-8 here;
// a lone surrogate becomes U+FFFD).
std::string NarrowHardwareIds(std::u16string_view ids);

// Cuts at every "#": the part before the first "#" is taken and the text up to and including
// it dropped, until no "#" is left; the remainder is the last part. So "a#b" gives "a", "b";
// "a#" gives "a", ""; and "" gives one empty part.
std::vector<std::string> SplitHardwareIds(std::string_view ids);

// The table an id is looked up in: the first of "HDAUDIO", "OTHER", "PCI", "USB" it contains
// (letter case counts), else the table chosen before.
std::string ChooseDriverTable(std::string_view id, const std::string& previous);

// "SELECT * FROM " + table + " WHERE hwid = '" + id + "';", the id inserted unchanged.
std::string BuildDriverQuery(std::string_view table, std::string_view id);

// Empties Drivers, then for each record without bit 3 queries its ids in order; the first id
// the query knows becomes the record's entry and ends that record. The chosen table carries
// over from id to id and record to record.
void MatchDrivers(const std::vector<CollectedDevice>& Devices,
                  const std::function<BOOL(const char*)>& queryDeviceHwids,
                  std::vector<INSTALDRIVER>& Drivers);
