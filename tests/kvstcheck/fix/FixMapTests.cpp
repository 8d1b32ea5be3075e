#include "kvstcheck/fix/FixMap.h"

#include <gtest/gtest.h>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RulesFile.h"

namespace {

using namespace kvstcheck::fix;
using kvstcheck::ToUtf8;
using kvstcheck::rules::NameKind;

std::string Renames(const FixMap& map) {
    std::string text;
    for (const NameKind kind : kvstcheck::rules::kKinds)
        for (const MapEntry& entry : map.of(kind))
            text += std::string(kvstcheck::rules::SectionOf(kind)) + ":" + ToUtf8(entry.from) + ">" + ToUtf8(entry.to) + "@" +
                    std::to_string(entry.place.line) + ";";
    return text;
}

std::string Messages(const Problems& problems) {
    std::string text;
    for (const auto& problem : problems) {
        EXPECT_FALSE(problem.fix.empty()) << problem.problem;
        text += problem.place.Describe() + ": " + problem.problem + "\n";
    }
    return text;
}

struct CsvCase {
    const char* label;
    std::string bytes;
    std::string renames;  // as Renames writes them
    std::string problem;  // a part of the first problem; empty for none
};

class CsvMapTest : public testing::TestWithParam<CsvCase> {};

TEST_P(CsvMapTest, ReadsRowsOrSaysWhatIsWrong) {
    FixMap map;
    Problems problems;
    AddCsvMap(GetParam().bytes, "m.csv", map, problems);
    EXPECT_EQ(Renames(map), GetParam().renames);
    if (GetParam().problem.empty())
        EXPECT_TRUE(problems.empty()) << Messages(problems);
    else
        EXPECT_NE(Messages(problems).find(GetParam().problem), std::string::npos) << Messages(problems);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvMapTest,
    testing::Values(
        CsvCase{"Commas", "kind,from,to\nlayers,WALLS,A-WALL\nlinetypes,dash,DASHED\n",
                "layers:WALLS>A-WALL@2;linetypes:dash>DASHED@3;", ""},
        CsvCase{"SemicolonsFromTheHeader", "kind;from;to\r\ntext-styles;Arial,bold;TXT-B\r\n",
                "text-styles:Arial,bold>TXT-B@2;", ""},
        CsvCase{"ByteOrderMarkAndBlankLines", "\xEF\xBB\xBFkind,from,to\n\nlayers,a,B\n  \n", "layers:a>B@3;", ""},
        CsvCase{"QuotedDelimiterAndQuote", "kind,from,to\ndimension-styles,\"x,\"\"y\"\"\",DIM\n",
                "dimension-styles:x,\"y\">DIM@2;", ""},
        CsvCase{"UnicodeNames", "kind,from,to\nlayers,墙,A-WALL\n", "layers:墙>A-WALL@2;", ""},
        CsvCase{"NoHeader", "layers,WALLS,A-WALL\n", "", "m.csv:1:1: the first line must be the header"},
        CsvCase{"UnknownKind", "kind,from,to\nblocks,A,B\n", "", "m.csv:2:1: unknown kind \"blocks\""},
        CsvCase{"TwoFields", "kind,from,to\nlayers,A\n", "", "m.csv:2:1: a row must have three fields"},
        CsvCase{"EmptyTarget", "kind,from,to\nlayers,A,\n", "", "needs a name and its target"},
        CsvCase{"OpenQuote", "kind,from,to\nlayers,\"A,B\n", "", "three fields"},
        CsvCase{"NotUtf8", "kind,from,to\nlayers,\xC4,B\n", "", "not UTF-8"}),
    [](const testing::TestParamInfo<CsvCase>& info) { return info.param.label; });

TEST(FixTablesTest, ReadsTheFixTablesAndAutoOfARulesFile) {
    FixMap map;
    Problems problems;
    AddRulesFixTables("[layers]\npatterns = [\"^A-.*\"]\n[fix.layers]\n\"A-WALL-OLD\" = \"A-WALL\"\nWALLS = \"A-WALL\"\n"
                      "[fix.text-styles]\nold = \"NEW\"\n[fix]\nauto = [\"letter-case\", \"invisible\"]\n",
                      "r.toml", map, problems);
    EXPECT_TRUE(problems.empty()) << Messages(problems);
    EXPECT_EQ(Renames(map), "layers:A-WALL-OLD>A-WALL@4;layers:WALLS>A-WALL@5;text-styles:old>NEW@7;");
    EXPECT_TRUE(map.autoLetterCase);
    EXPECT_TRUE(map.autoInvisible);
}

struct BadTables {
    const char* label;
    std::string text;
    std::string problem;
};

class FixTablesProblemTest : public testing::TestWithParam<BadTables> {};

TEST_P(FixTablesProblemTest, NamesThePlace) {
    FixMap map;
    Problems problems;
    AddRulesFixTables(GetParam().text, "r.toml", map, problems);
    EXPECT_NE(Messages(problems).find(GetParam().problem), std::string::npos) << Messages(problems);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixTablesProblemTest,
    testing::Values(BadTables{"UnknownAuto", "[fix]\nauto = [\"spelling\"]\n", "r.toml:2:9: [fix] auto: unknown entry"},
                    BadTables{"AutoNotAList", "[fix]\nauto = \"letter-case\"\n", "[fix] auto must be a list"},
                    BadTables{"TargetNotText", "[fix.layers]\nA = 3\n", "[fix.layers] \"A\" must be a name in quotes"},
                    BadTables{"UnknownKind", "[fix.blocks]\nA = \"B\"\n", "unknown key [fix] blocks"}),
    [](const testing::TestParamInfo<BadTables>& info) { return info.param.label; });

TEST(FixTablesTest, TheRulesLoaderLeavesTheFixTablesToTheFix) {
    kvstcheck::rules::RulesBuilder builder([](const std::string&) { return std::nullopt; });
    builder.Add("[fix.layers]\nA = \"B\"\n[fix]\nauto = [\"letter-case\"]\n", "r.toml");
    builder.Finish();
    EXPECT_TRUE(builder.problems().empty());
}

struct CheckCase {
    const char* label;
    std::string csv;
    std::string problems;  // a part of the problems; empty for none
};

class CheckMapTest : public testing::TestWithParam<CheckCase> {};

// The standard here allows A-WALL and A-DOOR for layers, anything else for other kinds.
TEST_P(CheckMapTest, RefusesWhatCannotBeMeant) {
    FixMap map;
    Problems problems;
    AddCsvMap("kind,from,to\n" + GetParam().csv, "m.csv", map, problems);
    ASSERT_TRUE(problems.empty()) << Messages(problems);
    CheckMap(map,
             [](NameKind kind, std::u32string_view target) {
                 return kind != NameKind::Layer || target == U"A-WALL" || target == U"A-DOOR";
             },
             problems);
    if (GetParam().problems.empty())
        EXPECT_TRUE(problems.empty()) << Messages(problems);
    else
        EXPECT_NE(Messages(problems).find(GetParam().problems), std::string::npos) << Messages(problems);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckMapTest,
    testing::Values(
        CheckCase{"Allowed", "layers,WALLS,A-WALL\nlayers,walls,A-WALL\nlinetypes,x,ANY\n", ""},
        CheckCase{"TargetNotAllowed", "layers,WALLS,A-WAL\n", "m.csv:2:1: [fix.layers] \"WALLS\" = \"A-WAL\": \"A-WAL\" is not a name the standard and the rules allow"},
        // The plug-in compares exactly: a target in other letters is a finding still.
        CheckCase{"TargetInOtherLetterCase", "layers,WALLS,a-wall\n", "\"a-wall\" is not a name the standard"},
        CheckCase{"TwoTargetsIgnoringCase", "layers,WALLS,A-WALL\nlayers,walls,A-DOOR\n",
                  "m.csv:3:1: [fix.layers] \"walls\" = \"A-DOOR\": \"walls\" is also mapped to \"A-WALL\" at m.csv:2:1"},
        CheckCase{"ReservedName", "layers,Defpoints,A-WALL\n", "\"Defpoints\" is never renamed"},
        CheckCase{"ReservedLinetype", "linetypes,continuous,DASHED\n", "\"continuous\" is never renamed"},
        CheckCase{"ExternalName", "layers,XREF|WALLS,A-WALL\n", "a name from an external reference"}),
    [](const testing::TestParamInfo<CheckCase>& info) { return info.param.label; });

// Rules lint has no standard: it judges targets by the file's own patterns.
TEST(FixTablesTest, LintJudgesTargetsByTheFilesPatterns) {
    const std::string text = "[layers]\npatterns = ['^A-[A-Z]{4}$']\n[fix.layers]\nWALLS = \"A-WALL\"\nOLD = \"A-WALLS\"\n"
                             "\"X|WALLS\" = \"A-WALL\"\n[fix.linetypes]\nhidden2 = \"anything\"\n";
    kvstcheck::rules::RulesBuilder builder([](const std::string&) { return std::nullopt; });
    builder.Add(text, "r.toml");
    const auto ruleSet = builder.Finish();
    ASSERT_TRUE(builder.problems().empty());
    const std::string problems = Messages(LintFixTables(text, "r.toml", ruleSet));
    EXPECT_EQ(problems, "r.toml:5:1: [fix.layers] \"OLD\" = \"A-WALLS\": \"A-WALLS\" is not a name the standard and the rules allow\n"
                        "r.toml:6:1: [fix.layers] \"X|WALLS\" = \"A-WALL\": a name from an external reference is left as it is\n");
}

TEST(FixMapFindTest, MatchesIgnoringLetterCase) {
    FixMap map;
    Problems problems;
    AddCsvMap("kind,from,to\nlayers,Wände,A-WALL\n", "m.csv", map, problems);
    ASSERT_NE(map.Find(NameKind::Layer, U"WÄNDE"), nullptr);
    EXPECT_EQ(map.Find(NameKind::Layer, U"WÄNDE")->to, U"A-WALL");
    EXPECT_EQ(map.Find(NameKind::Linetype, U"WÄNDE"), nullptr);
    EXPECT_EQ(map.Find(NameKind::Layer, U"WAND"), nullptr);
}

}  // namespace
