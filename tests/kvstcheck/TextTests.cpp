// The one text library: the UTF-8 codec and the letter case folding that hints, lint and the rules share.
#include "kvstcheck/text/CaseFolding.h"

#include <gtest/gtest.h>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/standardtools/Hints.h"
#include "kvstcheck/standardtools/LetterCase.h"

namespace {

using kvstcheck::text::FoldCase;

std::string Hex(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// Code point -> its simple case folding, by script: the cases that a table of A to Z, Latin-1, Greek and
// Cyrillic (or upper-casing instead of folding) gets wrong.
TEST(CaseFolding, EachScriptFoldsAsUnicodeSays) {
    const struct {
        const char* what;
        char32_t code;
        char32_t folded;
    } cases[] = {
        {"Latin capital", U'A', U'a'},
        {"Latin small stays", U'z', U'z'},
        {"digit stays", U'7', U'7'},
        {"Armenian capital ayb", 0x0531, 0x0561},
        {"Armenian capital feh", 0x0556, 0x0586},
        {"Armenian small stays", 0x0561, 0x0561},
        {"Georgian Mtavruli an", 0x1C90, 0x10D0},
        {"Georgian Asomtavruli an", 0x10A0, 0x2D00},
        {"Georgian Mkhedruli stays", 0x10D0, 0x10D0},
        {"Cherokee small a folds to the capital", 0xAB70, 0x13A0},
        {"Cherokee small ye", 0x13F8, 0x13F0},
        {"Cherokee capital stays", 0x13A0, 0x13A0},
        {"Greek final sigma", 0x03C2, 0x03C3},
        {"Greek capital sigma", 0x03A3, 0x03C3},
        {"Greek small sigma stays", 0x03C3, 0x03C3},
        {"Kelvin sign", 0x212A, U'k'},
        {"Angstrom sign", 0x212B, 0x00E5},
        {"micro sign", 0x00B5, 0x03BC},
        {"dotless i stays", 0x0131, 0x0131},
        {"capital I with dot has no simple folding", 0x0130, 0x0130},
        {"capital sharp s", 0x1E9E, 0x00DF},
        {"Cyrillic capital", 0x0416, 0x0436},
        {"fullwidth capital", 0xFF21, 0xFF41},
        {"Deseret capital (beyond 16 bits)", 0x10400, 0x10428},
        {"Adlam capital", 0x1E900, 0x1E922},
        {"Han stays", 0x56FE, 0x56FE},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(FoldCase(c.code)), Hex(c.folded)) << c.what;
}

TEST(CaseFolding, NamesInUtf16KeepTheirLengthAndPairs) {
    const struct {
        std::u32string name;
        std::u32string folded;
    } cases[] = {
        {U"A-WALL", U"a-wall"},
        {U"\u0531\u0550-WALL", U"\u0561\u0580-wall"},
        {U"\u039F\u0394\u039F\u03A3", U"\u03BF\u03B4\u03BF\u03C3"},
        {U"\u03BF\u03B4\u03BF\u03C2", U"\u03BF\u03B4\u03BF\u03C3"},
        {U"\U00010400x\U00010401", U"\U00010428x\U00010429"},
        {U"", U""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FoldCase(c.name), c.folded) << kvstcheck::ToUtf8(c.name);
        const std::wstring wide = kvstcheck::ToWide(c.name);
        EXPECT_EQ(FoldCase(wide), kvstcheck::ToWide(c.folded)) << kvstcheck::ToUtf8(c.name);
        EXPECT_EQ(FoldCase(wide).size(), wide.size());
    }
    if constexpr (sizeof(wchar_t) == 2) {
        // A lone surrogate is kept as it is, not joined with its neighbour.
        const std::wstring lone = {static_cast<wchar_t>(0xD801), L'A', static_cast<wchar_t>(0xDC00)};
        EXPECT_EQ(FoldCase(lone), (std::wstring{static_cast<wchar_t>(0xD801), L'a', static_cast<wchar_t>(0xDC00)}));
    }
}

// Every user of the folding agrees: the rules' letter-case check, lint's and the hints' folding.
TEST(CaseFolding, RulesLintAndHintsFoldAlike) {
    const std::u32string pairs[][2] = {
        {U"\u0531\u0550\u0535\u0552", U"\u0561\u0580\u0565\u0582"},  // Armenian
        {U"\u1C90\u1C91", U"\u10D0\u10D1"},                          // Georgian
        {U"\u13A0\u13A1", U"\uAB70\uAB71"},                          // Cherokee
        {U"\u03A3\u039F\u03A3", U"\u03C3\u03BF\u03C2"},              // Greek, final sigma
        {U"\u212A-WALL", U"k-wall"},                                 // Kelvin sign
    };
    for (const auto& pair : pairs) {
        const std::string shown = kvstcheck::ToUtf8(pair[0]);
        EXPECT_EQ(kvstcheck::rules::FoldCase(pair[0]), kvstcheck::rules::FoldCase(pair[1])) << shown;
        EXPECT_EQ(kvstcheck::FoldLetterCase(kvstcheck::ToWide(pair[0])),
                  kvstcheck::FoldLetterCase(kvstcheck::ToWide(pair[1])))
            << shown;
    }
    // Dotless i is a letter of its own, not i in another case.
    EXPECT_NE(kvstcheck::rules::FoldCase(U"\u0131"), kvstcheck::rules::FoldCase(U"I"));
    EXPECT_NE(kvstcheck::FoldLetterCase(L"\u0131"), kvstcheck::FoldLetterCase(L"I"));
}

// The rules' hand-made table once left Armenian unfolded: two spellings of one layer went unreported.
TEST(CaseFolding, TheRulesReportArmenianNamesThatDifferOnlyInLetterCase) {
    kvstcheck::rules::RuleSet rules;
    kvstcheck::DrawingNames drawing;
    drawing.layers = {L"\u0531\u0550-WALL", L"\u0561\u0580-wall", L"\u0131-WALL", L"I-WALL"};
    const auto findings = kvstcheck::rules::CheckDrawing(rules, drawing);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].rule, "names.letter-case");
    EXPECT_EQ(findings[0].name, L"\u0561\u0580-wall");
}

