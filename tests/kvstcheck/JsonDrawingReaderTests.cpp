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
        BrokenInput{"ObjectName", "{\"Linetypes\": [{}]}", 1, "\"Linetypes\" holds an object"}),
    kvtest::LabelOf);

}  // namespace
