#include "kvstcheck/rules/RulesLint.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RuleCheck.h"

namespace kvstcheck::rules {
namespace {

// Why the file's own patterns or layout reject a name; empty when they accept it. Patterns a file
// only adds to those of files before it cannot reject a name on their own.
std::string Rejection(const KindRules& rules, std::u32string_view name) {
    const std::u32string own = OwnPart(name);
    if (!rules.patterns.empty() && !rules.patternsOnlyAdded && std::none_of(rules.patterns.begin(), rules.patterns.end(),
                                                [&](const Pattern& p) { return p.compiled->Matches(own); }))
        return "matches none of the file's patterns";
    if (rules.format) {
        const FormatVerdict verdict = rules.format->Check(own);
        if (!verdict.fits && rules.patterns.empty()) return "does not have the form " + ToUtf8(rules.format->layout());
        if (!verdict.problems.empty())
            return "has " + verdict.problems.front().field + " \"" + ToUtf8(verdict.problems.front().value) +
                   "\", which is not a code";
    }
    return {};
}

void LintKind(NameKind kind, const KindRules& rules, std::vector<RulesProblem>& problems) {
    const std::string word(WordOf(kind));
    for (const Pattern& pattern : rules.patterns)
        if (!pattern.compiled->CanMatch())
            problems.push_back({pattern.place, "pattern '" + pattern.text + "' can never match any name",
                                "look for an empty class [], or ^ and $ in the middle of the pattern"});
    for (const RequiredName& required : rules.required) {
        const std::string why = Rejection(rules, required.name);
        if (!why.empty())
            problems.push_back({required.place, "the required " + word + " \"" + ToUtf8(required.name) + "\" " + why +
                                                    ", so every drawing that has it gets a finding",
                                "add a pattern for it, or correct the name"});
    }
}

}  // namespace

std::vector<RulesProblem> LintRulesText(std::string_view text, const std::string& file, const FileReader& read) {
    RulesBuilder builder(read);
    builder.Add(text, file);
    const RuleSet rules = builder.Finish();
    std::vector<RulesProblem> problems = builder.problems();
    for (const NameKind kind : kKinds) LintKind(kind, rules.of(kind), problems);
    for (const LayerRule& layer : rules.layers) {
        const std::string why = Rejection(rules.of(NameKind::Layer), layer.name);
        if (!why.empty())
            problems.push_back({layer.place, "properties for the layer \"" + ToUtf8(layer.name) + "\", which " + why +
                                                 ": a drawing that follows the rules never has it",
                                "correct the name, or add a pattern for it"});
    }
    std::stable_sort(problems.begin(), problems.end(), [](const RulesProblem& a, const RulesProblem& b) {
        return std::make_pair(a.place.line, a.place.column) < std::make_pair(b.place.line, b.place.column);
    });
    return problems;
}

bool IsRulesFile(const std::wstring& path) {
    if (path.size() < 5) return false;
    std::wstring extension = path.substr(path.size() - 5);
    for (wchar_t& c : extension) c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    return extension == L".toml";
}

}  // namespace kvstcheck::rules
