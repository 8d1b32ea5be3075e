#include "kvstcheck/standardtools/StandardReadiness.h"

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/standardtools/Lint.h"

namespace kvstcheck {
namespace {

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
    // Loads that stop early say why; a load that reads on yet names no first type has its reason first.
    if (report.stop.line != 0) {
        readiness.line = report.stop.line;
        readiness.reason = report.stop.problem;
    } else if (!report.warnings.empty()) {
        readiness.line = report.warnings.front().line;
        readiness.reason = report.warnings.front().problem;
    } else {
        readiness.reason = "the plug-in does not load this file";
    }
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
