// What the console check reports: the findings in the report's order with the texts of the
// shipped configuration, the status line of each check, the exit code, and the plain and JSON
// forms of the report, also when a text or a device's name holds something awkward.
#include "CheckReport.h"

#include "CheckFindings.h"
#include "CheckOptions.h"
#include "config/Errors.h"
#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "platform/Services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;

class ShippedTexts : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ConfigerInstance().LoadStream(
            ResourceInstance()->LoadResourceToMemory(nullptr, "CFG_0001", "CFG")));
    }

    TextLookup texts = [](std::string_view path) { return ConfigerInstance().ReadText(path, '#'); };

    // The findings of a scan whose results are delivered in the given order of codes.
    std::vector<Finding> FindingsOf(const TSCANRESULT& result,
                                    std::vector<DWORD> codes = {ScanCode::SoundTestDone,
                                                                ScanCode::MixerCheckDone,
                                                                ScanCode::ServiceCheckDone}) {
        FindingCollector collector;
        for (DWORD code : codes) {
            collector.Add(code, result);
        }
        std::vector<Finding> findings;
        for (const TProblemEntry* problem : collector.InReportOrder()) {
            findings.push_back(DescribeFinding(*problem, texts));
        }
        return findings;
    }
};

// A scan that found nothing: the sound played, both lines loud and unmuted, the service runs.
TSCANRESULT Healthy() {
    TSCANRESULT r;
    r.SoundPlayed = -1;
    r.MixerChecked = -1;
    r.MasterVolume = r.SourceVolume = 40000;
    r.MasterHasMute = r.SourceHasMute = -1;
    r.ServiceInstalled = -1;
    r.ServiceState = SERVICE_RUNNING;
    return r;
}

std::vector<std::string> Rows(const std::vector<Finding>& findings) {
    std::vector<std::string> rows;
    for (const Finding& f : findings) {
        rows.push_back(f.Title + " | " + f.Description + " | " + f.Status + " | " + f.Outcome);
    }
    return rows;
}

const std::string kMissing =
    "One or more audio service is missing | Reinstall required audio services | Detected | "
    "Not Fix";
const std::string kNotRunning = "One or more audio service isn't running | Start required "
                                "audio services | Detected | Not Run";
const std::string kNoSound = "Sound playing not functioning | There might be a problem with "
                             "your audio device | Detected | Not Fix";
const std::string kMuted =
    "Audio device muted | Unmute the audio device to play sound | Detected | Not Fix";
const std::string kLow =
    "Low audio device volume | Increase the audio device volume | Detected | Not Fix";

TEST_F(ShippedTexts, FindingsComeHighestKeyFirstWithTheirConfiguredTexts) {
    const struct {
        const char* name;
        void (*change)(TSCANRESULT&);
        std::vector<std::string> rows;
    } cases[] = {
        {"nothing wrong", [](TSCANRESULT&) {}, {}},
        {"no sound and a stopped service",
         [](TSCANRESULT& r) {
             r.SoundPlayed = 0;
             r.ServiceState = SERVICE_STOPPED;
         },
         {kNotRunning, kNoSound}},
        {"a missing service",
         [](TSCANRESULT& r) { r.ServiceInstalled = 0, r.ServiceState = 0; },
         {kMissing, kNotRunning}},
        {"a muted quiet source",
         [](TSCANRESULT& r) {
             r.SourceMuted = -1;
             r.SourceVolume = 32767;
         },
         {kMuted, kLow}},
        {"half volume is not low", [](TSCANRESULT& r) { r.MasterVolume = 32768; }, {}},
        {"everything",
         [](TSCANRESULT& r) {
             r = TSCANRESULT{};
             r.MixerChecked = -1;
             r.MasterMuted = r.MasterHasMute = -1;
         },
         {kMissing, kNotRunning, kNoSound, kMuted, kLow}},
    };
    for (const auto& c : cases) {
        TSCANRESULT result = Healthy();
        c.change(result);
        EXPECT_EQ(Rows(FindingsOf(result)), c.rows) << c.name;
    }
}

