#include "kvstcheck/rules/NamePattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kvstcheck::rules::NamePattern;
using kvstcheck::rules::PatternError;

struct MatchCase {
    std::u32string pattern;
    std::u32string name;
    bool matches;
};

const MatchCase kMatchCases[] = {
    {U"^[A-Z]{1,2}-[A-Z]{4}(-[A-Z]{4}){0,2}(-[A-Z])?$", U"A-WALL", true},
    {U"^[A-Z]{1,2}-[A-Z]{4}(-[A-Z]{4}){0,2}(-[A-Z])?$", U"AS-WALL-FULL-PRHT-N", true},
    {U"^[A-Z]{1,2}-[A-Z]{4}(-[A-Z]{4}){0,2}(-[A-Z])?$", U"A-WALL-FULL-PRHT-IDEN", false},
    {U"^[A-Z]{1,2}-[A-Z]{4}(-[A-Z]{4}){0,2}(-[A-Z])?$", U"a-wall", false},
    {U"A-WALL", U"A-WALL-OLD", false},  // whole names only
    {U"WALL", U"A-WALL", false},
    {U"", U"", true},
    {U"", U"x", false},
    {U"a|b|", U"", true},
    {U"a|bc", U"bc", true},
    {U"(?:ab)+", U"ababab", true},
    {U"(?:ab)+", U"ababa", false},
    {U"a{3}", U"aaa", true},
    {U"a{3}", U"aaaa", false},
    {U"a{2,}", U"aaaaaaa", true},
    {U"a{2,}", U"a", false},
    {U"a{0,2}b", U"aab", true},
    {U"a{0,2}b", U"aaab", false},
    {U"a+?b*?c??", U"aab", true},  // lazy and greedy are one for whole names
    {U"[^a-c]", U"d", true},
    {U"[^a-c]", U"b", false},
    {U"[a-c-]", U"-", true},
    {U"[]", U"a", false},
    {U"[^]", U"\n", true},
    {U".", U"\n", false},
    {U".", U"\U0001F600", true},  // one code point, not two code units
    {U"\\d+", U"0123456789", true},
    {U"\\d", U"\u0663", false},  // ASCII digits only
    {U"\\w+", U"A_z9", true},
    {U"\\w", U"\u00E9", false},
    {U"\\W", U"-", true},
    {U"\\s", U"\u3000", true},
    {U"\\S", U"\u00A0", false},
    {U"[\\d\\s]+", U"1 2", true},
    {U"\\x41\\u0042\\u{1F600}\\cJ\\t\\0", std::u32string(U"AB\U0001F600\n\t") + char32_t{0}, true},
    {U"\\.\\*\\|\\(\\)\\[\\]\\{\\}\\^\\$\\\\\\/\\-", U".*|()[]{}^$\\/-", true},
    {U"[\\b]", U"\b", true},
    {U"(?<major>WALL|DOOR)-N", U"DOOR-N", true},
    {U"^a|b$", U"b", true},
    {U"a^b", U"ab", false},
    {U"a$|b", U"a", true},
    {U"(a*)*b", U"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", true},
    {U"\u56FE\u5C42-\\d", U"\u56FE\u5C42-1", true},
};

TEST(NamePattern, MatchesWholeNamesAsECMAScriptDoes) {
    for (const MatchCase& c : kMatchCases) {
        const NamePattern pattern(c.pattern);
        EXPECT_EQ(pattern.Matches(c.name), c.matches) << "pattern " << pattern.size();
    }
}

struct ErrorCase {
    std::u32string pattern;
    std::size_t column;
    std::string problem;
};

