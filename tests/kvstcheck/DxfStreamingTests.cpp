// The DXF reader reads a file piece by piece up to the end of its TABLES section and tells a cut
// file from its last bytes: what it reads, what it leaves unread, and that the pieces' size does
// not matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/readers/SystemTextDecoder.h"

namespace {

using kvstcheck::DrawingContent;
using kvstcheck::DrawingNames;
using kvstcheck::DxfMemoryBytes;
using kvstcheck::InputError;

const kvstcheck::SystemTextDecoder kDecoder;

std::string Pair(int code, std::string_view value) { return std::to_string(code) + "\n" + std::string(value) + "\n"; }

std::string Head() {
    return Pair(0, "SECTION") + Pair(2, "HEADER") + Pair(9, "$ACADVER") + Pair(1, "AC1015") + Pair(9, "$DWGCODEPAGE") +
           Pair(3, "ANSI_1252") + Pair(0, "ENDSEC") + Pair(0, "SECTION") + Pair(2, "TABLES") + Pair(0, "TABLE") +
           Pair(2, "LAYER") + Pair(0, "LAYER") + Pair(2, "W\xE4nde") + Pair(70, "0") + Pair(0, "LAYER") +
           Pair(2, "Doors") + Pair(70, "0") + Pair(0, "ENDTAB") + Pair(0, "TABLE") + Pair(2, "LTYPE") +
           Pair(0, "LTYPE") + Pair(2, "DASH") + Pair(0, "ENDTAB") + Pair(0, "ENDSEC");
}

const DrawingNames kHeadNames = {
    {L"W\u00E4nde", L"Doors"}, {L"DASH"}, {}, {}, {kvstcheck::LayerProperties{}, kvstcheck::LayerProperties{}}};

std::string Entities(std::size_t lines) {
    std::string text = Pair(0, "SECTION") + Pair(2, "ENTITIES");
    for (std::size_t i = 0; i < lines; ++i)
        text += Pair(0, "LINE") + Pair(8, "Doors") + Pair(10, "1.5") + Pair(20, "2.5");
    return text + Pair(0, "ENDSEC");
}

const std::string kEof = Pair(0, "EOF");

// Hands out the bytes like DxfMemoryBytes and counts how many left it.
class CountingBytes final : public kvstcheck::DxfBytes {
public:
    explicit CountingBytes(std::string_view bytes) : bytes_(bytes) {}
    std::size_t ReadNext(char* buffer, std::size_t size) override {
        const std::size_t count = bytes_.ReadNext(buffer, size);
        handedOut += count;
        return count;
    }
    std::string ReadTail(std::size_t count) override {
        std::string tail = bytes_.ReadTail(count);
        handedOut += tail.size();
        return tail;
    }
    std::size_t handedOut = 0;

private:
    DxfMemoryBytes bytes_;
};

TEST(DxfStreaming, WhatFollowsTheTablesIsLeftUnread) {
    const std::string drawing = Head() + Entities(100000) + kEof;
    ASSERT_GT(drawing.size(), 2000000u);
    CountingBytes bytes(drawing);
    const DrawingContent content = kvstcheck::ReadDxf(bytes, kDecoder);
    EXPECT_EQ(content.names, kHeadNames);
    EXPECT_EQ(content.warnings, std::vector<std::string>{});
    // The first piece and the tail, nothing more.
    EXPECT_LE(bytes.handedOut, 64u * 1024 + 2 * 4096 + 1);
}

// After the TABLES section, damage is not seen; only a missing EOF at the end is.
struct AfterTables {
    const char* label;
    std::string rest;
    bool warned;
};

class DxfAfterTables : public ::testing::TestWithParam<AfterTables> {};

TEST_P(DxfAfterTables, TheNamesAreReadAndOnlyAMissingEofIsWarnedOf) {
    const DrawingContent content = kvstcheck::ReadDxf(Head() + GetParam().rest, kDecoder);
    EXPECT_EQ(content.names, kHeadNames);
    if (!GetParam().warned) {
        EXPECT_EQ(content.warnings, std::vector<std::string>{});
        return;
    }
    // The warning names the line of the TABLES section's ENDSEC: the names up to it were read.
    const std::string head = Head();
    const auto headLines = std::count(head.begin(), head.end(), '\n');
    EXPECT_EQ(content.warnings, std::vector<std::string>{"line " + std::to_string(headLines - 1) +
                                                         ": the TABLES section ends here, and the file does not end "
                                                         "with EOF: it may be cut short"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DxfAfterTables,
    ::testing::Values(
        AfterTables{"Whole", Entities(3) + kEof, false},
        AfterTables{"BadGroupCodeInEntities", Pair(0, "SECTION") + Pair(2, "ENTITIES") + "x\nLINE\n" + kEof, false},
        AfterTables{"SectionWithoutEndsec", Pair(0, "SECTION") + Pair(2, "ENTITIES") + Pair(0, "SECTION") + kEof,
                    false},
        AfterTables{"BinaryGarbage", std::string("\x01\x02\0\xFF\n", 5) + kEof, false},
        AfterTables{"DataAfterEof", Entities(1) + kEof + "trailing\x1A", false},
        AfterTables{"EofWithCrLfAndPadding", Entities(1) + " 0 \r\nEOF  \r\n\r\n", false},
        AfterTables{"EofLastLineWithoutLineEnd", Entities(1) + "0\nEOF", false},
        AfterTables{"NothingAfterTables", "", true},
        AfterTables{"CutInsideEntities", Entities(2).substr(0, 40), true},
        AfterTables{"CutInsideEof", Entities(1) + "0\nEO", true},
        AfterTables{"EofOnlyAsAComment", Entities(1) + Pair(999, "EOF"), true},
        AfterTables{"EofBeyondTheLastBytesSearched", Entities(1) + kEof + std::string(5000, 'x'), true}),
    [](const ::testing::TestParamInfo<AfterTables>& info) { return std::string(info.param.label); });

TEST(DxfStreaming, TheLastBytesTellWhetherTheFileEndsWithEof) {
    struct Case {
        std::string_view lastBytes;
        bool wholeFile;
        bool ends;
    };
    const Case cases[] = {
        {"0\nEOF\n", true, true},
        {"0\nEOF", true, true},
        {"  0\r\nEOF \r\n", true, true},
        {"+0\nEOF\n", true, true},
        {"0\nEOF\n999\nEOF\n", true, true},
        {"999\nEOF\n", true, false},
        {"0\nEOFX\n", true, false},
        {"0\nEO", true, false},
        {"", true, false},
        {"1\nEOF\n", true, false},
        // Not the whole file: its first line may be the end of "10", so it does not count.
        {"0\nEOF\n", false, false},
        {"ENDSEC\n0\nEOF\n", false, true},
        {"10\n0\nEOF\n", false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kvstcheck::EndsWithEof(c.lastBytes, c.wholeFile), c.ends)
            << "\"" << c.lastBytes << "\" whole: " << c.wholeFile;
}

// Carriage returns do not count in the last bytes searched: a file with CR LF line ends has its EOF
// found where the same file with LF has it, also near the edge of what is searched.
TEST(DxfStreaming, CrLfLineEndsFindTheSameEof) {
    const auto warnings = [](const std::string& text) { return kvstcheck::ReadDxf(text, kDecoder).warnings.size(); };
    for (const std::size_t trailingLines : {0u, 500u, 1900u, 2000u, 2040u, 2100u, 3000u}) {
        std::string lf = Head() + Entities(1) + kEof;
        for (std::size_t i = 0; i < trailingLines; ++i) lf += "x\n";
        std::string crLf;
        for (const char c : lf) crLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_EQ(warnings(crLf), warnings(lf)) << trailingLines << " lines after EOF";
        if (trailingLines <= 1900) {
            EXPECT_EQ(warnings(lf), 0u) << trailingLines << " lines after EOF";
        }
        if (trailingLines >= 2100) {
            EXPECT_EQ(warnings(lf), 1u) << trailingLines << " lines after EOF";
        }
    }
}

// Any cut of the file into pieces reads the same: names, warnings, errors and their lines.
TEST(DxfStreaming, ThePiecesSizeDoesNotMatter) {
    const std::string inputs[] = {
        Head() + Entities(2) + kEof,
        Head(),
        "\xEF\xBB\xBF" + Head() + kEof,
        Head().substr(0, Head().size() - 20),
        Pair(0, "SECTION") + Pair(2, "TABLES") + "abc\n",
        std::string("Writer1 Binary DXF\r\n\x1A\0", 22),
    };
    const auto outcome = [](std::string_view bytes, std::size_t piece) {
        DxfMemoryBytes memory(bytes, piece);
        try {
            const DrawingContent content = kvstcheck::ReadDxf(memory, kDecoder);
            std::string text;
            for (const auto& name : content.names.layers) text += std::string(name.begin(), name.end()) + ";";
            for (const auto& warning : content.warnings) text += warning + ";";
            return text;
        } catch (const InputError& error) {
            return std::string("error: ") + error.what();
        }
    };
    for (const std::string& input : inputs) {
        const std::string whole = outcome(input, input.size() + 1);
        for (const std::size_t piece : {1u, 2u, 3u, 7u, 22u, 64u})
            EXPECT_EQ(outcome(input, piece), whole)
                << "pieces of " << piece << " bytes, input: " << input.substr(0, 40);
    }
}

TEST(DxfStreaming, ALineOverAMebibyteIsNoDxf) {
    const std::string longValue(kvstcheck::kLongestDxfLine + 1, 'A');
    const std::pair<std::string, int> cases[] = {
        {longValue, 1},
        {Pair(0, "SECTION") + Pair(2, "TABLES") + Pair(999, longValue), 6},
        {std::string(kvstcheck::kLongestDxfLine + 10, '\0'), 1},
    };
    for (const auto& [bytes, line] : cases) {
        try {
            kvstcheck::ReadDxf(bytes, kDecoder);
            ADD_FAILURE() << "no error for a line over 1 MiB at line " << line;
        } catch (const InputError& error) {
            EXPECT_EQ(error.line(), line);
            EXPECT_NE(std::string(error.what()).find("over 1 MiB long: this is not a DXF file"), std::string::npos)
                << error.what();
        }
    }
    // A long line within the limit is read.
    const std::string longName(100000, 'N');
    const DrawingContent content =
        kvstcheck::ReadDxf(Pair(0, "SECTION") + Pair(2, "TABLES") + Pair(0, "TABLE") + Pair(2, "LAYER") +
                               Pair(0, "LAYER") + Pair(2, longName) + Pair(0, "ENDTAB") + Pair(0, "ENDSEC") + kEof,
                           kDecoder);
    EXPECT_EQ(content.names.layers, std::vector<std::wstring>{std::wstring(longName.begin(), longName.end())});
}

}  // namespace
