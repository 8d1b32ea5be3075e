// Which drawings a run audits: the order of a folder's names, exclusion patterns, lists of files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kvstcheck/selection/FileList.h"
#include "kvstcheck/selection/Glob.h"
#include "kvstcheck/selection/NaturalOrder.h"

namespace {

using kvstcheck::NaturalLess;

TEST(NaturalOrder, NumbersByValueLetterCaseIgnoredTiesByCodePoint) {
    // Each name before the next.
    const std::vector<std::wstring> ordered = {
        L"plan-1.dxf", L"plan-2.dxf", L"Plan-3.dxf", L"plan-10.dxf", L"plan-010b.dxf", L"plan-10b.dxf",
        L"plan-99999999999999999999999.dxf", L"plan-100000000000000000000000.dxf", L"plan.dxf", L"plan2-01",
        L"plan2-1"};
    for (std::size_t i = 0; i + 1 < ordered.size(); ++i) {
        const std::string pair = std::to_string(i) + " and " + std::to_string(i + 1);
        EXPECT_TRUE(NaturalLess(ordered[i], ordered[i + 1])) << pair;
        EXPECT_FALSE(NaturalLess(ordered[i + 1], ordered[i])) << pair;
    }
}

TEST(NaturalOrder, IsTotalSoEqualNamesAloneTie) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"A.dxf", L"a.dxf"},       // same letters: upper case (lower code point) first
        {L"a01", L"a1"},            // same value: "0" before "1"
        {L"x\uFFFD", L"x\U0001F600"},  // by code point, not by UTF-16 unit
        {L"\u00C9t\u00E9", L"\u00E9t\u00E9"},
    };
    for (const auto& [first, second] : cases) {
        EXPECT_TRUE(NaturalLess(first, second));
        EXPECT_FALSE(NaturalLess(second, first));
    }
    EXPECT_FALSE(NaturalLess(L"same", L"same"));
    std::vector<std::wstring> names = {L"b10", L"B2", L"b2", L"a", L"b02", L"B10"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"B2", L"b02", L"b2", L"B10", L"b10"}));
}

TEST(Glob, MatchesPathsBelowTheFolder) {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* path;
        bool matches;
    };
    const Case cases[] = {
        {L"*.json", L"a.json", true},
        {L"*.json", L"old/a.json", false},  // * stays within one part
        {L"**/*.json", L"a.json", true},    // **/ also matches no folder
        {L"**/*.json", L"x/y/a.json", true},
        {L"old", L"old", true},
        {L"old", L"older", false},
        {L"old/**", L"old/a/b.dxf", true},
        {L"old/**", L"new/old/a.dxf", false},
        {L"**/old", L"a/b/old", true},
        {L"a/**/b.dxf", L"a/b.dxf", true},
        {L"a/**/b.dxf", L"a/x/y/b.dxf", true},
        {L"a/**/b.dxf", L"ab.dxf", false},
        {L"a**z", L"a/b/z", true},
        {L"plan-?.dxf", L"plan-7.dxf", true},
        {L"plan-?.dxf", L"plan-17.dxf", false},
        {L"a?b", L"a/b", false},
        {L"plan-[0-4].dxf", L"plan-3.dxf", true},
        {L"plan-[0-4].dxf", L"plan-5.dxf", false},
        {L"plan-[!0-4].dxf", L"plan-5.dxf", true},
        {L"plan-[^0-4].dxf", L"plan-3.dxf", false},
        {L"[]]x", L"]x", true},
        {L"[a-]x", L"-x", true},
        {L"a[/]b", L"a/b", false},
        {L"*.DXF", L"Plan.dxf", true},       // letter case ignored
        {L"[A-C]*", L"b.dxf", true},
        {L"\u56FE*", L"\u56FE\u7EB8.dxf", true},
        {L"?.dxf", L"\U0001F600.dxf", true},  // one character, two UTF-16 units
        {L"old\\*.dxf", L"old/a.dxf", true},  // "\" stands for "/"
        {L"/old/*", L"old/a.dxf", true},
        {L"*", L"", true},
        {L"a*b*c*d*e*f*g", L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Case& c : cases) {
        std::string problem;
        const auto glob = kvstcheck::Glob::Parse(c.pattern, problem);
        ASSERT_TRUE(glob) << problem;
        EXPECT_EQ(glob->Matches(c.path), c.matches) << glob->pattern().size() << " " << problem;
    }
}

TEST(Glob, PatternsThatCannotBeReadSayWhy) {
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"plan-[0-9.dxf", "the [ at character 6 has no closing ]"},
        {L"[!]", "the [ at character 1 has no closing ]"},
        {L"", "an empty pattern leaves nothing out"},
        {L"//", "an empty pattern leaves nothing out"},
    };
    for (const auto& [pattern, why] : cases) {
        std::string problem;
        EXPECT_FALSE(kvstcheck::Glob::Parse(pattern, problem));
        EXPECT_EQ(problem, why);
    }
}

TEST(FileList, EncodingsAndLineEnds) {
    const std::vector<std::string> plain = {"a.dxf", "dir/\xE5\x9B\xBE.json", "c d.dxf"};
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a.dxf\ndir/\xE5\x9B\xBE.json\nc d.dxf\n", plain},
        {"a.dxf\r\ndir/\xE5\x9B\xBE.json\r\nc d.dxf", plain},
        {"\xEF\xBB\xBF" "a.dxf\n\n\r\ndir/\xE5\x9B\xBE.json\nc d.dxf\n\n", plain},
        {std::string("\xFF\xFE" "a\0.\0d\0x\0f\0\r\0\n\0\xFE\x56\n\0", 20), {"a.dxf", "\xE5\x9B\xBE"}},
        {std::string("\xFE\xFF\0a\0\n\x56\xFE", 8), {"a", "\xE5\x9B\xBE"}},
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), {"\xF0\x9F\x98\x80"}},
        {"", {}},
        {"\r\n\n", {}},
        {" a.dxf \n", {" a.dxf "}},
        {"a.dxf\r\r\n\r\r\nb.dxf\r", {"a.dxf", "b.dxf"}},
    };
    for (const auto& [bytes, paths] : cases) EXPECT_EQ(kvstcheck::ParseFileList(bytes), paths);
}

TEST(FileList, TextInNoEncodingNamesItsLine) {
    const std::pair<std::string, const char*> cases[] = {
        {"a.dxf\nb\xE9.dxf\n", "line 2 is not UTF-8 text (a list in UTF-16 needs its byte order mark)"},
        {std::string("a\0.\0d\0", 6), "line 1 holds a NUL character"},
        {"a\n\xED\xA0\x80\n", "line 2 is not UTF-8 text (a list in UTF-16 needs its byte order mark)"},
        {"\xC0\xAF", "line 1 is not UTF-8 text (a list in UTF-16 needs its byte order mark)"},
        {std::string("\xFF\xFE" "a\0\n\0\x00\xD8", 8), "line 2 is not UTF-16 text"},
        {"\xFF\xFE" "a", "the UTF-16 text ends in half a character"},
    };
    for (const auto& [bytes, why] : cases) {
        try {
            kvstcheck::ParseFileList(bytes);
            ADD_FAILURE() << why;
        } catch (const kvstcheck::FileListError& error) {
            EXPECT_STREQ(error.what(), why);
        }
    }
}

}  // namespace
