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

// How audits against a file fare, from lint's report of it; loadPath: the file the plug-in reads.
StandardReadiness Judged(const LintReport& report, const std::wstring& loadPath) {
    StandardReadiness readiness;
    if (!report.unreadable.empty()) {
        // lint refuses what is no text; the plug-in alone says whether it loads it anyway.
        readiness.checks = KindOfPath(loadPath) == PathKind::File && !ChecksNothing(LoadAsThePluginDoes(FullPath(loadPath)));
        readiness.problems = 1;
        if (!readiness.checks) readiness.reason = report.unreadable;
        return readiness;
    }
    readiness.checks = !ChecksNothing(report.loaded);
    readiness.problems = report.Problems();
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

}  // namespace

StandardReadiness ReadinessOf(const std::wstring& path) {
    RunStandard standard(path);
    return standard.Judge(path);
}

RunStandard::RunStandard(std::wstring shownPath) : shownPath_(std::move(shownPath)) {
    bytes_ = ReadStandardBytes(shownPath_, problem_);
}

const StandardReadiness& RunStandard::Judge(const std::wstring& loadPath) {
    if (bytes_) {
        report_ = LintStandardBytes(shownPath_, *bytes_, loadPath);
    } else {
        report_ = LintReport{};
        report_.path = shownPath_;
        report_.unreadable = problem_;
    }
    readiness_ = Judged(report_, loadPath);
    return readiness_;
}

const LoadedStandard* RunStandard::loaded() const noexcept { return report_.unreadable.empty() ? &report_.loaded : nullptr; }

bool RunStandard::ChangedSinceRead() const {
    std::string problem;
    const auto now = ReadStandardBytes(shownPath_, problem);
    return now != bytes_;
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

std::string ChangedDuringRunMessage(const std::wstring& shownPath, const std::string& sha256) {
    return "warning: the standard file " + EncodeUtf8(shownPath) +
           " changed while the run audited against it: its report names the bytes read before the audit" +
           (sha256.empty() ? std::string() : " (SHA-256 " + sha256 + ")") + "; drawings audited later may have met the new ones";
}

}  // namespace kvstcheck
