#include "kvstcheck/rules/RulesLint.h"

#include <gtest/gtest.h>

namespace {

using namespace kvstcheck::rules;

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

}  // namespace
