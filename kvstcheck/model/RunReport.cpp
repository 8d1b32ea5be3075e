#include "kvstcheck/model/RunReport.h"

#include <utility>

namespace kvstcheck {

void FindingCounts::Add(const Finding& finding) {
    const auto count = [&finding](OpenAndAccepted& counts) { ++(finding.accepted ? counts.accepted : counts.open); };
    count(all);
    if (finding.kind) count(byKind[vocabulary::IndexOf(*finding.kind)]);
    else count(byOtherLabel[finding.otherLabel]);
    if (!finding.rule.empty()) count(byRule[finding.rule]);
}

std::size_t NewFindingCount(const DrawingResult& drawing) { return drawing.counts.all.open; }

const DrawingResult& RunReport::Add(DrawingResult result, bool keep) {
    result.counts = {};
    for (const Finding& finding : result.findings) {
        result.counts.Add(finding);
        counts_.byKind.Add(finding);
    }
    ++counts_.drawings;
    counts_.findings += result.counts.all.open;
    counts_.accepted += result.counts.all.accepted;
    if (result.error.empty()) counts_.names += result.names;
    else ++counts_.notAudited;
    if (!keep) {
        last_ = std::move(result);
        return last_;
    }
    drawings.push_back(std::move(result));
    TallyNames(drawings.back());
    return drawings.back();
}

// One row per kind, name and rule; a drawing counts once per row, as open when any of it is.
void RunReport::TallyNames(const DrawingResult& drawing) {
    std::map<std::size_t, bool> rowsOpen;
    for (const Finding& finding : drawing.findings) {
        const auto [at, added] = nameRow_.try_emplace({HostLabelOf(finding), finding.name, finding.rule}, byName_.size());
        if (added) byName_.push_back({finding});
        rowsOpen[at->second] |= !finding.accepted;
    }
    for (const auto& [row, open] : rowsOpen) ++(open ? byName_[row].openDrawings : byName_[row].acceptedDrawings);
}

ExitStatus RunReport::Status() const {
    if (interrupted || !setupError.empty() || !outputError.empty() || counts_.notAudited > 0) return kBroken;
    return counts_.findings > 0 ? kFindings : kNoFindings;
}

}  // namespace kvstcheck
