#pragma once
// What the console check makes of a scan: the status line of each check as it starts, and the
// problems found - gathered from the result notifications with the window's own catalogue, put
// in the report's order and given their configured texts.

#include "engine/ProblemCatalogue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A configured text by its path ("form1#frame2#RES#SCAN_STATUS_01#text").
using TextLookup = std::function<std::string(std::string_view Path)>;

// The status line of one check run again after a repair (CheckSound, CheckMixer, CheckService
// or CheckDeviceStatus).
const char* StatusPathOfCheck(TCheckSet Check);
// The line after the last check of a scan.
inline constexpr const char* kScanCompletePath = "form1#frame2#RES#SCAN_STATUS_06#text";

// Collects what a scan finds, notification by notification, as the window does.
class FindingCollector {
public:
    void Clear() { found_.clear(); }
    void Add(DWORD Code, const TSCANRESULT& Result);
    // Each problem once, highest order key first.
    std::vector<const TProblemEntry*> InReportOrder() const;

private:
    std::vector<const TProblemEntry*> found_;
};

struct Finding {
    const TProblemEntry* Problem = nullptr;
    std::string Title;
    std::string Description;
    std::string Status;
    std::string Outcome;
    std::optional<bool> Fixed; // known once a repair has been checked
};

Finding DescribeFinding(const TProblemEntry& Problem, const TextLookup& Texts);

std::vector<std::int32_t> OrderKeysOf(std::span<const Finding> Findings);

// The entry's own name, the last part of its configuration path ("TEXT_VD_05").
std::string_view EntryName(const TProblemEntry& Problem);
