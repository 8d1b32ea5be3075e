#include "kvstcheck/rules/RulesFile.h"

#include <gtest/gtest.h>

#include <map>

#include "kvstcheck/CodePoints.h"

namespace {

using namespace kvstcheck::rules;

// Code lists by path, as if beside the rules files.
std::optional<std::string> CodeLists(const std::string& path) {
    static const std::map<std::string, std::string> kFiles = {
        {"office/major.csv", "\xEF\xBB\xBF" "code,meaning\r\nWALL,walls\r\n# retired: OLDW\r\n\"DO,OR\",doors\r\n\r\n"},
        {"major.csv", "FLOR\n"},
    };
    const auto found = kFiles.find(path);
    if (found == kFiles.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> Problems(std::string_view text) {
    RulesBuilder builder(CodeLists);
    builder.Add(text, "r.toml");
    builder.Finish();
    std::vector<std::string> problems;
    for (const RulesProblem& problem : builder.problems()) {
        EXPECT_FALSE(problem.fix.empty()) << problem.problem;
        problems.push_back(problem.place.Describe() + ": " + problem.problem);
    }
    return problems;
}

struct BadFile {
    const char* label;
    std::string text;
    std::string where;    // "r.toml:LINE:COLUMN"
    std::string problem;  // a part of the message
};

const BadFile kBadFiles[] = {
    {"NotToml", "[layers]\npatterns = [\n", "r.toml:2:14", "not a TOML file"},
    {"NotTomlKey", "[layers]\n\npatterns ~ 1\n", "r.toml:3:10", "not a TOML file"},
    {"NulInAHeader", std::string("[layers]\n[\0x]\n", 14), "r.toml:2:2", "not a text file: the byte 0x00 (NUL)"},
    {"LoneCarriageReturn", "[layers]\r\npatterns = []\r", "r.toml:2:14", "control character"},
    {"HeaderOpensBadly", "[layers]\n[`x]\n", "r.toml:2:2", "not a TOML file"},
    {"KeyBeyondAscii", "[layers]\npattern\xCE\x80 = []\n", "r.toml:2:8", "a character beyond ASCII outside quotes"},
    // The parser reads a bare word on past a quote glued to it, and skips white space after a
    // backslash in a multi-line string: text beyond ASCII there would meet its faulty tables.
    {"QuoteGluedToANumber", "[layers]\nrequired = [1\"\xC3\xA9\"]\n", "r.toml:2:15", "beyond ASCII outside quotes"},
    {"QuoteGluedToASign", "[layers]\nrequired = [-'\xD0\x96']\n", "r.toml:2:15", "beyond ASCII outside quotes"},
    {"QuoteGluedToADate", "[layers]\nrequired = 1979-05-27T07:32:00\"\xC3\xA9\"\n", "r.toml:2:32", "beyond ASCII outside quotes"},
    {"BackslashBeforeALetter", "[layers]\nrequired = [\"\"\"a\\\xC3\xA9\"\"\"]\n", "r.toml:2:17",
     "beyond ASCII after a backslash in a multi-line string"},
    {"LineEndingBackslash", "[layers]\nrequired = [\"\"\"a\\\r\n  \n\t\xC3\xA9\"\"\"]\n", "r.toml:2:17",
     "beyond ASCII after a backslash in a multi-line string"},
    {"UnknownSection", "[layers]\n[layer]\n", "r.toml:2:2", "unknown section [layer]"},
    {"UnknownKey", "[linetypes]\npattern = ['a']\n", "r.toml:2:1", "unknown key [linetypes] pattern"},
    {"PropertiesOnlyForLayers", "[linetypes.properties.\"A\"]\ncolor = 1\n", "r.toml:1:12",
     "unknown key [linetypes] properties"},
    {"SectionNotATable", "layers = 1\n", "r.toml:1:10", "[layers] must be a table, found an integer"},
    {"PatternsNotAList", "[layers]\npatterns = '^A'\n", "r.toml:2:12", "must be a list of strings, found a string"},
    {"PatternNotAString", "[layers]\npatterns = ['^A', 5]\n", "r.toml:2:19", "holds an integer"},
    {"PatternDoesNotCompile", "[layers]\n\npatterns = ['^A', 'B(?=C)']\n", "r.toml:3:19",
     "'B(?=C)' does not compile: at character 2 of the pattern: look-ahead"},
    {"RequiredNotStrings", "[text-styles]\nrequired = [true]\n", "r.toml:2:13", "holds true or false"},
    {"FormatNotAString", "[layers]\nformat = ['{a}']\n", "r.toml:2:10", "format must be a string"},
    {"FormatWithoutCodes", "[layers]\nformat = '{discipline}-{major}'\n[layers.fields]\ndiscipline = ['A']\n",
     "r.toml:2:10", "at character 14: the field {major} has no codes"},
    {"CodeListMissing", "[layers.fields]\nmajor = { csv = 'none.csv' }\n", "r.toml:2:17",
     "cannot read the code list none.csv"},
    {"CodeListBadTable", "[layers.fields]\nmajor = { file = 'major.csv' }\n", "r.toml:2:9",
     "must be a list of codes or { csv"},
    {"ColorZero", "[layers.properties.\"A\"]\ncolor = 0\n", "r.toml:2:9", "colour number from 1 to 255, found 0"},
    {"ColorTooLarge", "[layers.properties.\"A\"]\ncolor = 256\n", "r.toml:2:9", "found 256"},
    {"ColorText", "[layers.properties.\"A\"]\ncolor = 'red'\n", "r.toml:2:9", "found \"red\""},
    {"LineweightOdd", "[layers.properties.\"A\"]\nlineweight = 212\n", "r.toml:2:14", "from 0 to 211"},
    {"LineweightWord", "[layers.properties.\"A\"]\nlineweight = 'thin'\n", "r.toml:2:14", "or \"default\""},
    {"LineweightFraction", "[layers.properties.\"A\"]\nlineweight = 0.35\n", "r.toml:2:14", "with a fraction"},
    {"PlotNumber", "[layers.properties.\"A\"]\nplot = 1\n", "r.toml:2:8", "must be true or false, found 1"},
    {"LinetypeNumber", "[layers.properties.\"A\"]\nlinetype = 2\n", "r.toml:2:12", "must be a string"},
    {"UnknownProperty", "[layers.properties.\"A\"]\ncolour = 1\n", "r.toml:2:1", "unknown key"},
    {"CheckNotBool", "[names]\nspaces = 'no'\n", "r.toml:2:10", "[names] spaces must be true or false"},
    {"UnknownCheck", "[names]\ntabs = false\n", "r.toml:2:1", "unknown key [names] tabs"},
};

TEST(RulesFile, ProblemsNameTheLineTheColumnAndTheFix) {
    for (const BadFile& bad : kBadFiles) {
        const auto problems = Problems(bad.text);
        ASSERT_EQ(problems.size(), 1u) << bad.label << ": " << ::testing::PrintToString(problems);
        EXPECT_TRUE(problems[0].starts_with(bad.where + ": ")) << bad.label << ": " << problems[0];
        EXPECT_NE(problems[0].find(bad.problem), std::string::npos) << bad.label << ": " << problems[0];
    }
}

// Text beyond ASCII is fine in quotes and comments, of every kind.
TEST(RulesFile, NamesInAnyScriptInQuotesAndComments) {
    RulesBuilder builder(CodeLists);
    builder.Add("# Möbel \xE2\x80\x94 furniture\n[layers]\nrequired = [\"\xE5\x9B\xBE\\\"\xE5\xB1\x82\", 'M\xC3\xB6" "bel', "
                "\"\"\"\n\xC3\xA4\"\"\"]  # \xC3\xA4\n[layers.properties.'\xC3\xA4']\ncolor = 1\n"
                "[layers.properties.\"\xC3\xB6\\\\\"]\nlinetype=\"\"\"\\\\\xC3\xB6\\u00e9\\\n  x\"\"\"\n",
                "r.toml");
    const RuleSet rules = builder.Finish();
    ASSERT_TRUE(builder.problems().empty()) << builder.problems().front().Describe();
    EXPECT_EQ(rules.of(NameKind::Layer).required.size(), 3u);
    ASSERT_EQ(rules.layers.size(), 2u);
    EXPECT_EQ(rules.layers[0].name, U"\u00E4");
    EXPECT_EQ(rules.layers[1].name, U"\u00F6\\");
    EXPECT_EQ(rules.layers[1].linetype, U"\\\u00F6\u00E9x");
}

TEST(RulesFile, EveryProblemOfAFileIsReported) {
    EXPECT_EQ(Problems("[layers]\npatterns = ['(']\nrequired = 1\n[x]\n").size(), 3u);
}

TEST(RulesFile, ReadsEverySection) {
    RulesBuilder builder(CodeLists);
    builder.Add(R"([layers]
patterns = ['^[A-Z]-[A-Z]{4}$', '^0$']
required = ["0", "A-ANNO"]
format = "{discipline}-{major}"
[layers.fields]
discipline = ["A"]
major = { csv = "major.csv" }
[layers.properties."A-WALL"]
color = 1
linetype = "Continuous"
lineweight = "default"
plot = false
[linetypes]
required = ["Continuous"]
[text-styles]
patterns = ['^Standard$']
[dimension-styles]
required = ["ISO-25"]
[names]
spaces = false
)",
                "office/rules.toml");
    const RuleSet rules = builder.Finish();
    ASSERT_TRUE(builder.problems().empty()) << builder.problems().front().Describe();
    const KindRules& layers = rules.of(NameKind::Layer);
    ASSERT_EQ(layers.patterns.size(), 2u);
    EXPECT_EQ(layers.patterns[1].place.Describe(), "office/rules.toml:2:33");
    EXPECT_TRUE(layers.patterns[0].compiled->Matches(U"A-WALL"));
    ASSERT_EQ(layers.required.size(), 2u);
    EXPECT_EQ(layers.required[1].name, U"A-ANNO");
    ASSERT_TRUE(layers.format);
    EXPECT_EQ(layers.format->Check(U"A-WALL").problems.size(), 0u);  // from the code list beside the file
    EXPECT_EQ(layers.format->Check(U"A-DO,OR").problems.size(), 0u);
    EXPECT_EQ(layers.format->Check(U"A-code").problems.size(), 1u);  // the header is not a code
    EXPECT_EQ(layers.format->Check(U"A-OLDW").problems.size(), 1u);  // nor a comment
    ASSERT_EQ(rules.layers.size(), 1u);
    EXPECT_EQ(rules.layers[0].color, 1);
    EXPECT_EQ(rules.layers[0].linetype, U"Continuous");
    EXPECT_EQ(rules.layers[0].lineweight, kDefaultLineweight);
    EXPECT_EQ(rules.layers[0].plot, false);
    EXPECT_EQ(rules.of(NameKind::Linetype).required.size(), 1u);
    EXPECT_EQ(rules.of(NameKind::TextStyle).patterns.size(), 1u);
    EXPECT_EQ(rules.of(NameKind::DimStyle).required.size(), 1u);
    EXPECT_FALSE(rules.checks.spaces);
    EXPECT_TRUE(rules.checks.characters);
}

std::vector<std::u32string> Texts(const std::vector<RequiredName>& required) {
    std::vector<std::u32string> names;
    for (const auto& r : required) names.push_back(r.name);
    return names;
}

TEST(RulesFile, LaterFilesReplaceKeysAndAddToLists) {
    RulesBuilder builder(CodeLists);
    builder.Add(R"([layers]
patterns = ['^A-.*$']
required = ["0", "A-ANNO"]
[layers.properties."A-WALL"]
color = 1
lineweight = 35
[linetypes]
required = ["Continuous"]
[names]
letter-case = false
)",
                "office.toml");
    builder.Add(R"([layers]
patterns_add = ['^X-.*$']
required_add = ["X-SURV"]
[layers.properties."A-WALL"]
lineweight = 50
[layers.properties."A-DOOR"]
plot = false
[linetypes]
required = ["DASHED"]
)",
                "project.toml");
    const RuleSet rules = builder.Finish();
    ASSERT_TRUE(builder.problems().empty());
    const KindRules& layers = rules.of(NameKind::Layer);
    ASSERT_EQ(layers.patterns.size(), 2u);
    EXPECT_EQ(layers.patterns[1].place.file, "project.toml");
    EXPECT_EQ(Texts(layers.required), (std::vector<std::u32string>{U"0", U"A-ANNO", U"X-SURV"}));
    EXPECT_EQ(Texts(rules.of(NameKind::Linetype).required), std::vector<std::u32string>{U"DASHED"});
    ASSERT_EQ(rules.layers.size(), 2u);
    EXPECT_EQ(rules.layers[0].color, 1);  // kept from the office
    EXPECT_EQ(rules.layers[0].lineweight, 50);
    EXPECT_EQ(rules.layers[1].plot, false);
    EXPECT_FALSE(rules.checks.letterCase);  // not given again: kept
    EXPECT_EQ(rules.files, (std::vector<std::string>{"office.toml", "project.toml"}));
}

TEST(RulesFile, ALaterListReplacesAnEarlierOne) {
    RulesBuilder builder(CodeLists);
    builder.Add("[layers]\npatterns = ['^A$']\n", "a.toml");
    builder.Add("[layers]\npatterns = ['^B$']\n", "b.toml");
    const RuleSet rules = builder.Finish();
    ASSERT_EQ(rules.of(NameKind::Layer).patterns.size(), 1u);
    EXPECT_EQ(rules.of(NameKind::Layer).patterns[0].text, "^B$");
}

TEST(RulesFile, ProblemsOfSeveralFilesNameTheirFile) {
    RulesBuilder builder(CodeLists);
    builder.Add("[layers]\npatterns = ['(']\n", "a.toml");
    builder.Add("[bad]\n", "b.toml");
    ASSERT_EQ(builder.problems().size(), 2u);
    EXPECT_EQ(builder.problems()[0].place.file, "a.toml");
    EXPECT_EQ(builder.problems()[1].place.Describe(), "b.toml:1:2");
}

}  // namespace
