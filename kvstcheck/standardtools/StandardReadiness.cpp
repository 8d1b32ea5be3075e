#include "kvstcheck/standardtools/StandardReadiness.h"

#include <algorithm>

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/standardtools/Lint.h"

namespace kvstcheck {
namespace {

// The warning that says why loading stopped: the last one lint gives for the line where the loader
// stops (a count's odd form comes first on the same line); else the first, which the loader's
// early stops always give.
const LintWarning* Reason(const LintReport& report) {
    if (report.warnings.empty()) return nullptr;
    const auto& warnings = report.warnings;
    const auto atStop = std::find_if(warnings.rbegin(), warnings.rend(),
                                     [&](const LintWarning& w) { return report.stopLine != 0 && w.line == report.stopLine; });
    return atStop != warnings.rend() ? &*atStop : &warnings.front();
}

std::string LintCommand(const std::wstring& shownPath) {
    const std::string path = EncodeUtf8(shownPath);
    const bool quote = path.find_first_of(" \t&()") != std::string::npos;
    return "run kvstcheck lint " + (quote ? "\"" + path + "\"" : path);
}

}  // namespace

StandardReadiness ReadinessOf(const std::wstring& path) {
    const LintReport report = LintStandardFile(path);
    StandardReadiness readiness;
    if (!report.unreadable.empty()) {
        // lint refuses what is no text; the plug-in alone says whether it loads it anyway.
        readiness.checks = KindOfPath(path) == PathKind::File && !ChecksNothing(LoadAsThePluginDoes(FullPath(path)));
        readiness.problems = 1;
        if (!readiness.checks) readiness.reason = report.unreadable;
        return readiness;
    }
    readiness.checks = !ChecksNothing(report.loaded);
    readiness.problems = report.warnings.size();
    if (readiness.checks) return readiness;
    const LintWarning* reason = Reason(report);
    readiness.line = reason != nullptr ? reason->line : 0;
    readiness.reason = reason != nullptr ? reason->problem : "the plug-in does not load this file";
    return readiness;
}

std::string NothingCheckedMessage(const StandardReadiness& readiness, const std::wstring& shownPath) {
    const std::string where = EncodeUtf8(shownPath) + (readiness.line > 0 ? ":" + std::to_string(readiness.line) : "");
    return "not audited: the plug-in checks nothing with the standard file " + where + ": " + readiness.reason + "; " +
           LintCommand(shownPath);
}

std::string ProblemsMessage(const StandardReadiness& readiness, const std::wstring& shownPath) {
    const std::string count = std::to_string(readiness.problems) + (readiness.problems == 1 ? " line" : " lines");
    return "warning: the plug-in reads " + count + " of the standard file " + EncodeUtf8(shownPath) +
           " otherwise than its author most likely meant; " + LintCommand(shownPath);
}

}  // namespace kvstcheck
