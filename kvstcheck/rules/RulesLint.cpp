#include "kvstcheck/rules/RulesLint.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesText.h"

namespace kvstcheck::rules {
namespace {

// Why the file's own patterns or layout reject a name, and how to allow it without making any other
// name fail.
struct Rejection {
    std::string why;  // empty when they accept it
    std::string fix;
    std::optional<LineEdit> edit;
};

class KindLint {
public:
    KindLint(NameKind kind, const KindRules& rules, const std::vector<std::string_view>& lines)
        : kind_(kind), rules_(rules), lines_(lines) {}

    // Patterns a file only adds to those of files before it cannot reject a name on their own.
    Rejection Of(std::u32string_view name) const {
        const std::u32string own = OwnPart(name);
        const std::string section(SectionOf(kind_));
        if (!rules_.patterns.empty() && !rules_.patternsOnlyAdded &&
            std::none_of(rules_.patterns.begin(), rules_.patterns.end(),
                         [&](const Pattern& p) { return p.compiled->Matches(own); }))
            return {"matches none of the file's patterns",
                    "correct the name, or add the pattern '^" + ToUtf8(EscapedForPattern(own)) + "$' to [" + section +
                        "] patterns (a pattern more rejects no name)",
                    std::nullopt};
        if (!rules_.format) return {};
        const FormatVerdict verdict = rules_.format->Check(own);
        if (!verdict.fits && rules_.patterns.empty()) return BesideTheLayout(own);
        if (!verdict.problems.empty()) {
            const FieldProblem& wrong = verdict.problems.front();
            return {"has " + wrong.field + " \"" + ToUtf8(wrong.value) + "\", which is not a code",
                    "correct the name, or add \"" + ToUtf8(wrong.value) + "\" to the codes of " + wrong.field, std::nullopt};
        }
        return {};
    }

    void Lint(std::vector<RulesProblem>& problems) const {
        const std::string word(WordOf(kind_));
        for (const Pattern& pattern : rules_.patterns)
            if (!pattern.compiled->CanMatch())
                problems.push_back({LintRule::NeverMatches, pattern.place,
                                    "pattern '" + pattern.text + "' can never match any name",
                                    "look for an empty class [], or ^ and $ in the middle of the pattern"});
        for (const RequiredName& required : rules_.required) {
            Rejection rejection = Of(required.name);
            if (!rejection.why.empty())
                problems.push_back({LintRule::RequiredRejected, required.place,
                                    "the required " + word + " \"" + ToUtf8(required.name) + "\" " + rejection.why +
                                        ", so every drawing that has it gets a finding",
                                    std::move(rejection.fix), std::move(rejection.edit)});
        }
    }

private:
    // A layout alone judges every name: a pattern for one name would make every name of the layout's
    // form fail, so the fix gives patterns for both, which reject what the layout rejected.
    Rejection BesideTheLayout(const std::u32string& own) const {
        const std::string section(SectionOf(kind_));
        Rejection rejection{"does not have the form " + ToUtf8(rules_.format->layout()),
                            "correct the name, or give [" + section + "] patterns for it and for the layout's form: "
                            "patterns = ['^" + ToUtf8(EscapedForPattern(own)) + "$', ...]",
                            std::nullopt};
        const auto form = rules_.format->FormPattern();
        const std::string name = "^" + ToUtf8(EscapedForPattern(own)) + "$";
        if (rules_.patternsGiven || !form || !FitsALiteralString(name) || !FitsALiteralString(ToUtf8(*form)) ||
            !Compiles(*form) || !Compiles(FromUtf8(name)))
            return rejection;
        const Place& format = rules_.formatPlace;
        if (format.line == 0 || format.line != format.endLine || format.line > lines_.size()) return rejection;
        const std::string_view line = lines_[format.line - 1];
        if (!line.substr(line.find_first_not_of(" \t") == std::string_view::npos ? line.size()
                                                                                  : line.find_first_not_of(" \t"))
                 .starts_with("format"))
            return rejection;
        const std::string patterns = "patterns = ['" + name + "', '" + ToUtf8(*form) + "']";
        rejection.fix = "correct the name, or give [" + section + "] patterns for it and for the layout's form: " + patterns;
        rejection.edit = LineEdit{format.line, LineEdit::Action::InsertAfter, patterns};
        return rejection;
    }

    static bool Compiles(std::u32string_view pattern) {
        try {
            return NamePattern(pattern).CanMatch();
        } catch (const PatternError&) {
            return false;
        }
    }

    static bool FitsALiteralString(std::string_view text) {
        return std::none_of(text.begin(), text.end(), [](char c) {
            return c == '\'' || c == '\n' || c == '\r' || (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        });
    }

    NameKind kind_;
    const KindRules& rules_;
    const std::vector<std::string_view>& lines_;
};

}  // namespace

std::vector<RulesProblem> LintRulesText(std::string_view text, const std::string& file, const FileReader& read,
                                        const MoreChecks& more) {
    RulesBuilder builder(read, more);
    builder.Add(text, file);
    const RuleSet rules = builder.Finish();
    std::vector<RulesProblem> problems = builder.problems();
    const DecodedText decoded = DecodeText(text);
    const std::string& decodedText = decoded.text ? *decoded.text : std::string();
    const std::vector<std::string_view> lines = SplitLines(decodedText);
    for (const NameKind kind : kKinds) KindLint(kind, rules.of(kind), lines).Lint(problems);
    const KindLint layers(NameKind::Layer, rules.of(NameKind::Layer), lines);
    for (const LayerRule& layer : rules.layers) {
        Rejection rejection = layers.Of(layer.name);
        if (!rejection.why.empty())
            problems.push_back({LintRule::PropertiesRejected, layer.place,
                                "properties for the layer \"" + ToUtf8(layer.name) + "\", which " + rejection.why +
                                    ": a drawing that follows the rules never has it",
                                std::move(rejection.fix), std::move(rejection.edit)});
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