TEST(CaseFolding, HintsNameTheAllowedSpellingInEveryScript) {
    kvstcheck::LoadedStandard standard;
    standard.loaded = true;
    standard.names[0] = std::vector<std::wstring>{L"\u0531\u0550\u0535\u0552-A", L"\u13A0\u13A1\u13A2-B",
                                                   L"\u1C90\u1C91\u1C92-C", L"\u039F\u0394\u039F\u03A3-D"};
    const kvstcheck::HintFinder hints(standard);
    const std::wstring layer = L"\u56FE\u5C42";
    const struct {
        std::wstring name;
        std::size_t allowed;
    } cases[] = {
        {L"\u0561\u0580\u0565\u0582-a", 0},
        {L"\uAB70\uAB71\uAB72-b", 1},
        {L"\u10D0\u10D1\u10D2-c", 2},
        {L"\u03BF\u03B4\u03BF\u03C2-d", 3},
    };
    for (const auto& c : cases) {
        const auto found = hints.For(layer, c.name);
        ASSERT_EQ(found.names.size(), 1u) << kvstcheck::WideToUtf8(c.name);
        EXPECT_EQ(found.names[0], (*standard.names[0])[c.allowed]);
        EXPECT_TRUE(found.letterCase) << kvstcheck::WideToUtf8(c.name);
    }
}

// Text.h's UTF-8 functions are the portable codec's: strict where they promise it, U+FFFD elsewhere.
TEST(Utf8Codec, OneReadingOfEveryByteSequence) {
    const struct {
        std::string bytes;
        bool valid;
        std::u32string points;
    } cases[] = {
        {"A-WALL", true, U"A-WALL"},
        {"\xD4\xB1", true, U"\u0531"},
        {"\xF0\x90\x90\x80", true, U"\U00010400"},
        {"\xEF\xBB\xBF", true, U"\uFEFF"},
        {"\xC0\xAF", false, U"\uFFFD\uFFFD"},            // overlong form of '/'
        {"\xE0\x80\xAF", false, U"\uFFFD"},              // overlong in three bytes
        {"\xED\xA0\x80", false, U"\uFFFD"},              // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", false, U"\uFFFD"},          // beyond U+10FFFF
        {"\xE4\xB8", false, U"\uFFFD"},                  // cut short
        {"a\x80" "b", false, U"a\uFFFD" "b"},            // a lone continuation byte
    };
    for (const auto& c : cases) {
        const auto decoded = kvstcheck::DecodeUtf8Points(c.bytes);
        EXPECT_EQ(decoded.valid, c.valid) << kvstcheck::ToUtf8(c.points);
        EXPECT_EQ(decoded.points, c.points) << kvstcheck::ToUtf8(c.points);
        EXPECT_EQ(kvstcheck::DecodeUtf8(c.bytes).has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(*kvstcheck::DecodeUtf8(c.bytes), kvstcheck::ToWide(c.points));
        }
        EXPECT_EQ(kvstcheck::ValidUtf8(c.bytes), kvstcheck::ToUtf8(c.points));
    }
    // An unpaired surrogate cannot be written as UTF-8: it becomes U+FFFD.
    EXPECT_EQ(kvstcheck::EncodeUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
