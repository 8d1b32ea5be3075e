#include "kvstcheck/rules/RulesLint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesText.h"

namespace {

using namespace kvstcheck::rules;

std::optional<std::string> Lists(const std::string& path) {
    if (path == "tabs.csv") return std::string("code\tmeaning\nWALL\twalls\nDOOR\tdoors\n");
    if (path == "wide.csv") return std::string("code,meaning\nWALLS,walls\nDOORS,doors\n");
    if (path == "semicolons.csv") return std::string("code;meaning\nWALL;walls\n");
    return std::string("WALL\nDOOR\n");
}

struct Mistake {
    const char* label;
    std::string text;
    LintRule rule;
    std::string where;                 // "LINE:COLUMN"
    std::string words;                 // a part of the problem or its fix
    std::optional<std::string> fixed;  // the edited line, or "" for a deleted one; nullopt: no edit
};

// Mistakes an author makes that the audit would otherwise act on without a word.
const Mistake kMistakes[] = {
    {"LineweightNoLayerHas", "[layers.properties.'A-WALL']\nlineweight = 33\n", LintRule::LineweightValue, "2:14",
     "(the nearest: 35)", "lineweight = 35"},
    {"LineweightAboveTheLargest", "[layers.properties.'A-WALL']\nlineweight = 300  # thick\n", LintRule::LineweightValue,
     "2:14", "found 300", std::nullopt},
    {"LineweightByLayer", "[layers.properties.'A-WALL']\nlineweight = -1\n", LintRule::LineweightValue, "2:14",
     "found -1", std::nullopt},
    {"TablesDifferingInLetterCase", "[layers.properties.\"A-WALL\"]\ncolor = 2\n[layers.properties.\"a-wall\"]\ncolor = 1\n",
     LintRule::LayerCasePair, "3:20", "differ only in letter case", std::nullopt},
    {"WildcardInATableName", "[layers.properties.'A-*']\ncolor = 2\n", LintRule::LayerWildcard, "1:20",
     "holds a wildcard character", std::nullopt},
    {"RequiredTwice", "[layers]\nrequired = ['A-WALL', '0', 'a-wall']\n", LintRule::DuplicateRequired, "2:28",
     "listed twice", "required = ['A-WALL', '0']"},
    {"RequiredTwiceOnItsOwnLine", "[layers]\nrequired = [\n  '0',\n  '0',\n]\n", LintRule::DuplicateRequired, "4:3",
     "listed twice", ""},
    {"PatternTwice", "[layers]\npatterns = ['^A$', '^A$', '^0$']\n", LintRule::DuplicatePattern, "2:20", "listed twice",
     "patterns = ['^A$', '^0$']"},
    {"FieldNoLayoutUses", "[layers]\nformat = '{discipline}-{major}'\n[layers.fields]\ndiscipline = ['A']\n"
     "major = ['WALL']\nmajr = ['DOOR']\n", LintRule::UnusedField, "6:1", "the layout {discipline}-{major} does not use", ""},
    {"FieldsWithoutALayout", "[layers.fields]\nmajor = ['WALL']  # walls\n", LintRule::UnusedField, "2:1",
     "[layers] has no format", ""},
    {"CodeListWithTabs", "[layers]\nformat = '{a}-{b}'\n[layers.fields]\na = ['A']\nb = { csv = 'tabs.csv' }\n",
     LintRule::CodeListUnusable, "5:13", "can be a value of the field", std::nullopt},
    {"CodeListOfTheWrongWidth", "[layers]\nformat = '{a:1}{b:4}'\n[layers.fields]\na = ['A']\nb = { csv = 'wide.csv' }\n",
     LintRule::CodeListUnusable, "5:13", "(the first reads \"WALLS\")", std::nullopt},
    {"ZeroUnderALayoutAlone", "[layers]\nformat = '{a}-{b}'\nrequired = ['0']\n[layers.fields]\na = ['A']\nb = ['WALL']\n",
     LintRule::RequiredRejected, "3:13", "does not have the form", "patterns = ['^0$', '^(?:[^\\-]+-.+)$']"},
};

TEST(RulesLint, LikelyMistakesHaveTheirRuleAndWhereSafeAnEdit) {
    for (const Mistake& mistake : kMistakes) {
        const auto problems = LintRulesText(mistake.text, "r.toml", Lists);
        ASSERT_EQ(problems.size(), 1u) << mistake.label << ": " << problems.size() << " problems, the first "
                                       << (problems.empty() ? "" : problems[0].Describe());
        const RulesProblem& problem = problems[0];
        EXPECT_EQ(problem.rule, mistake.rule) << mistake.label << ": " << EntryOf(problem.rule).id;
        EXPECT_EQ(std::to_string(problem.place.line) + ":" + std::to_string(problem.place.column), mistake.where)
            << mistake.label;
        EXPECT_NE((problem.problem + " " + problem.fix).find(mistake.words), std::string::npos)
            << mistake.label << ": " << problem.Describe();
        ASSERT_EQ(problem.edit.has_value(), mistake.fixed.has_value()) << mistake.label;
        if (!problem.edit) continue;
        const auto& edit = *problem.edit;
        if (edit.action == LineEdit::Action::Delete) EXPECT_EQ(*mistake.fixed, "") << mistake.label;
        else EXPECT_EQ(edit.text, *mistake.fixed) << mistake.label;
        EXPECT_TRUE(LintRulesText(ApplyEdit(mistake.text, edit), "r.toml", Lists).empty()) << mistake.label;
    }
}

// Taken literally, "add a pattern for it" under a layout alone makes every name of the layout fail;
// the edit lint gives lets the name in and leaves every other name judged as before.
TEST(RulesLint, AllowingANameBesideALayoutMakesNoOtherNameFail) {
    const std::string text = "[layers]\nformat = '{d}-{m}[-{s:1}]'\nrequired = ['0']\n[layers.fields]\n"
                             "d = ['A', 'S']\nm = ['WALL', 'DOOR']\ns = ['N', 'E']\n";
    const auto problems = LintRulesText(text, "r.toml", Lists);
    ASSERT_EQ(problems.size(), 1u);
    ASSERT_TRUE(problems[0].edit);
    const auto rulesOf = [](const std::string& file) {
        RulesBuilder builder(Lists);
        builder.Add(file, "r.toml");
        return builder.Finish();
    };
    kvstcheck::DrawingNames drawing;
    drawing.layers = {L"0", L"A-WALL", L"S-DOOR-N", L"A-WALL-X", L"A-WAL", L"AWALL", L"A-WALL-NE", L"A-B-C-D"};
    const auto findingsFor = [&](const RuleSet& rules) {
        std::map<std::wstring, std::size_t> found;
        for (const RuleFinding& finding : CheckDrawing(rules, drawing)) ++found[finding.name];
        return found;
    };
    auto before = findingsFor(rulesOf(text));
    const auto after = findingsFor(rulesOf(ApplyEdit(text, *problems[0].edit)));
    EXPECT_EQ(before.erase(L"0"), 1u);
    EXPECT_EQ(after, before);
    EXPECT_EQ(after.count(L"A-WALL"), 0u);
    EXPECT_EQ(after.count(L"AWALL"), 1u);
}

// The audit refuses a file exactly for lint's errors, listed in the same order, by line.
TEST(RulesLint, TheAuditRefusesAFileForLintsErrorsInTheSameOrder) {
    const char* kFiles[] = {
        "[layers]\nrequired = 1\npatterns = 2\n[names]\nspaces = 3\n[layers.properties.'A']\ncolor = 0\n",
        "[text-styles]\nrequired = ['X', 'X']\nformat = 7\npatterns = ['(']\n",
        "\xEF\xBB\xBF[layers]\nrequired = ['0']\npatterns = ['^A$']\n",
        "[layers.properties.'B']\nlineweight = 33\n[layers.properties.'b']\nplot = 1\n",
    };
    for (const char* file : kFiles) {
        RulesBuilder builder(Lists);
        builder.Add(file, "r.toml");
        builder.Finish();
        std::vector<std::string> refused;
        for (const RulesProblem& problem : builder.problems())
            if (problem.severity() == RuleSeverity::Error) refused.push_back(problem.Describe());
        std::vector<std::string> errors;
        for (const RulesProblem& problem : LintRulesText(file, "r.toml", Lists))
            if (problem.severity() == RuleSeverity::Error) errors.push_back(problem.Describe());
        EXPECT_EQ(refused, errors) << file;
        EXPECT_EQ(builder.HasErrors(), !errors.empty()) << file;
        std::vector<std::string> sorted = refused;
        std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
            const auto lineOf = [](const std::string& d) { return std::stoul(d.substr(d.find(':') + 1)); };
            return lineOf(a) < lineOf(b);
        });
        EXPECT_EQ(refused, sorted) << file;
    }
}

