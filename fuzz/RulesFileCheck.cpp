#include "RulesFileCheck.h"

#include <algorithm>

#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesFile.h"
#include "kvstcheck/rules/RulesLint.h"

namespace fuzzcheck {
namespace {

using namespace kvstcheck::rules;

std::optional<std::string> FixedCodeList(const std::string& path) {
    if (path.ends_with("missing.csv")) return std::nullopt;
    return std::string("code,meaning\nWALL,walls\nDOOR,doors\n\"GL,AZ\",glass\n");
}

kvstcheck::DrawingNames FixedDrawing() {
    kvstcheck::DrawingNames drawing;
    drawing.layers = {L"0", L"A-WALL", L"a-wall", L"X|A-DOOR", L" A-GLAZ", L"A:B", L"A\u200BB"};
    kvstcheck::LayerProperties off;
    off.color = -1;
    off.plot = false;
    drawing.layerProperties = {std::nullopt, kvstcheck::LayerProperties{}, off, off, off, std::nullopt, off};
    drawing.linetypes = {L"Continuous", L"DASHED"};
    drawing.textStyles = {L"Standard"};
    drawing.dimStyles = {L"ISO-25"};
    return drawing;
}

std::string CheckProblems(const std::vector<RulesProblem>& problems, std::string_view bytes) {
    const auto lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    for (const RulesProblem& problem : problems) {
        if (problem.place.line == 0 || problem.place.line > lines) return "a problem without a line in the file";
        if (problem.problem.empty() || problem.fix.empty()) return "a problem without its words or its fix";
    }
    return {};
}

}  // namespace

std::string CheckRulesFile(std::string_view bytes) {
    RulesBuilder builder(FixedCodeList);
    builder.Add(bytes, "rules.toml");
    const RuleSet rules = builder.Finish();
    if (auto broken = CheckProblems(builder.problems(), bytes); !broken.empty()) return broken;
    if (auto broken = CheckProblems(LintRulesText(bytes, "rules.toml", FixedCodeList), bytes); !broken.empty())
        return "lint: " + broken;
    for (const RuleFinding& finding : CheckDrawing(rules, FixedDrawing()))
        if (finding.rule.empty() || finding.message.empty()) return "a finding without a rule id or a message";
    return {};
}

}  // namespace fuzzcheck
