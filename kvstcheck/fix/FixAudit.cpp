#include "kvstcheck/fix/FixAudit.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/runs/AuditDriver.h"
#include "kvstcheck/runs/DrawingObject.h"

namespace kvstcheck::fix {
namespace {

bool SameFinding(const Finding& a, const Finding& b) { return a.kind == b.kind && a.name == b.name && a.rule == b.rule; }

bool Holds(const std::vector<Finding>& findings, const Finding& finding) {
    return std::any_of(findings.begin(), findings.end(), [&](const Finding& one) { return SameFinding(one, finding); });
}

std::string Describe(const Finding& finding) {
    return finding.message.empty() ? EnglishKindOf(finding) + " \"" + WideToUtf8(finding.name) + "\"" : finding.message;
}

}  // namespace

FixAuditor::FixAuditor(const std::wstring& plugin, const std::wstring& standard, const std::optional<rules::RuleSet>& rules)
    : source_(PrivatePlugin(plugin, standard)), standard_(standard), rules_(rules) {}

std::vector<Finding> FixAuditor::Audit(const DrawingNames& names, const std::wstring& path) const {
    const std::vector<Finding> ruleFindings = RuleFindings(rules_, names);
    const std::size_t count = names.total();
    const auto drawing = MakeDrawingObject(names);
    const auto plugin = source_->Create();
    std::vector<Finding> findings = AuditDrawing(*plugin.Get(), drawing.Get(), FullPath(path), count, standard_);
    findings.insert(findings.end(), ruleFindings.begin(), ruleFindings.end());
    return findings;
}

std::string CompareFindings(const std::vector<Finding>& before, const std::vector<Finding>& expected,
                            const std::vector<Finding>& after) {
    for (const Finding& finding : after) {
        if (!Holds(before, finding)) return "a new finding: " + Describe(finding);
        if (!Holds(expected, finding)) return "a finding the fix should have removed is still there: " + Describe(finding);
    }
    return {};
}

}  // namespace kvstcheck::fix
