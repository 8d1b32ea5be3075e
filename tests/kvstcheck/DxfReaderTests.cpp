#include "kvstcheck/readers/DxfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/readers/SystemTextDecoder.h"
#include "support/TempFolder.h"
#include "tests/kvstcheck/BrokenInput.h"

namespace {

using kvstcheck::DrawingContent;
using kvstcheck::DrawingNames;
using kvstcheck::InputError;
using kvstcheck::LayerProperties;

const kvstcheck::SystemTextDecoder kDecoder;

DrawingContent ReadDxfContent(std::string_view bytes) { return kvstcheck::ReadDxf(bytes, kDecoder); }

// The names of a file read without a doubt.
DrawingNames ReadDxf(std::string_view bytes) {
    DrawingContent content = ReadDxfContent(bytes);
    EXPECT_EQ(content.warnings, std::vector<std::string>{});
    return std::move(content.names);
}

std::string Pair(int code, std::string_view value) { return std::to_string(code) + "\n" + std::string(value) + "\n"; }

std::string Header(std::string_view version, std::string_view codePage) {
    std::string text = Pair(0, "SECTION") + Pair(2, "HEADER") + Pair(9, "$ACADVER") + Pair(1, version);
    if (!codePage.empty()) text += Pair(9, "$DWGCODEPAGE") + Pair(3, codePage);
    return text + Pair(9, "$INSBASE") + Pair(10, "0.0") + Pair(20, "0.0") + Pair(0, "ENDSEC");
}

std::string Entry(std::string_view type, std::string_view name, std::string_view flags = "0") {
    return Pair(0, type) + Pair(5, "1F") + Pair(100, "AcDbSymbolTableRecord") + Pair(2, name) + Pair(70, flags);
}

std::string Table(std::string_view name, const std::vector<std::string>& entries) {
    std::string text = Pair(0, "TABLE") + Pair(2, name) + Pair(5, "2") + Pair(100, "AcDbSymbolTable") +
                       Pair(70, std::to_string(entries.size()));
    for (const std::string& entry : entries) text += entry;
    return text + Pair(0, "ENDTAB");
}

std::string Tables(const std::vector<std::string>& tables) {
    std::string text = Pair(0, "SECTION") + Pair(2, "TABLES");
    for (const std::string& table : tables) text += table;
    return text + Pair(0, "ENDSEC");
}

// A complete drawing: header, every table the audit reads plus one it does not, an ENTITIES section.
std::string Drawing(std::string_view version, std::string_view codePage, const std::vector<std::string>& tables) {
    return Header(version, codePage) + Tables(tables) + Pair(0, "SECTION") + Pair(2, "ENTITIES") + Pair(0, "LINE") +
           Pair(8, "0") + Pair(2, "NOT-A-TABLE-NAME") + Pair(0, "ENDSEC") + Pair(0, "EOF");
}

std::string LayersOnly(std::string_view version, std::string_view codePage, std::string_view name) {
    return Drawing(version, codePage, {Table("LAYER", {Entry("LAYER", name)})});
}

std::string Sample() {
    return Drawing("AC1015", "ANSI_1252",
                   {Table("VPORT", {Entry("VPORT", "*ACTIVE")}),
                    Table("LTYPE", {Entry("LTYPE", "ByBlock"), Entry("LTYPE", "Continuous"), Entry("LTYPE", "DASH")}),
                    Table("LAYER", {Entry("LAYER", "0"), Entry("LAYER", "Walls"), Entry("LAYER", "walls")}),
                    Table("STYLE", {Entry("STYLE", "Standard"), Entry("STYLE", "", "1"), Entry("STYLE", "Notes")}),
                    Table("DIMSTYLE", {Entry("DIMSTYLE", "ISO-25")}),
                    Table("BLOCK_RECORD", {Entry("BLOCK_RECORD", "*Model_Space")})});
}

// Layers without groups 62, 6, 370 and 290: no colour, Continuous, the default lineweight, plotted.
const DrawingNames kSampleNames = {{L"0", L"Walls", L"walls"},
                                   {L"ByBlock", L"Continuous", L"DASH"},
                                   {L"Standard", L"Notes"},
                                   {L"ISO-25"},
                                   {kvstcheck::LayerProperties{}, kvstcheck::LayerProperties{}, kvstcheck::LayerProperties{}}};

std::string WithCrLf(const std::string& text) {
    std::string converted;
    for (const char c : text) {
        if (c == '\n') converted += '\r';
        converted += c;
    }
    return converted;
}

TEST(DxfReader, ReadsTheFourTablesInFileOrderAndSkipsShapeFiles) {
    EXPECT_EQ(ReadDxf(Sample()), kSampleNames);
}

TEST(DxfReader, LineEndsPaddedGroupCodesAndByteOrderMarkDoNotMatter) {
    std::string padded;
    bool codeLine = true;
    std::size_t start = 0;
    const std::string sample = Sample();
    for (std::size_t end; (end = sample.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = sample.substr(start, end - start);
        padded += (codeLine ? "  " + line + " " : line) + "\n";
        codeLine = !codeLine;
    }
    EXPECT_EQ(ReadDxf(WithCrLf(Sample())), kSampleNames);
    EXPECT_EQ(ReadDxf(padded), kSampleNames);
    EXPECT_EQ(ReadDxf(WithCrLf(padded)), kSampleNames);
    EXPECT_EQ(ReadDxf("\xEF\xBB\xBF" + Sample()), kSampleNames);
}

TEST(DxfReader, EntryGroupsOtherThanTheNameAreIgnored) {
    const std::string layer = Pair(0, "LAYER") + Pair(5, "10") + Pair(102, "{ACAD_XDICTIONARY") + Pair(2, "Hidden") +
                              Pair(360, "11") + Pair(102, "}") + Pair(100, "AcDbLayerTableRecord") +
                              Pair(2, "Real") + Pair(70, "0") + Pair(62, "7") + Pair(1001, "APP") +
                              Pair(1000, "data") + Pair(1002, "{") + Pair(1070, "1") + Pair(1002, "}");
    const std::string empty = Entry("LAYER", "");
    const std::string spaced = Entry("LAYER", " Spaced  ");
    const auto names = ReadDxf(Drawing("AC1015", "", {Pair(999, "comment") + Table("LAYER", {layer, empty, spaced})}));
    EXPECT_EQ(names.layers, (std::vector<std::wstring>{L"Real", L"", L" Spaced  "}));
}

TEST(DxfReader, StyleFlagsSelectShapeFilesByTheirLowestBit) {
    const auto names = ReadDxf(Drawing("AC1009", "", {Table("STYLE", {Entry("STYLE", "A", "64"), Entry("STYLE", "B", "65"),
                                                                      Entry("STYLE", "C", "1"), Entry("STYLE", "D", "4")})}));
    EXPECT_EQ(names.textStyles, (std::vector<std::wstring>{L"A", L"D"}));
}

TEST(DxfReader, MissingTablesGiveEmptyKindsAndDataAfterEofIsIgnored) {
    const auto names = ReadDxf(Drawing("AC1009", "", {Table("LAYER", {})}) + "garbage\n\x01\x02");
    EXPECT_EQ(names, DrawingNames{});
}

struct TextCase {
    const char* label;
    std::string version;
    std::string codePage;
    std::string bytes;
    std::wstring expected;
};

class DxfText : public ::testing::TestWithParam<TextCase> {};

TEST_P(DxfText, NamesComeThroughExactly) {
    const TextCase& c = GetParam();
    EXPECT_EQ(ReadDxf(LayersOnly(c.version, c.codePage, c.bytes)).layers, std::vector<std::wstring>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, DxfText,
    ::testing::Values(
        TextCase{"Gbk", "AC1015", "ANSI_936", "\xCD\xBC\xB2\xE3", L"\u56FE\u5C42"},
        TextCase{"GbkLowerCaseName", "AC1018", "ansi_936", "\xCD\xBC", L"\u56FE"},
        TextCase{"Western", "AC1015", "ANSI_1252", "W\xE4nde", L"W\u00E4nde"},
        TextCase{"NoCodePageIsWestern", "AC1009", "", "\xE4", L"\u00E4"},
        TextCase{"Dos850", "AC1009", "DOS850", "\x84", L"\u00E4"},
        TextCase{"UnicodeEscapes", "AC1015", "ANSI_1252", "\\U+56FE\\U+5c42x", L"\u56FE\u5C42x"},
        TextCase{"EscapesMixWithCodePageText", "AC1015", "ANSI_936", "\xCD\xBC\\U+5C42", L"\u56FE\u5C42"},
        TextCase{"MultibyteEscape", "AC1015", "ANSI_1252", "\\M+5CDBC", L"\u56FE"},
        // 0x5C is the trail byte of this Shift-JIS character, not a backslash.
        TextCase{"TrailByteIsNoEscape", "AC1015", "ANSI_932", "\x95\x5CU+0041", L"\u8868U+0041"},
        TextCase{"Utf8From2007", "AC1021", "ANSI_1252", "\xE5\x9B\xBE\xE5\xB1\x82", L"\u56FE\u5C42"},
        TextCase{"Utf8IgnoresCodePage", "AC1032", "ANSI_936", "W\xC3\xA4nde", L"W\u00E4nde"},
        TextCase{"Utf8KeepsEscapeText", "AC1024", "", "\\U+0041", L"\\U+0041"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.label); });

using kvtest::BrokenInput;

class DxfBroken : public ::testing::TestWithParam<BrokenInput> {};

TEST_P(DxfBroken, GivesTheLineAndTheProblem) { kvtest::ExpectInputError(ReadDxf, GetParam()); }

const std::string kHeaderR2000 = Header("AC1015", "ANSI_1252");  // 20 lines
const std::string kTablesStart = kHeaderR2000 + Pair(0, "SECTION") + Pair(2, "TABLES");  // 24 lines

INSTANTIATE_TEST_SUITE_P(
    Cases, DxfBroken,
    ::testing::Values(
        BrokenInput{"Binary", std::string("Writer1 Binary DXF\r\n\x1A\0\0\0", 24), 1, "binary DXF"},
        BrokenInput{"BinaryAnyWriter", std::string("\x01\x02\x03\x04\x05\x06\x07 Binary DXF\r\n\x1A\0\x10", 23), 1, "binary DXF"},
        BrokenInput{"BinaryMarkerCut", std::string("Writer1 Binary DXF\r\n\x1A", 21), 1, "not a DXF file"},
        BrokenInput{"Empty", "", 1, "not a DXF file"},
        BrokenInput{"PlainText", "Hello,\nworld\n", 1, "not a DXF file"},
        BrokenInput{"OtherFirstGroup", Pair(0, "LINE") + Pair(8, "0"), 1, "not a DXF file"},
        BrokenInput{"NoTables", kHeaderR2000 + Pair(0, "EOF"), 21, "no TABLES section"},
        BrokenInput{"NoEof", kHeaderR2000, 20, "truncated"},
        BrokenInput{"CodeWithoutValue", kHeaderR2000 + "0\n", 21, "without its value"},
        BrokenInput{"BadGroupCode", kHeaderR2000 + Pair(0, "SECTION") + "two\nTABLES\n", 23, "expected a group code"},
        BrokenInput{"EofInsideSection", kTablesStart + Pair(0, "EOF"), 25, "EOF inside the TABLES section"},
        BrokenInput{"NestedTable", kTablesStart + Pair(0, "TABLE") + Pair(2, "LAYER") + Pair(0, "TABLE") + Pair(2, "LTYPE"),
                   29, "TABLE inside the LAYER table"},
        BrokenInput{"EndsecInsideTable", kTablesStart + Pair(0, "TABLE") + Pair(2, "LAYER") + Pair(0, "ENDSEC"), 29,
                   "ENDSEC inside the LAYER table"},
        BrokenInput{"ForeignEntry", kTablesStart + Pair(0, "TABLE") + Pair(2, "LAYER") + Entry("LTYPE", "x"), 29,
                   "LTYPE entry inside the LAYER table"},
        BrokenInput{"EntryWithoutName", kTablesStart + Pair(0, "TABLE") + Pair(2, "LAYER") + Pair(0, "LAYER") +
                                           Pair(70, "0") + Pair(0, "ENDTAB"),
                   29, "without its name"},
        BrokenInput{"FlagsNotANumber", kTablesStart + Pair(0, "TABLE") + Pair(2, "STYLE") + Entry("STYLE", "S", "x"), 38,
                   "group 70"},
        // Names of the file in a message are shown as text whatever bytes they are.
        BrokenInput{"SectionNameNotText", kHeaderR2000 + Pair(0, "SECTION") + Pair(2, "\xD4" "ABLES") + Pair(0, "EOF"), 25,
                   "EOF inside the ?ABLES section"},
        BrokenInput{"TableNameNotText", kTablesStart + Pair(0, "TABLE") + Pair(2, "L\xC3") + Pair(0, "TABLE"), 29,
                   "TABLE inside the L? table"},
        BrokenInput{"UnknownCodePage", LayersOnly("AC1015", "ANSI_99999", "L"), 12, "unknown drawing code page"},
        BrokenInput{"BadGbk", LayersOnly("AC1015", "ANSI_936", "\xFF\xFF"), 42, "code page 936"},
        BrokenInput{"BadUtf8", LayersOnly("AC1021", "", "\xC3("), 38, "UTF-8"}),
    kvtest::LabelOf);

// Whatever point a file is cut at, the reader reports it, never reads a partial drawing as whole:
// before the end of its TABLES section it is an error, after it a warning beside all the names.
TEST(DxfReader, EveryTruncationIsReported) {
    for (const std::string& whole : {Sample(), WithCrLf(Sample())}) {
        const std::size_t complete = whole.rfind("EOF") + 3;
        const std::size_t tablesEnd = whole.find("ENDSEC", whole.find("TABLES")) + 6;
        for (std::size_t length = 0; length < whole.size(); ++length) {
            const std::string cut = whole.substr(0, length);
            if (length >= complete) {
                EXPECT_EQ(ReadDxf(cut), kSampleNames) << "cut at " << length;
                continue;
            }
            if (length >= tablesEnd) {
                const DrawingContent content = ReadDxfContent(cut);
                EXPECT_EQ(content.names, kSampleNames) << "cut at " << length;
                ASSERT_EQ(content.warnings.size(), 1u) << "cut at " << length;
                EXPECT_NE(content.warnings[0].find("may be cut short"), std::string::npos) << content.warnings[0];
                continue;
            }
            try {
                ReadDxf(cut);
                ADD_FAILURE() << "no error when cut at " << length;
            } catch (const InputError& error) {
                EXPECT_GE(error.line(), 1) << "cut at " << length;
            }
        }
    }
}

// A file cut between two pairs is told where: its last line, and the part of the file it was in.
TEST(DxfReader, ACutFileIsToldWhereItWasCut) {
    const std::string header = Header("AC1015", "ANSI_1252");
    const std::string tables = header + Pair(0, "SECTION") + Pair(2, "TABLES");
    const std::string layers = tables + Pair(0, "TABLE") + Pair(2, "LAYER");
    const struct {
        std::string bytes;
        std::string where;
    } cases[] = {
        {Pair(0, "SECTION") + Pair(2, "HEADER") + Pair(9, "$ACADVER") + Pair(1, "AC1015"), "inside the HEADER section (no ENDSEC)"},
        {header, "before EOF"},
        {header + Pair(0, "SECTION"), "after SECTION"},
        {header + Pair(0, "SECTION") + Pair(2, "CLASSES") + Pair(0, "CLASS"), "inside the CLASSES section (no ENDSEC)"},
        {header + Pair(0, "SECTION") + Pair(2, "CL\x01SSES"), "inside the CL?SSES section (no ENDSEC)"},
        {tables, "inside the TABLES section (no ENDSEC)"},
        {tables + Pair(0, "TABLE"), "after TABLE"},
        {layers + Pair(5, "2"), "inside the LAYER table (no ENDTAB)"},
        {layers + Entry("LAYER", "Walls"), "inside the LAYER table (no ENDTAB)"},
        {tables + Table("VPORT", {}) + Pair(0, "TABLE") + Pair(2, "V\xC3PORT") + Entry("VPORT", "A"),
         "inside the V?PORT table (no ENDTAB)"},
    };
    for (const auto& cut : cases) {
        try {
            ReadDxf(cut.bytes);
            ADD_FAILURE() << "no error for a file cut " << cut.where;
        } catch (const InputError& error) {
            EXPECT_EQ(error.line(), std::count(cut.bytes.begin(), cut.bytes.end(), '\n')) << cut.where;
            EXPECT_NE(std::string(error.what()).find("the file ends " + cut.where + ": it is truncated"), std::string::npos)
                << error.what();
        }
    }
}

// Colour (62, negative when off), linetype (6), lineweight (370) and plot flag (290) of each layer,
// with the file's defaults for those left out; other applications' 102 groups hold none of them.
TEST(DxfReader, ReadsEachLayersProperties) {
    const std::string on = Entry("LAYER", "A-WALL") + Pair(62, "1") + Pair(6, "CONTINUOUS") + Pair(370, "35") +
                           Pair(290, "1");
    const std::string off = Entry("LAYER", "A-DOOR") + Pair(62, "-3") + Pair(6, "DASHED") + Pair(370, " -1") +
                            Pair(290, "0");
    const std::string other = Entry("LAYER", "Defpoints") + Pair(102, "{ACAD_XDICTIONARY") + Pair(62, "5") +
                              Pair(6, "X") + Pair(102, "}") + Pair(370, "211");
    const std::string bare = Entry("LAYER", "0");
    const auto names = ReadDxf(Drawing("AC1009", "ANSI_1252", {Table("LAYER", {on, off, other, bare}),
                                                               Table("STYLE", {Entry("STYLE", "S") + Pair(62, "9")})}));
    EXPECT_EQ(names.layers, (std::vector<std::wstring>{L"A-WALL", L"A-DOOR", L"Defpoints", L"0"}));
    EXPECT_EQ(names.layerProperties, (std::vector<std::optional<LayerProperties>>{
                                         LayerProperties{1, L"CONTINUOUS", 35, true}, LayerProperties{-3, L"DASHED", -1, false},
                                         LayerProperties{std::nullopt, L"Continuous", 211, true}, LayerProperties{}}));
}

TEST(DxfReader, ALinetypeNameIsTextOfTheDrawingsCodePage) {
    const std::string layer = Entry("LAYER", "A") + Pair(6, "Strich\\U+00B7Punkt");
    const auto names = ReadDxf(Drawing("AC1015", "ANSI_1252", {Table("LAYER", {layer})}));
    ASSERT_EQ(names.layerProperties.size(), 1u);
    EXPECT_EQ(names.layerProperties[0]->linetype, L"Strich·Punkt");
}

class DxfLayerBroken : public ::testing::TestWithParam<kvtest::BrokenInput> {};

TEST_P(DxfLayerBroken, GivesTheLineAndTheProblem) {
    kvtest::ExpectInputError([](std::string_view bytes) { return ReadDxf(bytes); }, GetParam());
}

// Header (16 lines), TABLES (4), TABLE with its 4 groups (10): the entry's 0, 5, 100, 2 and 70 take
// lines 31 to 40, so the value of the group after them is on line 42.
INSTANTIATE_TEST_SUITE_P(
    Cases, DxfLayerBroken,
    ::testing::Values(
        kvtest::BrokenInput{"ColorNotANumber", Drawing("AC1009", "", {Table("LAYER", {Entry("LAYER", "A") + Pair(62, "red")})}),
                            42, "group 62 of a LAYER entry is not a number: \"red\""},
        kvtest::BrokenInput{"LineweightNotANumber",
                            Drawing("AC1009", "", {Table("LAYER", {Entry("LAYER", "A") + Pair(370, "0.35")})}), 42,
                            "group 370 of a LAYER entry is not a number"},
        kvtest::BrokenInput{"PlotNotANumber",
                            Drawing("AC1009", "", {Table("LAYER", {Entry("LAYER", "A") + Pair(290, "")})}), 42,
                            "group 290 of a LAYER entry is not a number"}),
    kvtest::LabelOf);

TEST(DxfReader, CodePageNames) {
    const std::pair<const char*, std::optional<unsigned>> cases[] = {
        {"ANSI_936", 936u}, {"ansi_1252", 1252u}, {" ANSI_950 ", 950u}, {"DOS437", 437u}, {"GB2312", 936u},
        {"BIG5", 950u},     {"ISO8859-2", 28592u}, {"MACINTOSH", 10000u}, {"ANSI_", std::nullopt},
        {"ANSI_1200", std::nullopt}, {"UTF-8", std::nullopt}, {"", std::nullopt}};
    for (const auto& [name, codePage] : cases) EXPECT_EQ(kvstcheck::CodePageOfDxfName(name), codePage) << name;
}

TEST(DxfReader, EscapesThatAreIncompleteStayAsTheyAre) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"\\U+0041", L"A"},         {L"a\\U+4e2Db", L"a\u4E2Db"}, {L"\\U+00", L"\\U+00"},
        {L"\\U+00G1", L"\\U+00G1"},  {L"\\u+0041", L"\\u+0041"},   {L"\\M+9CDBC", L"\\M+9CDBC"},
        {L"\\M+5CD", L"\\M+5CD"},    {L"\\\\U+0041", L"\\A"},      {L"\\U+D83D\\U+DE00", L"\U0001F600"}};
    for (const auto& [escaped, decoded] : cases)
        EXPECT_EQ(kvstcheck::DecodeDxfEscapes(escaped, kDecoder), decoded) << kvtest::Utf8(escaped);
}