const ErrorCase kErrorCases[] = {
    {U"ab(?=c)", 3, "look-ahead"},
    {U"ab(?!c)", 3, "look-ahead"},
    {U"(?<=a)b", 1, "look-behind"},
    {U"(?<!a)b", 1, "look-behind"},
    {U"(a)\\1", 4, "back-references"},
    {U"(?<n>a)\\k<n>", 8, "back-references"},
    {U"a\\b", 2, "word boundaries"},
    {U"\\p{L}", 1, "property"},
    {U"abc(d", 4, "no closing )"},
    {U"abc)d", 4, "unmatched )"},
    {U"x[abc", 2, "no closing ]"},
    {U"*a", 1, "nothing to repeat"},
    {U"a**", 3, "nothing to repeat"},
    {U"a{2}{3}", 5, "nothing to repeat"},
    {U"^*", 1, "cannot be repeated"},
    {U"a{1001}", 2, "above 1000"},
    {U"a{5,2}", 2, "out of order"},
    {U"a{2", 2, "closing }"},
    {U"a{x}", 2, "lone {"},
    {U"a}", 2, "lone }"},
    {U"a]", 2, "lone ]"},
    {U"[z-a]", 2, "out of order"},
    {U"[\\d-z]", 2, "cannot begin or end"},
    {U"\\q", 1, "unknown escape"},
    {U"ab\\", 3, "at the end"},
    {U"\\x4", 1, "hexadecimal"},
    {U"\\u{110000}", 1, "above 10FFFF"},
    {U"\\01", 1, "octal"},
    {U"(?x)", 1, "unknown group"},
    {U"(?<1>a)", 1, "group name"},
    {U"(?:a{1000}){1000}", 1, "too large"},
    {std::u32string(65, U'(') + U"a" + std::u32string(65, U')'), 65, "nested"},
    {std::u32string(NamePattern::kLongestPattern + 1, U'a'), NamePattern::kLongestPattern + 1, "longer"},
};

TEST(NamePattern, RefusesWhatIsNotRegularWithTheColumn) {
    for (const ErrorCase& c : kErrorCases) {
        try {
            NamePattern pattern(c.pattern);
            ADD_FAILURE() << "compiled: " << c.problem;
        } catch (const PatternError& error) {
            EXPECT_EQ(error.column(), c.column) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.problem), std::string::npos) << error.what();
        }
    }
}

// Nested and repeated repeats that make backtracking matchers take exponential time: here the
// states visited stay within (name length + 1) x 2 x program size.
TEST(NamePattern, PathologicalPatternsTakeLinearSteps) {
    const std::u32string patterns[] = {U"(a*)*b", U"(a+)+b", U"(a|a)*b", U"(a|aa)+b", U"(?:a?){30}a{30}",
                                       U"(.*)*x(.*)*y", U"((a*)*)*$"};
    for (const std::u32string& text : patterns) {
        const NamePattern pattern(text);
        for (const std::size_t length : {10u, 1000u, 100000u}) {
            const std::u32string name(length, U'a');
            const auto run = pattern.Run(name);
            EXPECT_LE(run.steps, (length + 1) * 2 * pattern.size()) << length;
        }
    }
    // Twice the name, at most about twice the steps: linear, not quadratic or worse.
    const NamePattern pattern(U"(a|aa)+b");
    const auto once = pattern.Run(std::u32string(50000, U'a')).steps;
    const auto twice = pattern.Run(std::u32string(100000, U'a')).steps;
    EXPECT_LE(twice, 2 * once + pattern.size() * 4);
}

TEST(NamePattern, LargeRepeatsCompileWithinTheLimit) {
    const NamePattern pattern(U"[A-Z]{1000}");
    EXPECT_LE(pattern.size(), NamePattern::kLargestProgram);
    EXPECT_TRUE(pattern.Matches(std::u32string(1000, U'Q')));
    EXPECT_FALSE(pattern.Matches(std::u32string(999, U'Q')));
}

TEST(NamePattern, KnowsPatternsThatCanNeverMatch) {
    const std::pair<std::u32string, bool> cases[] = {
        {U"[]", false},      {U"a[]b", false}, {U"a$b", false},  {U"a^", false},   {U"(?:$a)+", false},
        {U"[]|x", true},     {U"a$", true},    {U"^$", true},    {U"$^", true},    {U"[^]*", true},
        {U"(?:a$)?b", true}, {U"x*^y", true},  {U"[]*", true},   {U"a(?:[])?", true},
    };
    for (const auto& [text, can] : cases) EXPECT_EQ(NamePattern(text).CanMatch(), can);
}

}  // namespace
