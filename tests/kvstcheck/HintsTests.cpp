#include "kvstcheck/standardtools/Hints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "kvstcheck/standardtools/EditDistance.h"
#include "kvstcheck/standardtools/HintsDifferences.h"
#include "kvstcheck/standardtools/HintsIndex.h"
#include "kvstcheck/standardtools/LetterCase.h"
#include "support/TempFolder.h"

namespace {

using kvstcheck::BoundedEditDistance;
using kvstcheck::HintFinder;
using kvstcheck::LoadedStandard;
using kvstcheck::NameHints;

// The whole table, no band: the reference the banded search must agree with.
std::size_t FullEditDistance(std::wstring_view a, std::wstring_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({diagonal + (a[i - 1] == b[j - 1] ? 0 : 1), above + 1, row[j - 1] + 1});
            diagonal = above;
        }
    }
    return row[b.size()];
}

TEST(EditDistance, BandedSearchAgreesWithTheWholeTableUpToItsLimit) {
    std::mt19937 random(20261207);
    const std::wstring alphabet = L"abAB-\u00E9";
    auto word = [&] {
        std::wstring text(random() % 9, L' ');
        for (wchar_t& c : text) c = alphabet[random() % alphabet.size()];
        return text;
    };
    for (int caseNumber = 0; caseNumber < 4000; ++caseNumber) {
        const std::wstring a = word();
        const std::wstring b = word();
        const std::size_t limit = random() % 4;
        const std::size_t full = FullEditDistance(a, b);
        EXPECT_EQ(BoundedEditDistance(a, b, limit), std::min(full, limit + 1))
            << "case " << caseNumber << " limit " << limit;
    }
}

