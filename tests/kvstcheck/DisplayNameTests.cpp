#include "kvstcheck/reports/DisplayName.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fuzz/DisplayNameCheck.h"
#include "kvstcheck/Text.h"
#include "support/Corpus.h"

namespace {

using kvstcheck::DisplayName;

TEST(DisplayName, WhatCannotBeSeenIsWrittenAsItsCodePoint) {
    const struct {
        std::wstring name;
        std::wstring shown;
    } cases[] = {
        {L"A-WALL", L"A-WALL"},
        {L"", L""},
        {L"A WALL", L"A WALL"},
        {L"A-WALL ", L"A-WALL<U+0020>"},
        {L"  A", L"<U+0020><U+0020>A"},
        {L" ", L"<U+0020>"},
        {L" \u200B ", L"<U+0020><U+200B><U+0020>"},
        {L"\x1B[31mred", L"<U+001B>[31mred"},
        {L"a\r\nb", L"a<U+000D><U+000A>b"},
        {L"a\tb", L"a<U+0009>b"},
        {std::wstring(L"a\0b", 3), L"a<U+0000>b"},
        {L"\x7F\x85\x9B", L"<U+007F><U+0085><U+009B>"},
        {L"abc\u202Edef", L"abc<U+202E>def"},
        {L"\u2066x\u2069", L"<U+2066>x<U+2069>"},
        {L"A-WALL\u200B", L"A-WALL<U+200B>"},
        {L"A\u00A0B\u2007C\u202FD\u3000E", L"A<U+00A0>B<U+2007>C<U+202F>D<U+3000>E"},
        {L"\u115F\u3164\uFFA0\u2800", L"<U+115F><U+3164><U+FFA0><U+2800>"},
        {L"so\u00ADft\uFEFF\u2060", L"so<U+00AD>ft<U+FEFF><U+2060>"},
        {L"x\uFE0F\u034F", L"x<U+FE0F><U+034F>"},
        {L"\u2028\u2029", L"<U+2028><U+2029>"},
        // Visible letters of any script stay themselves: hints explain look-alikes.
        {L"\u0410-WALL", L"\u0410-WALL"},
        {L"A\u2011WALL", L"A\u2011WALL"},
        {L"\u5899\u4F53", L"\u5899\u4F53"},
        {L"\xD83D\xDE00", L"\xD83D\xDE00"},
        // The notation cannot be faked by a name.
        {L"<U+0041>", L"<U+003C>U+0041>"},
        {L"<u+1> <U <", L"<u+1> <U <"},
        // Unpaired surrogates, noncharacters and tags.
        {std::wstring(1, wchar_t(0xD800)), L"<U+D800>"},
        {std::wstring(L"a") + wchar_t(0xDC00), L"a<U+DC00>"},
        {std::wstring(1, wchar_t(0xDBFF)) + L"x", L"<U+DBFF>x"},
        {L"\uFFFF\uFDD0", L"<U+FFFF><U+FDD0>"},
        {L"\xDB40\xDC41", L"<U+E0041>"},
        {L"\xD83F\xDFFE", L"<U+1FFFE>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayName(c.name), c.shown) << kvstcheck::EncodeUtf8(c.shown);
        EXPECT_EQ(kvstcheck::DisplayNameUtf8(c.name), kvstcheck::EncodeUtf8(c.shown)) << kvstcheck::EncodeUtf8(c.shown);
    }
}

// Random names of any UTF-16, unpaired surrogates too: the display form keeps its promises.
TEST(DisplayName, AnyUtf16ReadsBackAndShowsNothingInvisible) {
    std::mt19937 random(2026);
    const std::wstring pool = L" <U+>A\u0410\u5899\x1B\r\n\x7F\x9B\u00A0\u200B\u202E\u2066\uFEFF\u3000\uFFFF";
    for (int caseNumber = 0; caseNumber < 3000; ++caseNumber) {
        std::wstring name(random() % 12, L' ');
        for (wchar_t& unit : name) {
            const unsigned pick = random() % 8;
            unit = pick == 0   ? static_cast<wchar_t>(0xD800 + random() % 0x800)
                   : pick == 1 ? static_cast<wchar_t>(random() % 0x10000)
                               : pool[random() % pool.size()];
        }
        ASSERT_EQ(fuzzcheck::CheckDisplayName(name), "") << "case " << caseNumber;
        EXPECT_EQ(kvstcheck::DisplayNameUtf8(name), kvstcheck::EncodeUtf8(DisplayName(name))) << "case " << caseNumber;
    }
}

// The fuzz target's saved corpus, replayed with the real UTF-16 of the platform.
TEST(DisplayName, TheFuzzCorpusKeepsItsPromises) {
    const auto inputs = kvtest::ReadCorpus(KV_DISPLAY_NAME_CORPUS);
    ASSERT_GE(inputs.size(), 10u) << "the corpus folder " << KV_DISPLAY_NAME_CORPUS << " is missing or nearly empty";
    for (const auto& input : inputs)
        EXPECT_EQ(fuzzcheck::CheckDisplayName(fuzzcheck::Utf16Units(input.bytes)), "") << input.name;
}

TEST(DisplayName, CodePointLabels) {
    EXPECT_EQ(kvstcheck::CodePointLabel(0), "U+0000");
    EXPECT_EQ(kvstcheck::CodePointLabel(0x200B), "U+200B");
    EXPECT_EQ(kvstcheck::CodePointLabel(0xE0041), "U+E0041");
    EXPECT_EQ(kvstcheck::CodePointLabel(0x10FFFF), "U+10FFFF");
}

}  // namespace