// Each line of the text with its line end replaced: how some writers end lines.
std::string WithLineEnds(const std::string& text, const std::vector<std::string>& ends) {
    std::string converted;
    std::size_t line = 0;
    for (const char c : text) {
        if (c == '\n')
            converted += ends[line++ % ends.size()];
        else
            converted += c;
    }
    return converted;
}

// Every group code line written with the text before and after the code.
std::string WithGroupCodesAs(const std::string& text, std::string_view before, std::string_view after) {
    std::string converted;
    std::size_t start = 0;
    for (std::size_t lines = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        converted += (lines++ % 2 == 0 ? std::string(before) + line + std::string(after) : line) + "\n";
    }
    return converted + text.substr(start);
}

// A comment group after every pair of the file.
std::string WithCommentsEverywhere(const std::string& text, std::string_view comment) {
    std::string commented = Pair(999, comment);
    std::size_t start = 0;
    for (std::size_t lines = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (++lines % 2 == 0) commented += text.substr(start, end + 1 - start) + Pair(999, comment);
        else commented += text.substr(start, end + 1 - start);
    return commented + text.substr(start);
}

std::string InsertBefore(std::string text, std::string_view before, const std::string& inserted) {
    return text.insert(text.find(before), inserted);
}

// Files as other programs write them, which common DXF readers read: the same names, no doubt.
struct Deviation {
    const char* label;
    std::string bytes;
};

class DxfDeviation : public ::testing::TestWithParam<Deviation> {};

TEST_P(DxfDeviation, ReadsTheSameNames) { EXPECT_EQ(ReadDxf(GetParam().bytes), kSampleNames); }

INSTANTIATE_TEST_SUITE_P(
    OtherWriters, DxfDeviation,
    ::testing::Values(
        Deviation{"MixedLineEnds", WithLineEnds(Sample(), {"\n", "\r\n"})},
        Deviation{"DoubledCarriageReturns", WithLineEnds(Sample(), {"\r\r\n"})},
        Deviation{"NoLineEndAfterEof", Sample().substr(0, Sample().size() - 1)},
        Deviation{"TabsAndPlusSignsInGroupCodes", WithGroupCodesAs(Sample(), "\t+", " \t")},
        Deviation{"EveryBlankAroundGroupCodes", WithGroupCodesAs(Sample(), " \v\f\t", "\f\v\t ")},
        Deviation{"CommentsEverywhere", WithCommentsEverywhere(Sample(), "written by a script")},
        Deviation{"CommentsThatLookLikeStructure", WithCommentsEverywhere(Sample(), "EOF")},
        Deviation{"GroupsBetweenSections",
                  InsertBefore(Sample(), Pair(0, "SECTION") + Pair(2, "TABLES"),
                               Pair(5, "1A") + Pair(0, "LINE") + Pair(8, "0") + Pair(0, "ENDSEC")) +
                      Pair(0, "ENDSEC")},
        Deviation{"KeywordsWithSpaces", [] {
                      std::string text = Sample();
                      for (std::size_t at = 0; (at = text.find("ENDTAB\n", at)) != std::string::npos; at += 9)
                          text.replace(at, 7, "ENDTAB  \n");
                      return text;
                  }()}),
    [](const ::testing::TestParamInfo<Deviation>& info) { return std::string(info.param.label); });

// A second reader of where names lie: a plain scan of the text for each name's value line, the first
// one after a "2" group code line that follows the name found before it.
std::vector<int> ScannedLines(const std::string& text, const std::vector<std::wstring>& names) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    const auto isNameCode = [](std::string line) {
        std::erase_if(line, [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '+'; });
        return line == "2";
    };
    std::vector<int> found;
    std::size_t from = 1;
    for (const std::wstring& name : names) {
        const std::string bytes(name.begin(), name.end());
        std::size_t at = from;
        while (at < lines.size() && !(lines[at] == bytes && isNameCode(lines[at - 1]))) ++at;
        found.push_back(static_cast<int>(at) + 1);
        from = at + 1;
    }
    return found;
}

