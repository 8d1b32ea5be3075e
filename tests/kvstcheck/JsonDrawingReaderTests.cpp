#include "kvstcheck/JsonDrawingReader.h"

#include <gtest/gtest.h>

#include <string>

#include "kvstcheck/InputError.h"

namespace {

using kvstcheck::DrawingNames;
using kvstcheck::InputError;
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

struct BrokenCase {
    const char* label;
    std::string text;
    int line;
    std::string problem;
};

class JsonBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(JsonBroken, GivesTheLineAndTheProblem) {
    const BrokenCase& c = GetParam();
    try {
        ReadJsonDrawing(c.text);
        FAIL() << "no error";
    } catch (const InputError& error) {
        EXPECT_EQ(error.line(), c.line) << error.what();
        EXPECT_NE(std::string(error.what()).find(c.problem), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonBroken,
    ::testing::Values(
        BrokenCase{"Empty", "", 1, "invalid JSON"},
        BrokenCase{"SyntaxError", "{\n\"Layers\": [\n\"a\",,\n]}", 3, "invalid JSON"},
        BrokenCase{"Unterminated", "{\"Layers\": [\"a\"\n", 2, "invalid JSON"},
        BrokenCase{"TrailingText", "{}\n\nx", 3, "invalid JSON"},
        BrokenCase{"BadUtf8", "{\"Layers\": [\"\xC3(\"]}", 1, "invalid JSON"},
        BrokenCase{"TopLevelList", "[\"a\"]", 1, "must be a JSON object"},
        BrokenCase{"TopLevelString", "\n\"a\"", 2, "must be a JSON object"},
        BrokenCase{"UnknownKey", "{\n\"Layers\": [],\n\"layers\": []}", 3, "unknown key \"layers\""},
        BrokenCase{"KeyTwice", "{\"Layers\": [],\n \"Layers\": []}", 2, "given twice"},
        BrokenCase{"KindNotAList", "{\"Layers\": \"0\"}", 1, "\"Layers\" must be a list"},
        BrokenCase{"KindIsAnObject", "{\"Layers\": [], \"DimStyles\": {}}", 1, "\"DimStyles\" must be a list"},
        BrokenCase{"NumberName", "{\n\"Layers\": [\n12\n]}", 3, "\"Layers\" holds a number"},
        BrokenCase{"NullName", "{\"TextStyles\": [\"a\",\n null]}", 2, "\"TextStyles\" holds null"},
        BrokenCase{"NestedList", "{\"Linetypes\": [[\"a\"]]}", 1, "\"Linetypes\" holds a list"},
        BrokenCase{"ObjectName", "{\"Linetypes\": [{}]}", 1, "\"Linetypes\" holds an object"}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.label); });

}  // namespace