std::vector<std::string> Lint(std::string_view text) {
    std::vector<std::string> lines;
    for (const RulesProblem& problem :
         LintRulesText(text, "r.toml", [](const std::string&) { return std::optional<std::string>("WALL\n"); }))
        lines.push_back(problem.place.Describe() + ": " + problem.problem);
    return lines;
}

TEST(RulesLint, FindsWhatTheFileContradicts) {
    const auto lines = Lint(R"([layers]
patterns = ['^[A-Z]-[A-Z]{4}$', 'x[]y', '^0$']
required = ["0", "A-ANNO-TTLB"]
format = "{discipline}-{major}"
[layers.fields]
discipline = ["A"]
major = { csv = "m.csv" }
[layers.properties."A-WALL"]
color = 1
[layers.properties."A-DOOR"]
color = 2
[layers.properties."WALLS"]
plot = true
[linetypes]
patterns = ['^a$b']
colour = 1
[text-styles]
patterns = ['^[A-Z]+$']
required = ["Standard"]
)");
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "r.toml:2:33: pattern 'x[]y' can never match any name",
                         "r.toml:3:18: the required layer \"A-ANNO-TTLB\" matches none of the file's patterns, so every "
                         "drawing that has it gets a finding",
                         "r.toml:10:20: properties for the layer \"A-DOOR\", which has major \"DOOR\", which is not a "
                         "code: a drawing that follows the rules never has it",
                         "r.toml:12:20: properties for the layer \"WALLS\", which matches none of the file's patterns: a "
                         "drawing that follows the rules never has it",
                         "r.toml:15:13: pattern '^a$b' can never match any name",
                         "r.toml:16:1: unknown key [linetypes] colour",
                         "r.toml:19:13: the required text style \"Standard\" matches none of the file's patterns, so "
                         "every drawing that has it gets a finding",
                     }));
}

