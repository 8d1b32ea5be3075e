#include "kvstcheck/fix/FixPlan.h"

#include <gtest/gtest.h>

namespace {

using namespace kvstcheck::fix;
using kvstcheck::rules::NameKind;

const std::string kHash(64, 'a');

FixPlan FullPlan() {
    FixPlan plan{"C:\\std\\office.ini", std::string(64, 'f'), {}};
    DrawingPlan drawing;
    drawing.path = "plans\\墙 1.dxf";
    drawing.below = "墙 1.dxf";
    drawing.sha256 = kHash;
    drawing.renames = {{NameKind::Layer, "WALLS", "A-WALL", RenameSource::Map, true, 12},
                       {NameKind::TextStyle, "romans", "ROMANS", RenameSource::LetterCase, false, 3}};
    drawing.properties = {{"A-WALL", 3, "DASHED", 25, false}, {"0", std::nullopt, std::nullopt, std::nullopt, true}};
    drawing.left = {{120, "the expression of a layer filter", "a filter's expression is left as written"}};
    drawing.unmapped = {{"layer", "Misc", ""}, {"layer", "x", "layer \"x\" matches none of the patterns"}};
    plan.drawings.push_back(drawing);
    DrawingPlan refused;
    refused.path = "b.dxf";
    refused.below = "b.dxf";
    refused.sha256 = std::string(64, '0');
    refused.refusal = "two layers \"A\" and \"a\" differ only in letter case (line 40)";
    plan.drawings.push_back(refused);
    return plan;
}

TEST(FixPlanTest, ReadsBackWhatItWrites) { EXPECT_EQ(PlanFromJson(PlanToJson(FullPlan())), FullPlan()); }

struct BadPlan {
    const char* label;
    std::string from, to;  // replaced in the full plan's JSON
    std::string problem;
};

class FixPlanErrorTest : public testing::TestWithParam<BadPlan> {};

TEST_P(FixPlanErrorTest, SaysWhatIsWrong) {
    std::string json = PlanToJson(FullPlan());
    const auto at = json.find(GetParam().from);
    ASSERT_NE(at, std::string::npos) << GetParam().from;
    json.replace(at, GetParam().from.size(), GetParam().to);
    try {
        PlanFromJson(json);
        ADD_FAILURE() << "read a broken plan";
    } catch (const PlanError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().problem), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixPlanErrorTest,
    testing::Values(BadPlan{"NotJson", "{", "[", "not a JSON document"},
                    BadPlan{"OtherVersion", "\"schemaVersion\": 1", "\"schemaVersion\": 2", "schemaVersion is not 1"},
                    BadPlan{"ShortHash", "\"sha256\": \"aaaa", "\"sha256\": \"a", "is not 64 lower-case hex digits"},
                    BadPlan{"UnknownKind", "\"kind\": \"layers\"", "\"kind\": \"blocks\"", "unknown kind \"blocks\""},
                    BadPlan{"UnknownSource", "\"source\": \"map\"", "\"source\": \"guess\"", "unknown rename source"},
                    BadPlan{"ReferencesAsText", "\"references\": 12", "\"references\": \"12\"", "of another type"},
                    BadPlan{"NoDrawings", "\"drawings\"", "\"drawing\"", "a field is missing"}),
    [](const testing::TestParamInfo<BadPlan>& info) { return info.param.label; });

struct Formatted {
    const char* label;
    std::string text;  // a line FormatPlan or PlanToCsv must hold
};

class FixPlanTextTest : public testing::TestWithParam<Formatted> {};

TEST_P(FixPlanTextTest, ShowsEachPartOfThePlan) {
    const FixPlan plan = FullPlan();
    const std::string text = FormatPlan(plan.drawings[0]) + FormatPlan(plan.drawings[1]) + PlanToCsv(plan);
    EXPECT_NE(text.find(GetParam().text), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixPlanTextTest,
    testing::Values(Formatted{"Merge", "  layer \"WALLS\" -> \"A-WALL\" (merged): 12 references\n"},
                    Formatted{"AutoRename", "  text style \"romans\" -> \"ROMANS\": 3 references [letter-case]\n"},
                    Formatted{"Properties", "  layer \"A-WALL\" properties: color 3 linetype DASHED lineweight 25 not plotted\n"},
                    Formatted{"Left", "  left at line 120, the expression of a layer filter: a filter's expression"},
                    Formatted{"Unmapped", "  still a finding: layer \"Misc\": nothing maps it\n"},
                    Formatted{"RuleFinding", "  still a finding: layer \"x\" matches none of the patterns\n"},
                    Formatted{"Refusal", "b.dxf: refused, left as it is: two layers \"A\" and \"a\" differ only in letter case (line 40)\n"},
                    Formatted{"CsvHeader", "drawing,action,kind,from,to,references,reason\r\n"},
                    Formatted{"CsvMerge", "plans\\墙 1.dxf,merge,layers,WALLS,A-WALL,12,map\r\n"},
                    Formatted{"CsvQuoted", "b.dxf,refused,,,,,\"two layers \"\"A\"\" and \"\"a\"\" differ"}),
    [](const testing::TestParamInfo<Formatted>& info) { return info.param.label; });

TEST(FixPlanTest, ChangesOnlyWithoutARefusal) {
    const FixPlan plan = FullPlan();
    EXPECT_TRUE(plan.drawings[0].Changes());
    EXPECT_FALSE(plan.drawings[1].Changes());
    EXPECT_TRUE(plan.drawings[1].Failed());
    EXPECT_FALSE(plan.drawings[0].Failed());
}

}  // namespace