TEST(EditDistance, KnownPairs) {
    const struct {
        std::wstring_view a, b;
        std::size_t limit, distance;
    } cases[] = {
        {L"", L"", 0, 0},           {L"", L"abc", 3, 3},       {L"abc", L"", 2, 3},
        {L"A-WALL", L"A-WAL", 1, 1}, {L"kitten", L"sitting", 3, 3}, {L"kitten", L"sitting", 2, 3},
        {L"DASHED", L"DAHSED", 2, 2}, {L"x", L"y", 0, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(BoundedEditDistance(c.a, c.b, c.limit), c.distance) << kvtest::Utf8(c.a);
}

LoadedStandard Allowing(std::vector<std::wstring> layers, std::vector<std::wstring> linetypes = {}) {
    LoadedStandard standard;
    standard.loaded = true;
    standard.names[0] = std::move(layers);
    if (!linetypes.empty()) standard.names[1] = std::move(linetypes);
    return standard;
}

TEST(HintFinder, LetterCaseNearestNamesAndNothingWhenFar) {
    const HintFinder hints(Allowing({L"0", L"A-WALL", L"A-DOOR", L"A-DOOR", L"", L"A-GLAZ", L"A-WALL2", L"M\u00D6BEL"},
                                    {L"DASHED", L"Continuous"}));
    const std::wstring layer = L"\u56FE\u5C42";
    const std::wstring linetype = L"\u7EBF\u578B";
    const struct {
        std::wstring label, name;
        NameHints expected;
    } cases[] = {
        {layer, L"a-door", {{L"A-DOOR"}, true}},
        {layer, L"m\u00F6bel", {{L"M\u00D6BEL"}, true}},
        {layer, L"A-WAL", {{L"A-WALL"}, false}},
        // Nearest first, equals in file order, at most three.
        {layer, L"A-WALLS", {{L"A-WALL", L"A-WALL2"}, false}},
        {layer, L"A-DAAR", {{L"A-DOOR"}, false}},
        {layer, L"A-XXXX", {{}, false}},
        {layer, L"1", {{}, false}},  // too short for a guess
        {linetype, L"DASHD", {{L"DASHED"}, false}},
        {linetype, L"continuous", {{L"Continuous"}, true}},
        // No list for text styles, and no such kind label.
        {L"\u6587\u5B57\u6837\u5F0F", L"Standard", {{}, false}},
        {L"other", L"a-door", {{}, false}},
    };
    for (const auto& c : cases) EXPECT_EQ(hints.For(c.label, c.name), c.expected) << kvtest::Utf8(c.name);
}

TEST(HintFinder, AtMostThreeNamesOfManyEqualCandidates) {
    const HintFinder hints(Allowing({L"WALL-1", L"WALL-2", L"WALL-3", L"WALL-4", L"WALL-X"}));
    const NameHints found = hints.For(L"\u56FE\u5C42", L"WALL-5");
    EXPECT_EQ(found.names, (std::vector<std::wstring>{L"WALL-1", L"WALL-2", L"WALL-3"}));
    EXPECT_FALSE(found.letterCase);
}

// Names that print like an allowed name: the hint names it and says what a reader cannot see.
TEST(HintFinder, InvisibleDifferencesAreSpelledOut) {
    const HintFinder hints(Allowing({L"0", L"A-WALL", L"A-DOOR", L"STAIR", L"\u5899\u4F53", L"A WALL"}));
    const std::wstring layer = L"\u56FE\u5C42";
    using Differences = std::vector<std::string>;
    const struct {
        std::wstring name, allowed;
        Differences differences;
    } cases[] = {
        {L"A-WALL ", L"A-WALL", {"a trailing space"}},
        {L"0 ", L"0", {"a trailing space"}},
        {L"  A-DOOR", L"A-DOOR", {"2 leading spaces"}},
        {L" 0\t", L"0", {"a leading space", "trailing U+0009 CHARACTER TABULATION"}},
        {L"A-WALL\u200B", L"A-WALL", {"U+200B ZERO WIDTH SPACE after position 6"}},
        {L"A-W\u200BALL", L"A-WALL", {"U+200B ZERO WIDTH SPACE after position 3"}},
        {L"\u200BA-WALL", L"A-WALL", {"U+200B ZERO WIDTH SPACE at the start"}},
        {L"A-WALL \u202E", L"A-WALL", {"U+202E RIGHT-TO-LEFT OVERRIDE after position 6", "a trailing space"}},
        {L"A-WALL\r\n", L"A-WALL",
         {"U+000D CARRIAGE RETURN after position 6", "U+000A LINE FEED after position 6"}},
        {L"A\u2011WALL", L"A-WALL",
         {"U+2011 NON-BREAKING HYPHEN at position 2 where the standard has a hyphen-minus (-)"}},
        {L"\u0410-WALL", L"A-WALL", {"Cyrillic \xD0\x90 (U+0410) at position 1 where the standard has Latin A"}},
        {L"\u0430-wall", L"A-WALL",
         {"Cyrillic \xD0\xB0 (U+0430) at position 1 where the standard has Latin A", "the letter case differs"}},
        {L"ST\u0391IR", L"STAIR", {"Greek \xCE\x91 (U+0391) at position 3 where the standard has Latin A"}},
        {L"\uFF33TAIR", L"STAIR", {"fullwidth \xEF\xBC\xB3 (U+FF33) at position 1 where the standard has Latin S"}},
        {L"A-WALL\u00A0", L"A-WALL", {"trailing U+00A0 NO-BREAK SPACE"}},
        {L"A\u00A0WALL", L"A WALL", {"U+00A0 NO-BREAK SPACE at position 2 where the standard has a space"}},
        {L"\u5899\u4F53\u3000", L"\u5899\u4F53", {"trailing U+3000 IDEOGRAPHIC SPACE"}},
        {L"A-DOOR\uFEFF\u00AD", L"A-DOOR",
         {"U+FEFF ZERO WIDTH NO-BREAK SPACE after position 6", "U+00AD SOFT HYPHEN after position 6"}},
    };
    for (const auto& c : cases) {
        const NameHints found = hints.For(layer, c.name);
        EXPECT_EQ(found.names, std::vector<std::wstring>{c.allowed}) << kvtest::Utf8(c.name);
        EXPECT_FALSE(found.letterCase) << kvtest::Utf8(c.name);
        EXPECT_EQ(found.differences, c.differences) << kvtest::Utf8(c.name);
    }
}

TEST(HintFinder, NearNamesAreSoughtByHowTheNameReads) {
    const HintFinder hints(Allowing({L"0", L"A-WALL", L"A-DOOR"}));
    const std::wstring layer = L"\u56FE\u5C42";
    // A typo behind an invisible character is still a typo of the allowed name.
    EXPECT_EQ(hints.For(layer, L"A-WAL\u200B"), (NameHints{{L"A-WALL"}, false, {}}));
    // Letter case alone keeps its own hint; the allowed name itself and unrelated names get none.
    EXPECT_EQ(hints.For(layer, L"a-wall"), (NameHints{{L"A-WALL"}, true, {}}));
    EXPECT_EQ(hints.For(layer, L"\u200B"), NameHints{});
    EXPECT_EQ(hints.For(layer, L"X "), NameHints{});
}

}  // namespace

namespace {

// The search as it was before the index: every allowed name measured, the nearest three kept.
std::vector<std::wstring> NearestByEveryName(const std::vector<std::wstring>& allowed, const std::wstring& name) {
    const std::wstring folded = kvstcheck::FoldLetterCase(kvstcheck::Skeleton(name));
    const std::size_t limit = kvstcheck::HintDistanceLimit(folded.size());
    std::vector<std::pair<std::size_t, std::size_t>> near;
    for (std::size_t i = 0; i < allowed.size() && limit > 0; ++i) {
        const std::size_t distance = FullEditDistance(folded, kvstcheck::FoldLetterCase(allowed[i]));
        if (allowed[i] != name && distance <= limit) near.emplace_back(distance, i);
    }
    std::sort(near.begin(), near.end());
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < near.size() && i < kvstcheck::kMaxHintNames; ++i) names.push_back(allowed[near[i].second]);
    return names;
}

// Names over a small alphabet, so that many lie within a few edits of one another; some long enough for
// the banded search, some with repeated pieces.
std::wstring RandomName(std::mt19937& random) {
    const std::wstring alphabet = L"AB-1\u00C9\u0531\u0561a";
    const std::size_t length = random() % 5 == 0 ? 30 + random() % 50 : 1 + random() % 14;
    std::wstring name(length, L' ');
    for (wchar_t& c : name) c = alphabet[random() % alphabet.size()];
    return name;
}

std::wstring Edited(std::wstring name, std::mt19937& random) {
    for (std::size_t edits = random() % 5; edits > 0; --edits) {
        const std::size_t at = name.empty() ? 0 : random() % name.size();
        switch (random() % 3) {
            case 0: name.insert(at, 1, L"AB-1a"[random() % 5]); break;
            case 1: if (!name.empty()) name.erase(at, 1); break;
            default: if (!name.empty()) name[at] = L"AB-1a"[random() % 5];
        }
    }
    return name;
}

}  // namespace