TEST(RulesLint, AFileWithoutContradictionsIsQuiet) {
    EXPECT_EQ(Lint("[layers]\npatterns = ['^A-.*$', '^0$']\nrequired = ['0']\n[layers.properties.'A-WALL']\ncolor = 1\n"),
              std::vector<std::string>{});
}

// A project's file adds patterns to the office's: on its own it cannot say what they reject.
TEST(RulesLint, PatternsAddedToEarlierFilesRejectNothingOnTheirOwn) {
    EXPECT_EQ(Lint("[layers]\npatterns_add = ['^X-.*$']\nrequired_add = ['A-ANNO']\n[layers.properties.'A-WALL']\n"
                   "lineweight = 50\n"),
              std::vector<std::string>{});
    EXPECT_EQ(Lint("[layers]\npatterns = ['^X-.*$']\npatterns_add = ['^Y$']\nrequired = ['A-ANNO']\n").size(), 1u);
}

TEST(RulesLint, RulesFilesAreKnownByTheirExtension) {
    EXPECT_TRUE(IsRulesFile(L"office.toml"));
    EXPECT_TRUE(IsRulesFile(L"C:\\x\\OFFICE.TOML"));
    EXPECT_FALSE(IsRulesFile(L"KVStPluginDefault.ini"));
    EXPECT_FALSE(IsRulesFile(L"toml"));
}

// Checks handed in from outside the rules library join the file's own problems in line order, and
// judge with the file's decoded text and its whole rule set.
TEST(RulesLint, MoreChecksJoinInLineOrderWithTheRuleSet) {
    const std::string text = "[fix.layers]\n'A' = 'B'\n[layers]\nrequired = 1\npatterns = ['^A$']\n'x' = 2\n";
    std::size_t patternsSeen = 0;
    const MoreChecks more = [&](std::string_view decoded, const std::string& file, const RuleSet& rules) {
        patternsSeen = rules.of(NameKind::Layer).patterns.size();
        EXPECT_EQ(decoded, text);
        return std::vector<RulesProblem>{{LintRule::FixTarget, Place{file, 5, 1}, "later", "f"},
                                         {LintRule::FixEntry, Place{file, 2, 1}, "earlier", "f"}};
    };
    // As saved by an editor that writes UTF-16 with its byte order mark.
    std::string utf16 = "\xFF\xFE";
    for (const char c : text) utf16 += std::string{c, '\0'};
    for (const std::string& saved : {text, utf16}) {
        std::vector<std::pair<std::size_t, LintRule>> found;
        for (const RulesProblem& problem : LintRulesText(saved, "r.toml", Lists, more))
            found.emplace_back(problem.place.line, problem.rule);
        const std::vector<std::pair<std::size_t, LintRule>> expected = {
            {2, LintRule::FixEntry}, {4, LintRule::WrongType}, {5, LintRule::FixTarget}, {6, LintRule::UnknownKey}};
        EXPECT_EQ(found, expected);
        EXPECT_EQ(patternsSeen, 1u);
    }
}

}  // namespace
