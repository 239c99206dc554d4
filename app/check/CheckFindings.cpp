#include "CheckFindings.h"

#include <algorithm>

const char* StatusPathOfCheck(TCheckSet Check) {
    switch (Check) {
    case CheckSound:
        return StatusPathOf(ScanCode::SoundTestStarted);
    case CheckMixer:
        return StatusPathOf(ScanCode::MixerCheckStarted);
    case CheckService:
        return StatusPathOf(ScanCode::ServiceCheckStarted);
    case CheckDeviceStatus:
        return StatusPathOf(ScanCode::DeviceStatusStarted);
    default:
        return nullptr;
    }
}

void FindingCollector::Add(DWORD Code, const TSCANRESULT& Result) {
    for (const TProblemEntry* entry : ProblemsFound(Code, Result)) {
        // A notification repeated by mistake must not list a problem twice.
        if (std::find(found_.begin(), found_.end(), entry) == found_.end()) {
            found_.push_back(entry);
        }
    }
}

std::vector<const TProblemEntry*> FindingCollector::InReportOrder() const {
    std::vector<const TProblemEntry*> ordered = found_;
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const TProblemEntry* a, const TProblemEntry* b) { return a->OrderKey > b->OrderKey; });
    return ordered;
}

Finding DescribeFinding(const TProblemEntry& Problem, const TextLookup& Texts) {
    Finding finding;
    finding.Problem = &Problem;
    finding.Title = Texts(Problem.TitlePath);
    finding.Description = Texts(Problem.DescriptionPath);
    finding.Status = Texts(Problem.StatusPath);
    finding.Outcome = Texts(Problem.OutcomePath);
    return finding;
}

std::vector<std::int32_t> OrderKeysOf(std::span<const Finding> Findings) {
    std::vector<std::int32_t> keys;
    for (const Finding& finding : Findings) {
        keys.push_back(finding.Problem->OrderKey);
    }
    return keys;
}

std::string_view EntryName(const TProblemEntry& Problem) {
    std::string_view entry = Problem.Entry;
    const std::size_t hash = entry.rfind('#');
    return hash == std::string_view::npos ? entry : entry.substr(hash + 1);
}
