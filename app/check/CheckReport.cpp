#include "CheckReport.h"

#include "CheckOptions.h"
#include "JsonWriter.h"
#include "config/SafeFormat.h"

namespace {

void AppendFinding(std::string& out, const Finding& finding) {
    out += "  " + ConsoleLine(finding.Title) + "\n";
    out += "    " + ConsoleLine(finding.Description) + "\n";
    out += "    " + ConsoleLine(finding.Status) + ", " + ConsoleLine(finding.Outcome) + "\n";
}

bool IsTrue(BOOL value) {
    return value != 0;
}

void WriteScan(JsonWriter& json, const TSCANRESULT& scan) {
    json.Key("scan").BeginObject();
    json.Key("sound_played").Bool(IsTrue(scan.SoundPlayed));
    json.Key("mixer_checked").Bool(IsTrue(scan.MixerChecked));
    if (IsTrue(scan.MixerChecked)) {
        // -1 says a line has no such control; null says the same in JSON's words.
        const auto volume = [&](const char* name, std::int32_t value) {
            json.Key(name);
            value < 0 ? json.Null() : json.Number(value);
        };
        const auto muted = [&](const char* name, BOOL hasMute, BOOL value) {
            json.Key(name);
            IsTrue(hasMute) ? json.Bool(IsTrue(value)) : json.Null();
        };
        volume("master_volume", scan.MasterVolume);
        muted("master_muted", scan.MasterHasMute, scan.MasterMuted);
        volume("source_volume", scan.SourceVolume);
        muted("source_muted", scan.SourceHasMute, scan.SourceMuted);
    }
    json.Key("service_installed").Bool(IsTrue(scan.ServiceInstalled));
    json.Key("service_state").Number(scan.ServiceState);
    json.Key("device_status_checked").Bool(IsTrue(scan.DeviceStatusChecked));
    if (IsTrue(scan.DeviceStatusChecked)) {
        json.Key("no_output_device").Bool(IsTrue(scan.NoOutputDevice));
        json.Key("output_switched_off").Bool(IsTrue(scan.OutputSwitchedOff));
        json.Key("output_to_dummy").Bool(IsTrue(scan.OutputToDummy));
        json.Key("output_unplugged").Bool(IsTrue(scan.OutputUnplugged));
    }
    json.Key("known_drivers").BeginArray();
    for (const INSTALDRIVER& driver : scan.Drivers) {
        json.String(driver.HardwareId);
    }
    json.EndArray();
    json.EndObject();
}

} // namespace

std::string ConsoleLine(std::string_view Text) {
    const std::size_t end = Text.find_last_not_of(" \t\r\n");
    return std::string(end == std::string_view::npos ? std::string_view()
                                                     : Text.substr(0, end + 1));
}

int CheckExitCode(const CheckReport& Report) {
    if (Report.Repair) {
        return Report.Repair->Count.AllFixed() ? kExitNothingFound : kExitProblems;
    }
    return Report.Findings.empty() ? kExitNothingFound : kExitProblems;
}

std::string PlainFindings(const CheckReport& Report, const TextLookup& Texts) {
    if (Report.Findings.empty()) {
        return ConsoleLine(Texts(kWorksFinePath)) + "\n";
    }
    const int count = static_cast<int>(Report.Findings.size());
    std::string out = ConsoleLine(SafeFormat(Texts(kProblemsFoundPath), {count})) + "\n";
    for (const Finding& finding : Report.Findings) {
        AppendFinding(out, finding);
    }
    return out;
}

std::string RepairSummary(const RepairReport& Repair, const TextLookup& Texts) {
    if (!Repair.Performed) {
        return Texts(kWorksFinePath);
    }
    if (Repair.Count.AllFixed()) {
        return SafeFormat(Texts(kAllFixedPath), {Repair.Count.Fixed});
    }
    return SafeFormat(Texts(kSomeFixedPath), {Repair.Count.Fixed, Repair.Count.Listed});
}

std::string PlainRepair(const CheckReport& Report, const TextLookup& Texts) {
    if (!Report.Repair) {
        return {};
    }
    std::string out = ConsoleLine(RepairSummary(*Report.Repair, Texts)) + "\n";
    for (const Finding& finding : Report.Findings) {
        if (finding.Fixed == false) {
            AppendFinding(out, finding);
        }
    }
    return out;
}

std::string JsonReport(const CheckReport& Report, const TextLookup& Texts) {
    JsonWriter json;
    json.BeginObject();
    json.Key("problems_found").Number(static_cast<std::int64_t>(Report.Findings.size()));
    json.Key("findings").BeginArray();
    for (const Finding& finding : Report.Findings) {
        json.BeginObject();
        json.Key("id").String(EntryName(*finding.Problem));
        json.Key("order_key").Number(finding.Problem->OrderKey);
        json.Key("title").String(finding.Title);
        json.Key("description").String(finding.Description);
        json.Key("status").String(finding.Status);
        json.Key("outcome").String(finding.Outcome);
        if (finding.Fixed) {
            json.Key("fixed").Bool(*finding.Fixed);
        }
        json.EndObject();
    }
    json.EndArray();
    WriteScan(json, Report.Scan);
    if (Report.Repair) {
        json.Key("repair").BeginObject();
        json.Key("performed").Bool(Report.Repair->Performed);
        json.Key("listed").Number(Report.Repair->Count.Listed);
        json.Key("fixed").Number(Report.Repair->Count.Fixed);
        json.Key("message").String(RepairSummary(*Report.Repair, Texts));
        json.EndObject();
    }
    json.Key("exit_code").Number(CheckExitCode(Report));
    json.EndObject();
    return json.Text();
}

std::string ErrorText(std::string_view Message, bool Json) {
    if (!Json) {
        return "tonemender-check: " + std::string(Message) + "\n";
    }
    JsonWriter json;
    json.BeginObject().Key("error").String(Message).EndObject();
    return json.Text();
}