class DxfNameLines : public ::testing::TestWithParam<Deviation> {};

TEST_P(DxfNameLines, AreTheLinesOfTheNamesValues) {
    const DrawingContent content = ReadDxfContent(GetParam().bytes);
    ASSERT_EQ(content.names, kSampleNames);
    const std::string& text = GetParam().bytes;
    EXPECT_EQ(content.lines[0], ScannedLines(text, kSampleNames.layers));
    EXPECT_EQ(content.lines[1], ScannedLines(text, kSampleNames.linetypes));
    EXPECT_EQ(content.lines[2], ScannedLines(text, kSampleNames.textStyles));
    EXPECT_EQ(content.lines[3], ScannedLines(text, kSampleNames.dimStyles));
}

INSTANTIATE_TEST_SUITE_P(
    LineEndsPaddingAndComments, DxfNameLines,
    ::testing::Values(Deviation{"Lf", Sample()}, Deviation{"CrLf", WithCrLf(Sample())},
                      Deviation{"MixedLineEnds", WithLineEnds(Sample(), {"\n", "\r\n", "\r\r\n"})},
                      Deviation{"PaddedGroupCodes", WithGroupCodesAs(Sample(), "\t+", " \t")},
                      Deviation{"CommentsBeforeEveryName", WithCommentsEverywhere(WithCrLf(Sample()), "names follow")},
                      Deviation{"ByteOrderMark", "\xEF\xBB\xBF" + Sample()}),
    [](const ::testing::TestParamInfo<Deviation>& info) { return std::string(info.param.label); });

