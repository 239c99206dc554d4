#pragma once
// The console check's answer: the findings in the report's order, what the scan read, and -
// with --fix - how the repair went as the re-check saw it; written as plain text or as JSON,
// and summed up in the exit code.

#include "CheckFindings.h"

#include <optional>
#include <string>
#include <vector>

struct RepairReport {
    bool Performed = false; // false: nothing was found, so nothing was touched
    TRepairCount Count;
};

struct CheckReport {
    std::vector<Finding> Findings; // highest order key first
    TSCANRESULT Scan;              // what the scan read
    std::optional<RepairReport> Repair;
};

// The configured texts the report is written with.
inline constexpr const char* kWorksFinePath = "form1#frame2#RES#TEXT_MSGBOX_01#text";
inline constexpr const char* kProblemsFoundPath = "form1#frame3#RES#TEXT_VD_00#text";
inline constexpr const char* kAllFixedPath = "form1#frame3#RES#TEXT_MSGBOX_00#text";
inline constexpr const char* kSomeFixedPath = "form1#frame3#RES#TEXT_MSGBOX_01#text";

// kExitNothingFound or kExitProblems.
int CheckExitCode(const CheckReport& Report);

// "Problems found (n)" and each finding, or the works-fine line when there is none.
std::string PlainFindings(const CheckReport& Report, const TextLookup& Texts);
// After a repair: how many were fixed, and the findings that remain.
std::string PlainRepair(const CheckReport& Report, const TextLookup& Texts);
// The whole report as one JSON object.
std::string JsonReport(const CheckReport& Report, const TextLookup& Texts);

// The line the repair's outcome is summed up in (one of the three texts above, filled in).
// Raises FormatError when the configured template does not take the numbers.
std::string RepairSummary(const RepairReport& Repair, const TextLookup& Texts);

// An error as the console check says it on standard error: "tonemender-check: " and the
// message, or with --json the object {"error": message}; ending in a line break either way.
std::string ErrorText(std::string_view Message, bool Json);

// A configured line as the console shows it: the trailing blanks some texts carry cut off.
std::string ConsoleLine(std::string_view Text);