// The index finds exactly what measuring every allowed name finds: the same names in the same order.
TEST(HintFinder, TheIndexAgreesWithMeasuringEveryName) {
    std::mt19937 random(20261208);
    for (int standardNumber = 0; standardNumber < 30; ++standardNumber) {
        std::vector<std::wstring> allowed;
        for (std::size_t i = 0, count = 1 + random() % 400; i < count; ++i) allowed.push_back(RandomName(random));
        std::vector<std::wstring> unique;
        for (const std::wstring& name : allowed)
            if (std::find(unique.begin(), unique.end(), name) == unique.end()) unique.push_back(name);
        const HintFinder hints(Allowing(allowed));
        for (int queryNumber = 0; queryNumber < 200; ++queryNumber) {
            const std::wstring name = queryNumber % 2 ? Edited(unique[random() % unique.size()], random) : RandomName(random);
            const NameHints found = hints.For(L"\u56FE\u5C42", name);
            // Names equal but for letter case or look-alikes are answered before any search.
            if (found.letterCase || !found.differences.empty()) continue;
            EXPECT_EQ(found.names, NearestByEveryName(unique, name)) << "standard " << standardNumber << ", " << kvtest::Utf8(name);
        }
    }
}

namespace {

// Names that share starts, end inside one another ("AB", "ABA", "ABAB"), and repeat, over an alphabet
// of an ASCII letter, a digit, a non-ASCII letter and a hyphen: what a trie's edges and a search's
// narrowing must get right.
std::vector<std::wstring> CrowdedNames(std::mt19937& random) {
    const std::wstring alphabet = L"a1\u0561-";
    std::vector<std::wstring> names;
    for (std::size_t i = 0, count = random() % 120; i < count; ++i) {
        std::wstring name = i > 0 && random() % 3 == 0 ? names[random() % names.size()] : L"";
        if (random() % 4 == 0 && !name.empty()) name.resize(random() % name.size());
        for (std::size_t more = random() % 7; more > 0; --more) name += alphabet[random() % alphabet.size()];
        names.push_back(name);
    }
    return names;
}

}  // namespace

