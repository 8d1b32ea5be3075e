#include "kvstcheck/readers/JsonDrawingReader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/kvstcheck/BrokenInput.h"

namespace {

using kvstcheck::DrawingNames;
using kvstcheck::ReadJsonDrawing;

TEST(JsonDrawingReader, ReadsEveryKindInOrder) {
    const auto names = ReadJsonDrawing(
        "\xEF\xBB\xBF{\"DimStyles\": [\"ISO-25\"], \"Layers\": [\"0\", \"\xE5\x9B\xBE\xE5\xB1\x82\", \"0\", \"\"],\n"
        " \"TextStyles\": [\"Standard\", \" x \"], \"Linetypes\": [\"Continuous\", \"a\\u00e4\\\"\"]}");
    const DrawingNames expected = {{L"0", L"\u56FE\u5C42", L"0", L""},
                                   {L"Continuous", L"a\u00E4\""},
                                   {L"Standard", L" x "},
                                   {L"ISO-25"}};
    EXPECT_EQ(names, expected);
}

TEST(JsonDrawingReader, KindsLeftOutHaveNoNames) {
    EXPECT_EQ(ReadJsonDrawing("{}"), DrawingNames{});
    EXPECT_EQ(ReadJsonDrawing(" { \"Linetypes\" : [ ] }\n"), DrawingNames{});
    EXPECT_EQ(ReadJsonDrawing("{\"TextStyles\": [\"T\"]}").textStyles, std::vector<std::wstring>{L"T"});
}

TEST(JsonDrawingReader, LayersMayComeWithTheirProperties) {
    const auto names = ReadJsonDrawing(R"({"Layers": ["0", {"name": "A-WALL", "color": -1, "linetype": "DASHED",
        "lineweight": 35, "plot": false}, {"plot": true, "name": "A-DOOR"}]})");
    EXPECT_EQ(names.layers, (std::vector<std::wstring>{L"0", L"A-WALL", L"A-DOOR"}));
    kvstcheck::LayerProperties wall;
    wall.color = -1;
    wall.linetype = L"DASHED";
    wall.lineweight = 35;
    wall.plot = false;
    EXPECT_EQ(names.layerProperties,
              (std::vector<std::optional<kvstcheck::LayerProperties>>{std::nullopt, wall, kvstcheck::LayerProperties{}}));
    EXPECT_TRUE(ReadJsonDrawing(R"({"Layers": ["0", "A"]})").layerProperties.empty());
}

using kvtest::BrokenInput;

class JsonBroken : public ::testing::TestWithParam<BrokenInput> {};

TEST_P(JsonBroken, GivesTheLineAndTheProblem) { kvtest::ExpectInputError(ReadJsonDrawing, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonBroken,
    ::testing::Values(
        BrokenInput{"Empty", "", 1, "invalid JSON"},
        BrokenInput{"SyntaxError", "{\n\"Layers\": [\n\"a\",,\n]}", 3, "invalid JSON"},
        BrokenInput{"Unterminated", "{\"Layers\": [\"a\"\n", 2, "invalid JSON"},
        BrokenInput{"TrailingText", "{}\n\nx", 3, "invalid JSON"},
        BrokenInput{"BadUtf8", "{\"Layers\": [\"\xC3(\"]}", 1, "invalid JSON"},
        BrokenInput{"NumberTooLarge", "{\"Layers\": [\n1e99999]}", 2, "invalid JSON: number overflow"},
        BrokenInput{"TopLevelList", "[\"a\"]", 1, "must be a JSON object"},
        BrokenInput{"TopLevelString", "\n\"a\"", 2, "must be a JSON object"},
        BrokenInput{"UnknownKey", "{\n\"Layers\": [],\n\"layers\": []}", 3, "unknown key \"layers\""},
        BrokenInput{"KeyTwice", "{\"Layers\": [],\n \"Layers\": []}", 2, "given twice"},
        BrokenInput{"KindNotAList", "{\"Layers\": \"0\"}", 1, "\"Layers\" must be a list"},
        BrokenInput{"KindIsAnObject", "{\"Layers\": [], \"DimStyles\": {}}", 1, "\"DimStyles\" must be a list"},
        BrokenInput{"NumberName", "{\n\"Layers\": [\n12\n]}", 3, "\"Layers\" holds a number"},
        BrokenInput{"NullName", "{\"TextStyles\": [\"a\",\n null]}", 2, "\"TextStyles\" holds null"},
        BrokenInput{"NestedList", "{\"Linetypes\": [[\"a\"]]}", 1, "\"Linetypes\" holds a list"},
        BrokenInput{"ObjectName", "{\"Linetypes\": [{}]}", 1, "\"Linetypes\" holds an object"},
        BrokenInput{"LayerWithoutName", "{\"Layers\": [\n{\"color\": 1}]}", 2, "needs its \"name\""},
        BrokenInput{"LayerUnknownKey", "{\"Layers\": [{\"name\": \"A\",\n \"colour\": 1}]}", 2,
                    "unknown key \"colour\" in a layer"},
        BrokenInput{"LayerColorZero", "{\"Layers\": [{\"name\": \"A\", \"color\":\n0}]}", 2, "from 1 to 255"},
        BrokenInput{"LayerColorLarge", "{\"Layers\": [{\"name\": \"A\", \"color\": 256}]}", 1, "from 1 to 255"},
        BrokenInput{"LayerColorHuge", "{\"Layers\": [{\"name\": \"A\", \"color\": 18446744073709551615}]}", 1,
                    "from 1 to 255"},
        BrokenInput{"LayerLineweightOdd", "{\"Layers\": [{\"name\": \"A\", \"lineweight\": 300}]}", 1,
                    "from 0 to 211"},
        BrokenInput{"LayerPlotText", "{\"Layers\": [{\"name\": \"A\", \"plot\": \"no\"}]}", 1,
                    "\"plot\" cannot be a string"},
        BrokenInput{"LayerNameNumber", "{\"Layers\": [{\"name\": 5}]}", 1, "\"name\" cannot be a number"},
        BrokenInput{"LayerInLayer", "{\"Layers\": [{\"name\": {}}]}", 1, "cannot be an object"}),
    kvtest::LabelOf);

}  // namespace