TEST_F(ShippedTexts, TheOrderDoesNotDependOnWhichResultCameFirst) {
    TSCANRESULT result;
    result.MixerChecked = -1;
    result.MasterVolume = 100;
    const std::vector<Finding> findings =
        FindingsOf(result, {ScanCode::MixerCheckDone, ScanCode::ServiceCheckDone,
                            ScanCode::SoundTestDone, ScanCode::ServiceCheckDone});
    EXPECT_THAT(OrderKeysOf(findings), ElementsAre(5, 4, 3, 1)) << "each listed once";
}

TEST_F(ShippedTexts, EveryCheckAsItStartsHasItsConfiguredStatusLine) {
    const struct {
        DWORD code;
        const char* line;
    } cases[] = {
        {ScanCode::ScanStarted, "Start Scan"},
        {ScanCode::SoundTestStarted, "Checking default audio device..."},
        {ScanCode::MixerCheckStarted, "Checking audio device volume..."},
        {ScanCode::ServiceCheckStarted, "Checking audio service status..."},
        {ScanCode::DeviceStatusStarted, "Checking audio device status..."},
        {ScanCode::DeviceCheckStarted, "Checking audio device driver..."},
    };
    for (const auto& c : cases) {
        ASSERT_NE(StatusPathOf(c.code), nullptr) << c.code;
        EXPECT_EQ(ConsoleLine(texts(StatusPathOf(c.code))), c.line) << c.code;
    }
    for (DWORD silent : {ScanCode::ScanEnded, ScanCode::SoundTestDone, ScanCode::MixerCheckDone,
                         ScanCode::ServiceCheckDone, ScanCode::DeviceStatusDone,
                         ScanCode::DeviceCheckDone, DWORD{12}}) {
        EXPECT_EQ(StatusPathOf(silent), nullptr) << silent;
    }
    EXPECT_STREQ(StatusPathOfCheck(CheckSound), StatusPathOf(ScanCode::SoundTestStarted));
    EXPECT_STREQ(StatusPathOfCheck(CheckMixer), StatusPathOf(ScanCode::MixerCheckStarted));
    EXPECT_STREQ(StatusPathOfCheck(CheckService), StatusPathOf(ScanCode::ServiceCheckStarted));
    EXPECT_EQ(texts(kScanCompletePath), "Scan complete");
}

CheckReport ReportOf(std::vector<Finding> findings, std::optional<RepairReport> repair = {}) {
    CheckReport report;
    report.Findings = std::move(findings);
    report.Repair = repair;
    return report;
}

RepairReport Repaired(int listed, int fixed) {
    RepairReport repair;
    repair.Performed = listed > 0;
    repair.Count.Listed = listed;
    repair.Count.Fixed = fixed;
    return repair;
}

TEST_F(ShippedTexts, TheExitCodeSaysWhetherAnythingIsLeft) {
    TSCANRESULT muted = Healthy();
    muted.MasterMuted = -1;
    const std::vector<Finding> one = FindingsOf(muted);
    const struct {
        const char* name;
        CheckReport report;
        int code;
    } cases[] = {
        {"nothing found", ReportOf({}), kExitNothingFound},
        {"something found", ReportOf(one), kExitProblems},
        {"nothing found, nothing to fix", ReportOf({}, Repaired(0, 0)), kExitNothingFound},
        {"all fixed", ReportOf(one, Repaired(1, 1)), kExitNothingFound},
        {"some left", ReportOf(one, Repaired(2, 1)), kExitProblems},
        {"none fixed", ReportOf(one, Repaired(1, 0)), kExitProblems},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckExitCode(c.report), c.code) << c.name;
    }
}

