// The line and pair reader that the audit's DXF reader and the fix's rewriter share: line ends,
// lines cut by the blocks it reads, the last line without an end, long lines, the binary marker and
// the byte order mark, and places held across refills.
#include "kvstcheck/readers/DxfLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvstcheck/readers/InputError.h"

namespace {

using kvstcheck::DxfLineReader;
using kvstcheck::DxfMemoryBytes;
using kvstcheck::DxfPairLines;
using kvstcheck::DxfPairRead;

// Piece sizes that cut lines anywhere, and one that hands out the whole file at once.
constexpr std::size_t kPieces[] = {1, 2, 3, 7, 64 * 1024, 1 << 30};

std::vector<std::string> Lines(std::string_view bytes, std::size_t piece) {
    DxfMemoryBytes memory(bytes, piece);
    DxfLineReader reader(memory);
    std::vector<std::string> lines;
    for (std::string_view line; reader.NextLine(line);) lines.emplace_back(line);
    EXPECT_EQ(reader.line(), lines.size());
    return lines;
}

struct LineCase {
    const char* label;
    std::string bytes;
    std::vector<std::string> lines;  // with their ends
    std::string_view preamble = {};
    bool binary = false;
};

const LineCase kLineCases[] = {
    {"LF", "0\nSECTION\n", {"0\n", "SECTION\n"}},
    {"CR LF", "0\r\nSECTION\r\n", {"0\r\n", "SECTION\r\n"}},
    {"mixed, and CRs before an LF", "0\r\r\nA\nB\r\n", {"0\r\r\n", "A\n", "B\r\n"}},
    {"a CR alone ends no line", "a\rb\n", {"a\rb\n"}},
    {"last line without an end", "0\nEOF", {"0\n", "EOF"}},
    {"last line a CR alone", "0\n\r", {"0\n", "\r"}},
    {"empty lines", "\n\n", {"\n", "\n"}},
    {"empty file", "", {}},
    {"byte order mark", "\xEF\xBB\xBF" "0\nEOF\n", {"0\n", "EOF\n"}, "\xEF\xBB\xBF"},
    {"byte order mark alone", "\xEF\xBB\xBF", {}, "\xEF\xBB\xBF"},
    {"binary marker", std::string("Writer1 Binary DXF\r\n\x1A\0\x01", 23), {"Writer1 Binary DXF\r\n", std::string("\x1A\0\x01", 3)},
     {}, true},
    {"marker cut short", std::string("Writer1 Binary DXF\r\n\x1A", 21), {"Writer1 Binary DXF\r\n", "\x1A"}},
    {"marker's tail elsewhere", std::string("0\nWriter1 Binary DXF\r\n\x1A\0", 24),
     {"0\n", "Writer1 Binary DXF\r\n", std::string("\x1A\0", 2)}},
};

TEST(DxfLines, LinesKeepTheirEndsWhateverThePieces) {
    for (const LineCase& test : kLineCases) {
        SCOPED_TRACE(test.label);
        for (const std::size_t piece : kPieces) {
            SCOPED_TRACE(piece);
            EXPECT_EQ(Lines(test.bytes, piece), test.lines);
            DxfMemoryBytes memory(test.bytes, piece);
            const DxfLineReader reader(memory);
            EXPECT_EQ(reader.preamble(), test.preamble);
            EXPECT_EQ(reader.binary(), test.binary);
        }
    }
}

// Lines of every length up to some blocks' size, so that the reader's refills cut lines anywhere,
// the first line too: what it gives is the file cut at its LFs.
TEST(DxfLines, LinesCutByRefillsComeWhole) {
    std::string bytes;
    std::vector<std::string> expected;
    for (std::size_t length = 0; bytes.size() < 3 * (1 << 20); length = (length * 7 + 13) % 150001) {
        expected.push_back(std::string(length, static_cast<char>('a' + length % 26)) + (length % 2 ? "\r\n" : "\n"));
        bytes += expected.back();
    }
    bytes += "no end";
    expected.emplace_back("no end");
    for (const std::size_t piece : {std::size_t{4093}, std::size_t{64 * 1024}, std::size_t{1} << 30}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(Lines(bytes, piece), expected);
    }
}

TEST(DxfLines, ALineOverAMebibyteIsNoDxf) {
    const std::size_t longest = kvstcheck::kLongestDxfLine;
    struct Case {
        const char* label;
        std::string bytes;
        std::size_t badLine;  // 0: read to the end
    };
    const Case cases[] = {
        {"the longest line", "0\n" + std::string(longest, 'A') + "\n1\n", 0},
        {"the longest line without an end", "0\n" + std::string(longest, 'A'), 0},
        {"one byte more", "0\n" + std::string(longest + 1, 'A') + "\n1\n", 2},
        {"a CR counts", "0\n" + std::string(longest, 'A') + "\r\n", 2},
        {"no LF at all", std::string(longest + 10, '\0'), 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        for (const std::size_t piece : {std::size_t{1000}, std::size_t{1} << 30}) {
            try {
                const auto lines = Lines(test.bytes, piece);
                EXPECT_EQ(test.badLine, 0u) << "read " << lines.size() << " lines";
            } catch (const kvstcheck::InputError& error) {
                EXPECT_EQ(static_cast<std::size_t>(error.line()), test.badLine) << error.what();
                EXPECT_NE(std::string(error.what()).find("over 1 MiB long"), std::string::npos) << error.what();
            }
        }
    }
}

TEST(DxfLines, PairsAreReadOrToldWhyNot) {
    struct Case {
        const char* label;
        std::string bytes;
        DxfPairRead read;
        long long code;
        std::string_view value;
        std::size_t line;  // of the code
    };
    const Case cases[] = {
        {"plain", "0\nSECTION\n", DxfPairRead::Pair, 0, "SECTION", 1},
        {"padded code, CR LF", " 10\r\n1.5\r\n", DxfPairRead::Pair, 10, "1.5", 1},
        {"blanks in the value stay", "1\n  a b \r\n", DxfPairRead::Pair, 1, "  a b ", 1},
        {"value without an end", "2\nWALLS", DxfPairRead::Pair, 2, "WALLS", 1},
        {"empty value", "1\n\n", DxfPairRead::Pair, 1, "", 1},
        {"code without a value", "0\n", DxfPairRead::Cut, 0, "", 1},
        {"not a code", "SECTION\n0\n", DxfPairRead::BadCode, 0, "", 1},
        {"nothing", "", DxfPairRead::End, 0, "", 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        for (const std::size_t piece : kPieces) {
            DxfMemoryBytes memory(test.bytes, piece);
            DxfLineReader reader(memory);
            DxfPairLines pair;
            ASSERT_EQ(reader.NextPair(pair), test.read) << piece;
            if (test.read == DxfPairRead::BadCode) {
                EXPECT_EQ(pair.codeLine, "SECTION\n");
            }
            if (test.read != DxfPairRead::Pair) continue;
            EXPECT_EQ(pair.code, test.code);
            EXPECT_EQ(pair.value(), test.value);
            EXPECT_EQ(pair.line, test.line);
            EXPECT_EQ(std::string(pair.codeLine) + std::string(pair.valueLine), test.bytes);
        }
    }
}

TEST(DxfLines, GroupCodesAndNumbersAsDxfWritesThem) {
    struct Case {
        std::string_view text;
        bool read;
        long long value;
    };
    const Case cases[] = {
        {"0", true, 0},          {"  8\r\n", true, 8},      {"999\n", true, 999},      {"\t70 \r\n", true, 70},
        {"+5", true, 5},         {"-3", true, -3},          {"0000001", true, 1},      {"12345678901", true, 12345678901},
        {"+-3", false, 0},       {"", false, 0},            {"  \r\n", false, 0},      {"1 2", false, 0},
        {"5\r6\n", false, 0},    {"0x10", false, 0},        {"1.0", false, 0},         {"99999999999999999999", false, 0},
    };
    for (const Case& test : cases) {
        long long value = -1;
        EXPECT_EQ(kvstcheck::ParseDxfInt(test.text, value), test.read) << test.text;
        if (test.read) {
            EXPECT_EQ(value, test.value) << test.text;
        }
    }
}

// What a place holds back stays readable as bytes while lines go on being read and refilled.
TEST(DxfLines, HeldBytesOutliveRefills) {
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += std::to_string(i) + (i % 3 ? "\n" : "\r\n");
    for (const std::size_t piece : {std::size_t{1}, std::size_t{999}, std::size_t{1} << 30}) {
        SCOPED_TRACE(piece);
        DxfMemoryBytes memory(bytes, piece);
        DxfLineReader reader(memory);
        std::string_view line;
        ASSERT_TRUE(reader.NextLine(line));
        const std::uint64_t held = reader.offset();
        reader.Hold(held);
        while (reader.NextLine(line)) {
        }
        EXPECT_EQ(reader.Bytes(held, reader.offset()), std::string_view(bytes).substr(held));
    }
}

}  // namespace
