#include "RulesFileCheck.h"

#include <algorithm>
#include <set>

#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesFile.h"
#include "kvstcheck/rules/RulesLint.h"
#include "kvstcheck/rules/RulesText.h"

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
        if (problem.edit && (problem.edit->line == 0 || problem.edit->line > lines ||
                             problem.edit->text.find_first_of("\r\n") != std::string::npos))
            return "an edit of a line not in the file, or of more than one line";
    }
    return {};
}

std::size_t Count(const std::vector<RulesProblem>& problems, LintRule rule) {
    return static_cast<std::size_t>(
        std::count_if(problems.begin(), problems.end(), [rule](const RulesProblem& p) { return p.rule == rule; }));
}

// Problems that stop the reading of a file: what comes after them was never looked at.
bool StopsReading(LintRule rule) {
    return rule == LintRule::NotText || rule == LintRule::ControlCharacter || rule == LintRule::InvisibleCharacter ||
           rule == LintRule::BeyondAscii || rule == LintRule::TomlSyntax;
}

struct Loaded {
    std::set<std::pair<std::size_t, std::string>> patterns;
    std::set<std::pair<std::size_t, std::u32string>> required;
    std::set<std::u32string> layers;
    std::set<std::pair<std::size_t, std::u32string>> layouts;
};

Loaded LoadedBy(const std::string& text) {
    RulesBuilder builder(FixedCodeList);
    builder.Add(text, "rules.toml");
    const RuleSet rules = builder.Finish();
    Loaded loaded;
    for (const NameKind kind : kKinds) {
        const auto index = static_cast<std::size_t>(kind);
        for (const Pattern& pattern : rules.of(kind).patterns) loaded.patterns.emplace(index, pattern.text);
        for (const RequiredName& required : rules.of(kind).required) loaded.required.emplace(index, FoldCase(required.name));
        if (rules.of(kind).format) loaded.layouts.emplace(index, rules.of(kind).format->layout());
    }
    for (const LayerRule& layer : rules.layers) loaded.layers.insert(FoldCase(layer.name));
    return loaded;
}

template <typename Set>
bool Includes(const Set& larger, const Set& smaller) {
    return std::includes(larger.begin(), larger.end(), smaller.begin(), smaller.end());
}

std::string ProveEdit(const std::string& text, const std::vector<RulesProblem>& before, const RulesProblem& fixed,
                      const Loaded& loaded) {
    const std::string edited = ApplyEdit(text, *fixed.edit);
    const std::vector<RulesProblem> after = LintRulesText(edited, "rules.toml", FixedCodeList);
    const bool samePlace = std::any_of(after.begin(), after.end(), [&](const RulesProblem& p) {
        return p.rule == fixed.rule && p.place.line == fixed.place.line && p.place.column == fixed.place.column;
    });
    if (samePlace && Count(after, fixed.rule) >= Count(before, fixed.rule)) return "an edit that leaves its problem";
    // What follows a problem that stops the reading was never read: the problem must move on, and
    // no other of its kind come before.
    if (StopsReading(fixed.rule)) {
        if (std::any_of(after.begin(), after.end(), [&](const RulesProblem& p) {
                return p.rule == fixed.rule && std::make_pair(p.place.line, p.place.column) <=
                                                   std::make_pair(fixed.place.line, fixed.place.column);
            }))
            return "an edit after which the reading stops as early";
        return {};
    }
    for (const RulesProblem& problem : after)
        if (problem.severity() == RuleSeverity::Error && Count(after, problem.rule) > Count(before, problem.rule))
            return "an edit that brings a new error";
    const Loaded now = LoadedBy(edited);
    if (!Includes(now.patterns, loaded.patterns) || !Includes(now.required, loaded.required) ||
        !Includes(now.layers, loaded.layers) || now.layouts != loaded.layouts)
        return "an edit that loses what the rules held";
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
    // A few edits of each input keep the fuzzer fast; the tests prove every edit of the corpus.
    constexpr std::size_t kEditsProvenWhileFuzzing = 4;
    std::map<std::string, std::size_t> edits;
    return CheckRulesFixes(bytes, edits, kEditsProvenWhileFuzzing);
}

std::string CheckRulesFixes(std::string_view bytes, std::map<std::string, std::size_t>& edits, std::size_t mostEdits) {
    const DecodedText decoded = DecodeText(bytes);
    if (!decoded.text) return {};
    const std::string& text = *decoded.text;
    const std::vector<RulesProblem> problems = LintRulesText(text, "rules.toml", FixedCodeList);
    const Loaded loaded = LoadedBy(text);
    std::size_t proven = 0;
    for (const RulesProblem& problem : problems) {
        if (!problem.edit) continue;
        if (proven++ == mostEdits) break;
        if (auto broken = ProveEdit(text, problems, problem, loaded); !broken.empty())
            return broken + " (" + std::string(EntryOf(problem.rule).id) + " at line " +
                   std::to_string(problem.place.line) + ")";
        ++edits[std::string(EntryOf(problem.rule).id)];
    }
    return {};
}

}  // namespace fuzzcheck
