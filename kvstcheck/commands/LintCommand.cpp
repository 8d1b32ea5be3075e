// lint: a .toml file is a rules file, any other a standard file; several are linted in turn, the
// highest status returned. In JSON, several files must all be standard files: one document of them.
#include <algorithm>

#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/fix/FixMap.h"
#include "kvstcheck/model/RunReport.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/rules/RulesLint.h"
#include "kvstcheck/standardtools/Lint.h"

namespace kvstcheck {

int RunLintCommand(const Options& options) {
    const auto isRules = [](const std::wstring& path) { return rules::IsRulesFile(path); };
    const auto rulesFiles = std::count_if(options.standards.begin(), options.standards.end(), isRules);
    if (options.installed || rulesFiles == 0) return Lint(options);
    // The [fix] tables are judged as the audit judges them.
    const rules::MoreChecks fixTables = fix::LintFixTables;
    if (options.standards.size() == 1) return rules::LintRulesFile(options.standard, options.json, fixTables);
    if (options.json) {
        WriteError("lint --json takes several standard files, or one rules file on its own");
        return kBroken;
    }
    int status = kNoFindings;
    for (const std::wstring& path : options.standards) {
        Options one = options;
        one.standards = {path};
        one.standard = path;
        status = std::max(status, isRules(path) ? rules::LintRulesFile(path, false, fixTables) : Lint(one));
    }
    return status;
}

}  // namespace kvstcheck