TEST_F(ShippedTexts, PlainReportListsEachFindingUnderTheHeading) {
    TSCANRESULT result = Healthy();
    result.SoundPlayed = 0;
    result.ServiceState = SERVICE_STOPPED;
    EXPECT_EQ(PlainFindings(ReportOf(FindingsOf(result)), texts),
              "Problems found (2)\n"
              "  One or more audio service isn't running\n"
              "    Start required audio services\n"
              "    Detected, Not Run\n"
              "  Sound playing not functioning\n"
              "    There might be a problem with your audio device\n"
              "    Detected, Not Fix\n");
    EXPECT_EQ(PlainFindings(ReportOf({}), texts), "Your computer sound works fine.\n");
}

TEST_F(ShippedTexts, PlainRepairSaysHowManyWereFixedAndListsWhatRemains) {
    TSCANRESULT result = Healthy();
    result.MasterMuted = -1;
    result.MasterVolume = 6553;
    std::vector<Finding> findings = FindingsOf(result);
    ASSERT_EQ(findings.size(), 2u);
    findings[0].Fixed = true;
    findings[1].Fixed = true;
    EXPECT_EQ(PlainRepair(ReportOf(findings, Repaired(2, 2)), texts),
              "Successfully fixed 2 problems.\n");

    findings[1].Fixed = false;
    EXPECT_EQ(PlainRepair(ReportOf(findings, Repaired(2, 1)), texts),
              "Fixed 1 of 2 problems. The remaining ones need your attention.\n"
              "  Low audio device volume\n"
              "    Increase the audio device volume\n"
              "    Detected, Not Fix\n");
    EXPECT_EQ(PlainRepair(ReportOf(findings), texts), "") << "no repair was asked for";
}

TEST_F(ShippedTexts, JsonReportCarriesFindingsScanAndRepair) {
    TSCANRESULT result = Healthy();
    result.MasterMuted = -1;
    result.SourceVolume = -1; // no such control
    result.SourceHasMute = 0;
    result.Drivers.push_back({"HDAUDIO\\FUNC_01&VEN_10EC", ""});
    CheckReport report = ReportOf(FindingsOf(result), Repaired(1, 1));
    report.Scan = result;
    report.Findings[0].Fixed = true;

    const auto json = nlohmann::json::parse(JsonReport(report, texts));
    EXPECT_EQ(json["problems_found"], 1);
    ASSERT_EQ(json["findings"].size(), 1u);
    EXPECT_EQ(json["findings"][0], nlohmann::json::parse(R"({
        "id": "TEXT_VD_05", "order_key": 2, "title": "Audio device muted",
        "description": "Unmute the audio device to play sound", "status": "Detected",
        "outcome": "Not Fix", "fixed": true})"));
    EXPECT_EQ(json["scan"], nlohmann::json::parse(R"({
        "sound_played": true, "mixer_checked": true, "master_volume": 40000,
        "master_muted": true, "source_volume": null, "source_muted": null,
        "service_installed": true, "service_state": 4, "device_status_checked": false,
        "known_drivers": ["HDAUDIO\\FUNC_01&VEN_10EC"]})"));
    EXPECT_EQ(json["repair"], nlohmann::json::parse(R"({
        "performed": true, "listed": 1, "fixed": 1,
        "message": "Successfully fixed 1 problems."})"));
    EXPECT_EQ(json["exit_code"], 0);

    report.Repair.reset();
    report.Findings[0].Fixed.reset();
    const auto plain = nlohmann::json::parse(JsonReport(report, texts));
    EXPECT_FALSE(plain.contains("repair"));
    EXPECT_FALSE(plain["findings"][0].contains("fixed"));
    EXPECT_EQ(plain["exit_code"], 1);
}

TEST_F(ShippedTexts, JsonReportOfAScanWithoutMixerLeavesTheLinesOut) {
    TSCANRESULT result = Healthy();
    result.MixerChecked = 0;
    CheckReport report = ReportOf({});
    report.Scan = result;
    const auto json = nlohmann::json::parse(JsonReport(report, texts));
    EXPECT_EQ(json["scan"]["mixer_checked"], false);
    EXPECT_FALSE(json["scan"].contains("master_volume"));
    EXPECT_TRUE(json["findings"].empty());
}