// Counted by hand: a header of 16 lines, 4 opening TABLES, 10 opening the LAYER table, then the entry's
// 0, 5 and 100 groups; its group 2 code is line 37. A duplicate name keeps its own line.
TEST(DxfReader, TheLineOfANameIsThatOfItsValue) {
    const DrawingContent content =
        ReadDxfContent(Drawing("AC1015", "", {Table("LAYER", {Entry("LAYER", "A"), Entry("LAYER", "A")})}));
    EXPECT_EQ(content.lines, (kvstcheck::NameLines{{{38, 48}, {}, {}, {}}}));
}

// Some writers end the HEADER section early and write more header variables after it, then a
// second ENDSEC: the code page given there still decides how the names read.
TEST(DxfReader, HeaderVariablesAfterAnEarlyEndsecCount) {
    const std::string header = Pair(0, "SECTION") + Pair(2, "HEADER") + Pair(9, "$ACADVER") + Pair(1, "AC1015") +
                               Pair(0, "ENDSEC") + Pair(9, "$DWGCODEPAGE") + Pair(3, "ANSI_936") +
                               Pair(9, "$INSBASE") + Pair(10, "0.0") + Pair(0, "ENDSEC");
    const std::string drawing = header + Tables({Table("LAYER", {Entry("LAYER", "\xCD\xBC\xB2\xE3")})}) + Pair(0, "EOF");
    EXPECT_EQ(ReadDxf(drawing).layers, std::vector<std::wstring>{L"\u56FE\u5C42"});
    // Without the variables after the early ENDSEC, the same bytes are Western text.
    const std::string western = Pair(0, "SECTION") + Pair(2, "HEADER") + Pair(9, "$ACADVER") + Pair(1, "AC1015") +
                                Pair(0, "ENDSEC") + Tables({Table("LAYER", {Entry("LAYER", "\xCD\xBC")})}) +
                                Pair(0, "EOF");
    EXPECT_EQ(ReadDxf(western).layers, std::vector<std::wstring>{L"\u00CD\u00BC"});
}

TEST(DxfReader, AFileWithoutEofAfterItsTablesIsReadWithAWarningThatNamesTheLine) {
    const std::string withoutEof = Sample().substr(0, Sample().rfind("0\nEOF"));
    const DrawingContent content = ReadDxfContent(withoutEof);
    EXPECT_EQ(content.names, kSampleNames);
    // The line of the TABLES section's ENDSEC: all up to it was read.
    const std::string upToTables = Sample().substr(0, Sample().find("ENDSEC", Sample().find("TABLES")));
    const int line = static_cast<int>(std::count(upToTables.begin(), upToTables.end(), '\n'));
    EXPECT_EQ(content.warnings, std::vector<std::string>{"line " + std::to_string(line) +
                                                         ": the TABLES section ends here, and the file does not end "
                                                         "with EOF: it may be cut short"});
}

}  // namespace