// Every limit and count, with names left out: the index answers what measuring every name answers, the
// nearest first and, of equals, the first in the list.
TEST(NearNameIndex, AgreesWithMeasuringEveryNameForEveryLimitAndCount) {
    std::mt19937 random(27);
    for (int listNumber = 0; listNumber < 60; ++listNumber) {
        const std::vector<std::wstring> names = CrowdedNames(random);
        const kvstcheck::NearNameIndex index(names);
        for (int queryNumber = 0; queryNumber < 40; ++queryNumber) {
            std::wstring query = names.empty() || queryNumber % 4 == 0 ? L"" : names[random() % names.size()];
            for (std::size_t edits = random() % 4; edits > 0 && !query.empty(); --edits) query[random() % query.size()] = L'1';
            if (queryNumber % 5 == 0) query += L"a-";
            const std::size_t limit = random() % (kvstcheck::NearNameIndex::kMostEdits + 1);
            const std::size_t count = random() % 5;
            const std::size_t leftOut = random() % 9;
            const auto skip = [&](std::size_t position) { return leftOut > 0 && position % leftOut == 0; };
            std::vector<std::pair<std::size_t, std::size_t>> expected;
            for (std::size_t i = 0; i < names.size(); ++i)
                if (const std::size_t distance = FullEditDistance(query, names[i]); distance <= limit && !skip(i))
                    expected.emplace_back(distance, i);
            std::sort(expected.begin(), expected.end());
            if (expected.size() > count) expected.resize(count);
            EXPECT_EQ(index.Nearest(query, limit, count, skip), expected)
                << "list " << listNumber << ", query " << kvtest::Utf8(query) << ", limit " << limit << ", count " << count;
        }
    }
}

TEST(NearNameIndex, AnEmptyListAndAnEmptyNameAreAnswered) {
    const auto none = [](std::size_t) { return false; };
    EXPECT_TRUE(kvstcheck::NearNameIndex({}).Nearest(L"A", 3, 3, none).empty());
    const kvstcheck::NearNameIndex index({L"", L"a", L"ab", L"ab"});
    EXPECT_EQ(index.Nearest(L"", 1, 3, none), (std::vector<std::pair<std::size_t, std::size_t>>{{0, 0}, {1, 1}}));
    EXPECT_EQ(index.Nearest(L"ab", 0, 3, none), (std::vector<std::pair<std::size_t, std::size_t>>{{0, 2}, {0, 3}}));
}

// A name of thousands of different characters costs the search memory by its length, not by its
// length times its characters.
TEST(NearNameIndex, ALongNameOfManyDifferentCharacters) {
    std::wstring longName;
    for (wchar_t c = 0x4E00; c < 0x4E00 + 20000; ++c) longName += c;
    std::wstring shorter = longName;
    shorter.erase(7000, 1);
    const kvstcheck::NearNameIndex index({L"A-WALL", shorter, longName + L"x"});
    const auto none = [](std::size_t) { return false; };
    EXPECT_EQ(index.Nearest(longName, 3, 3, none), (std::vector<std::pair<std::size_t, std::size_t>>{{1, 1}, {1, 2}}));
    EXPECT_TRUE(index.Nearest(longName + L"abcd", 3, 3, none).empty());
}
