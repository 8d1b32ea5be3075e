// The lint command for rules files: reads the file, prints what LintRulesText finds, in text as
// "FILE:LINE:COLUMN: severity[rule]: problem" or as lint's JSON document.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/rules/RulesFiles.h"
#include "kvstcheck/rules/RulesLint.h"
#include "kvstcheck/standardtools/Lint.h"

namespace kvstcheck::rules {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kNothingToFix = 0;
constexpr int kSomethingToFix = 1;
constexpr int kUnreadable = 2;

Json EditJson(const LineEdit& edit) {
    switch (edit.action) {
        case LineEdit::Action::Replace: return {{"line", edit.line}, {"replace", edit.text}};
        case LineEdit::Action::Delete: return {{"line", edit.line}, {"delete", true}};
        case LineEdit::Action::InsertAfter: break;
    }
    return {{"line", edit.line}, {"insertAfter", edit.text}};
}

Json WarningJson(const RulesProblem& problem) {
    const RuleEntry& entry = EntryOf(problem.rule);
    Json warning = {{"rule", entry.id},
                    {"severity", SeverityWord(entry.severity)},
                    {"line", problem.place.line},
                    {"column", problem.place.column},
                    {"problem", problem.problem},
                    {"fix", problem.fix}};
    if (problem.edit) warning["edit"] = EditJson(*problem.edit);
    return warning;
}

std::string Dumped(const Json& document) { return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

Json Envelope(const std::string& path, int status) {
    return {{"schemaVersion", kLintSchemaVersion}, {"path", path}, {"status", status}, {"fileKind", "rules"}};
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string TextReport(const std::string& shown, const std::vector<RulesProblem>& problems) {
    std::string text;
    for (const RulesProblem& problem : problems) {
        const RuleEntry& entry = EntryOf(problem.rule);
        text += problem.place.Describe() + ": " + std::string(SeverityWord(entry.severity)) + "[" +
                std::string(entry.id) + "]: " + problem.problem + "\n    fix: " + problem.fix + "\n";
    }
    const auto errors = static_cast<std::size_t>(std::count_if(
        problems.begin(), problems.end(), [](const RulesProblem& p) { return p.severity() == RuleSeverity::Error; }));
    const std::size_t warnings = problems.size() - errors;
    std::string tally;
    if (errors > 0) tally = Plural(errors, "error", "errors") + " (the audit refuses the file)";
    if (warnings > 0) tally += (tally.empty() ? "" : ", ") + Plural(warnings, "warning", "warnings");
    return text + shown + ": " + (tally.empty() ? "nothing to fix" : tally) + "\n";
}

}  // namespace

int LintRulesFile(const std::wstring& path, bool json, const MoreChecks& more) {
    const std::string shown = EncodeUtf8(path);
    const FileBytes file = ReadRulesFile(path);
    std::vector<RulesProblem> problems;
    std::string unreadable = file.error;
    if (unreadable.empty()) {
        problems = LintRulesText(file.bytes, shown, ReadCodeList, more);
        // Bytes that are not text are a file lint cannot read, as for a standard file.
        const auto notText = std::find_if(problems.begin(), problems.end(),
                                          [](const RulesProblem& p) { return p.rule == LintRule::NotText; });
        if (notText != problems.end()) unreadable = notText->problem + " (at line " + std::to_string(notText->place.line) +
                                                    ", column " + std::to_string(notText->place.column) + ")";
    }
    if (!unreadable.empty()) {
        if (json) {
            Json document = Envelope(shown, kUnreadable);
            document["error"] = unreadable;
            WriteOut(Dumped(document));
        } else {
            WriteError(shown + ": " + unreadable);
        }
        return kUnreadable;
    }
    const int status = problems.empty() ? kNothingToFix : kSomethingToFix;
    if (json) {
        Json document = Envelope(shown, status);
        Json warnings = Json::array();
        for (const RulesProblem& problem : problems) warnings.push_back(WarningJson(problem));
        document["warnings"] = std::move(warnings);
        WriteOut(Dumped(document));
    } else {
        WriteOut(TextReport(shown, problems));
    }
    return status;
}

}  // namespace kvstcheck::rules