// Texts come from a document and device names from the machine: neither can break the JSON.
TEST(CheckReportJson, AwkwardTextsStayValidJson) {
    const std::map<std::string, std::string, std::less<>> awkward = {
        {"form1#frame3#RES#TEXT_VD_05#text", "Muted \"really\"\n\ttwice \\ over"},
        {"form1#frame3#RES#TEXT_VD_05#desc", "caf\xe9 \x01"},
        {"form1#frame3#RES#TEXT_VD_01#text", "</script>"},
        {"form1#frame3#RES#TEXT_VD_02#text", ""},
    };
    TextLookup texts = [&](std::string_view path) {
        auto it = awkward.find(path);
        return it == awkward.end() ? std::string() : it->second;
    };
    CheckReport report;
    report.Findings.push_back(DescribeFinding(*ProblemByOrderKey(2), texts));
    report.Scan.Drivers.push_back({"PCI\\VEN_8086\"\n\xff", ""});

    nlohmann::json json;
    ASSERT_NO_THROW(json = nlohmann::json::parse(JsonReport(report, texts)));
    EXPECT_EQ(json["findings"][0]["title"], "Muted \"really\"\n\ttwice \\ over");
    EXPECT_EQ(json["findings"][0]["description"], "caf\xef\xbf\xbd \x01");
    EXPECT_EQ(json["findings"][0]["status"], "</script>");
    EXPECT_EQ(json["findings"][0]["outcome"], "");
    EXPECT_EQ(json["scan"]["known_drivers"][0], "PCI\\VEN_8086\"\n\xef\xbf\xbd");
}

TEST(CheckReportTexts, ErrorsArePlainLinesOrWithJsonAJsonObject) {
    const struct {
        const char* message;
        const char* plain;
    } cases[] = {
        {"interrupted", "tonemender-check: interrupted\n"},
        {"unknown option '--x\"y'", "tonemender-check: unknown option '--x\"y'\n"},
        {"cannot write the report: No space left on device",
         "tonemender-check: cannot write the report: No space left on device\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorText(c.message, false), c.plain);
        const std::string json = ErrorText(c.message, true);
        EXPECT_EQ(json.back(), '\n');
        nlohmann::json parsed;
        ASSERT_NO_THROW(parsed = nlohmann::json::parse(json)) << json;
        EXPECT_EQ(parsed, nlohmann::json({{"error", c.message}})) << json;
    }
}

TEST(CheckReportTexts, ATemplateThatDoesNotTakeTheNumbersIsAClearError) {
    const struct {
        const char* path;
        const char* text;
        RepairReport repair;
    } cases[] = {
        {kAllFixedPath, "Fixed %s.", Repaired(2, 2)},
        {kSomeFixedPath, "Fixed %d problems.", Repaired(2, 1)},
        {kSomeFixedPath, "", Repaired(2, 1)},
    };
    for (const auto& c : cases) {
        TextLookup texts = [&](std::string_view path) {
            return path == c.path ? std::string(c.text) : std::string("%d %d");
        };
        EXPECT_THROW(RepairSummary(c.repair, texts), FormatError) << c.text;
    }
    TextLookup none = [](std::string_view) { return std::string(); };
    CheckReport report;
    report.Findings.push_back(DescribeFinding(*ProblemByOrderKey(1), none));
    EXPECT_THROW(PlainFindings(report, none), FormatError) << "an empty heading template";
}

TEST(CheckReportTexts, ConsoleLinesLoseOnlyTheirTrailingBlanks) {
    EXPECT_EQ(ConsoleLine("Checking audio device volume... "), "Checking audio device volume...");
    EXPECT_EQ(ConsoleLine("  indented\t \r\n"), "  indented");
    EXPECT_EQ(ConsoleLine("   "), "");
    EXPECT_EQ(ConsoleLine(""), "");
}

} // namespace
