#pragma once
// Findings and runs made as the run makes them: findings from the plug-in's labels, runs whose
// drawings are added (and so counted) one by one.
#include <string>
#include <utility>
#include <vector>

#include "kvstcheck/model/RunReport.h"

namespace kvtest {

// A finding as the old positional form gave it: the plug-in's label first.
inline kvstcheck::Finding F(const std::wstring& label, std::wstring name, kvstcheck::NameHints hints = {},
                            std::string rule = {}, std::string message = {}, bool accepted = false) {
    kvstcheck::Finding finding = kvstcheck::PluginFinding(label, std::move(name));
    finding.hints = std::move(hints);
    finding.rule = std::move(rule);
    finding.message = std::move(message);
    finding.accepted = accepted;
    return finding;
}

inline kvstcheck::RunReport RunOf(std::vector<kvstcheck::DrawingResult> drawings, std::string setupError = {},
                                  std::wstring standardFile = {}, std::string outputError = {}) {
    kvstcheck::RunReport report;
    for (kvstcheck::DrawingResult& drawing : drawings) report.Add(std::move(drawing));
    report.setupError = std::move(setupError);
    report.standardFile = std::move(standardFile);
    report.outputError = std::move(outputError);
    return report;
}

// The drawing as the run hands it to the outputs: counted.
inline kvstcheck::DrawingResult Counted(kvstcheck::DrawingResult drawing) {
    kvstcheck::RunReport report;
    return report.Add(std::move(drawing), false);
}

}  // namespace kvtest
