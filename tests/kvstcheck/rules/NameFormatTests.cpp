#include "kvstcheck/rules/NameFormat.h"

#include <gtest/gtest.h>

namespace {

using kvstcheck::rules::FieldCodes;
using kvstcheck::rules::FormatError;
using kvstcheck::rules::NameFormat;

const std::vector<FieldCodes> kUsFields = {
    {"discipline", {U"A", U"S", U"M"}},
    {"major_group", {U"WALL", U"DOOR", U"ANNO", U"FLOR", U"ROOF"}},
    {"minor_group", {U"FULL", U"TTLB"}},
    {"status", {U"N", U"D"}},
};

struct FieldCase {
    std::u32string name;
    bool fits;
    std::string problems;  // "field=value>nearest,nearest;..."
};

std::string Describe(const kvstcheck::rules::FormatVerdict& verdict) {
    std::string text;
    for (const auto& problem : verdict.problems) {
        text += problem.field + "=" + std::string(problem.value.begin(), problem.value.end()) + ">";
        for (const auto& code : problem.nearest) text += std::string(code.begin(), code.end()) + ",";
        text += ";";
    }
    return text;
}

TEST(NameFormat, NamesTheWrongFieldAndTheNearestCodes) {
    const NameFormat format(U"{discipline}-{major_group}[-{minor_group}][-{status}]", kUsFields);
    const FieldCase cases[] = {
        {U"A-WALL", true, ""},
        {U"A-WALL-FULL", true, ""},
        {U"A-WALL-N", true, ""},  // the status without the minor group
        {U"A-WALL-FULL-N", true, ""},
        {U"A-WAL", true, "major group=WAL>WALL,;"},
        {U"A-wall-N", true, "major group=wall>WALL,;"},
        {U"A-door", true, "major group=door>DOOR,;"},  // FLOR and ROOF, two edits away, are not as near
        {U"A-FOOR", true, "major group=FOOR>DOOR,FLOR,;"},
        {U"X-WALL-TTLX", true, "discipline=X>;minor group=TTLX>TTLB,;"},
        {U"A-WALL-FULL-Q", true, "status=Q>;"},
        {U"AWALL", false, ""},
        {U"A-", false, ""},
        {U"A-WALL-", true, "major group=WALL->WALL,;"},  // a last field takes the rest
        {U"A-WALL-FULL-N-X", true, "status=N-X>;"},
    };
    for (const FieldCase& c : cases) {
        const auto verdict = format.Check(c.name);
        EXPECT_EQ(verdict.fits, c.fits) << std::string(c.name.begin(), c.name.end());
        EXPECT_EQ(Describe(verdict), c.problems) << std::string(c.name.begin(), c.name.end());
    }
}

TEST(NameFormat, FixedWidthFieldsFollowOneAnother) {
    const NameFormat format(U"{agent:2}{element:6}{presentation:2}[{status:1}]",
                            {{"agent", {U"A_", U"S_"}}, {"element", {U"WALLS_", U"DOORS_"}},
                             {"presentation", {U"E_", U"T_"}}, {"status", {U"N", U"E"}}});
    EXPECT_EQ(Describe(format.Check(U"A_WALLS_E_")), "");
    EXPECT_EQ(Describe(format.Check(U"A_WALLS_E_N")), "");
    EXPECT_EQ(Describe(format.Check(U"A_WALSS_E_X")), "element=WALSS_>WALLS_,;status=X>;");
    EXPECT_FALSE(format.Check(U"A_WALLS_E").fits);
    EXPECT_FALSE(format.Check(U"A_WALLS_E_NN").fits);
}

TEST(NameFormat, RefusesLayoutsItCannotRead) {
    const std::pair<std::u32string, std::string> cases[] = {
        {U"{discipline}-{nothing}", "has no codes"},
        {U"{discipline", "no closing }"},
        {U"{discipline}}", "without its {"},
        {U"[-{status}", "no closing ]"},
        {U"[[{status}]]", "nested"},
        {U"{status}]", "without its ["},
        {U"{discipline}{status}", "followed by literal text"},
        {U"{status:0}", "width"},
        {U"{status:x}", "width"},
        {U"{st-atus}", "letters, digits or _"},
        {U"", "empty"},
        {U"[a][b][c][d][e][f][g][h][i]", "more than 8"},
    };
    for (const auto& [layout, problem] : cases) {
        try {
            NameFormat format(layout, kUsFields);
            ADD_FAILURE() << problem;
        } catch (const FormatError& error) {
            EXPECT_NE(std::string(error.what()).find(problem), std::string::npos) << error.what();
            EXPECT_GE(error.column(), 1u);
        }
    }
}

}  // namespace
