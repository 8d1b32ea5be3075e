#pragma once
// Audits a drawing's names through the plug-in (and the rules files) as a run does: before the fix, for
// what the fixed drawing would give, and for the written drawing itself.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/rules/Rules.h"
#include "kvstcheck/runs/PluginSource.h"

namespace kvstcheck::fix {

class FixAuditor {
public:
    // Throws SetupError when the plug-in cannot serve.
    FixAuditor(const std::wstring& plugin, const std::wstring& standard, const std::optional<rules::RuleSet>& rules);
    // The plug-in's findings, then the rules'. Throws SetupError.
    std::vector<Finding> Audit(const DrawingNames& names, const std::wstring& path) const;

private:
    std::unique_ptr<PluginSource> source_;
    std::wstring standard_;
    const std::optional<rules::RuleSet>& rules_;
};

// What a written drawing's findings say against those before: empty when every finding the account
// fixed is gone and none is new, else the first that is not so (UTF-8).
std::string CompareFindings(const std::vector<Finding>& before, const std::vector<Finding>& expected,
                            const std::vector<Finding>& after);

}  // namespace kvstcheck::fix
