// The lint command for rules files: reads the file, prints what LintRulesText finds.
#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/rules/RulesFiles.h"
#include "kvstcheck/rules/RulesLint.h"

namespace kvstcheck::rules {
namespace {

std::string FormatJson(const std::vector<RulesProblem>& problems) {
    using Json = nlohmann::ordered_json;
    Json warnings = Json::array();
    for (const RulesProblem& problem : problems)
        warnings.push_back({{"line", problem.place.line},
                            {"column", problem.place.column},
                            {"problem", problem.problem},
                            {"fix", problem.fix}});
    return Json{{"warnings", std::move(warnings)}}.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

int LintRulesFile(const std::wstring& path, bool json) {
    const std::string shown = EncodeUtf8(path);
    const FileBytes file = ReadRulesFile(path);
    if (!file.error.empty()) {
        WriteError(shown + ": " + file.error);
        return 2;
    }
    const std::vector<RulesProblem> problems = LintRulesText(file.bytes, shown, ReadCodeList);
    if (json) {
        WriteOut(FormatJson(problems));
    } else {
        std::string text;
        for (const RulesProblem& problem : problems) text += problem.Describe() + "\n";
        text += shown + ": " + (problems.empty() ? std::string("no warnings")
                                                 : std::to_string(problems.size()) +
                                                       (problems.size() == 1 ? " warning" : " warnings"));
        WriteOut(text + "\n");
    }
    return problems.empty() ? 0 : 1;
}

}  // namespace kvstcheck::rules
