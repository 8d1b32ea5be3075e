#include "kvstcheck/rules/RuleCheck.h"

#include <gtest/gtest.h>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RulesFile.h"

namespace {

using namespace kvstcheck::rules;
using kvstcheck::DrawingNames;
using kvstcheck::LayerProperties;
using kvstcheck::WideToUtf8;

RuleSet Rules(std::string_view text) {
    RulesBuilder builder([](const std::string&) { return std::optional<std::string>("WALL\nDOOR\nANNO\n"); });
    builder.Add(text, "r.toml");
    RuleSet rules = builder.Finish();
    EXPECT_TRUE(builder.problems().empty()) << builder.problems().front().Describe();
    return rules;
}

// "rule|name|message" per finding.
std::vector<std::string> Findings(const RuleSet& rules, const DrawingNames& drawing) {
    std::vector<std::string> lines;
    for (const RuleFinding& finding : CheckDrawing(rules, drawing))
        lines.push_back(finding.rule + "|" + WideToUtf8(finding.name) + "|" + finding.message);
    return lines;
}

DrawingNames Layers(std::vector<std::wstring> layers) {
    DrawingNames drawing;
    drawing.layers = std::move(layers);
    return drawing;
}

using Lines = std::vector<std::string>;

TEST(RuleCheck, PatternsJudgeTheOwnPartOfWholeNames) {
    const RuleSet rules = Rules("[layers]\npatterns = ['^[A-Z]-[A-Z]{4}$', '^0$']\n[names]\nletter-case = false\n");
    EXPECT_EQ(Findings(rules, Layers({L"0", L"A-WALL", L"PLAN|A-DOOR", L"A-WALL-OLD", L"PLAN|a-door"})),
              (Lines{"layers.pattern|A-WALL-OLD|layer \"A-WALL-OLD\" matches none of the patterns ('^[A-Z]-[A-Z]{4}$', "
                     "'^0$')",
                     "layers.pattern|PLAN|a-door|layer \"PLAN|a-door\" matches none of the patterns ('^[A-Z]-[A-Z]{4}$', "
                     "'^0$')"}));
}

TEST(RuleCheck, EachKindHasItsOwnRules) {
    const RuleSet rules = Rules("[linetypes]\npatterns = ['^[A-Z]+$']\nrequired = ['CONTINUOUS']\n"
                                "[text-styles]\nrequired = ['Standard']\n[dimension-styles]\npatterns = ['^ISO-\\d+$']\n");
    DrawingNames drawing;
    drawing.layers = {L"anything goes"};
    drawing.linetypes = {L"Continuous", L"dash2"};
    drawing.textStyles = {L"Notes"};
    drawing.dimStyles = {L"ISO-25", L"Arch"};
    EXPECT_EQ(Findings(rules, drawing),
              (Lines{"linetypes.pattern|Continuous|linetype \"Continuous\" matches none of the patterns ('^[A-Z]+$')",
                     "linetypes.pattern|dash2|linetype \"dash2\" matches none of the patterns ('^[A-Z]+$')",
                     "text-styles.required|Standard|the drawing has no text style \"Standard\", which the rules require",
                     "dimension-styles.pattern|Arch|dimension style \"Arch\" matches none of the patterns ('^ISO-\\d+$')"}));
}

TEST(RuleCheck, RequiredNamesIgnoreLetterCaseAndReferencedDrawings) {
    const RuleSet rules = Rules("[layers]\nrequired = ['0', 'A-ANNO-TTLB', 'A-WALL']\n");
    EXPECT_EQ(Findings(rules, Layers({L"0", L"a-anno-ttlb", L"XREF|A-WALL"})),
              (Lines{"layers.required|A-WALL|the drawing has no layer \"A-WALL\", which the rules require"}));
}

TEST(RuleCheck, FieldsNameTheWrongPartAndTheNearestCode) {
    const RuleSet rules = Rules("[layers]\nformat = '{discipline}-{major_group}[-{status}]'\n"
                                "[layers.fields]\ndiscipline = ['A', 'S']\nmajor_group = { csv = 'm.csv' }\n"
                                "status = ['N', 'D']\n");
    EXPECT_EQ(Findings(rules, Layers({L"A-WALL", L"A-WAL", L"Q-DOOR-X", L"AWALL"})),
              (Lines{"layers.fields|A-WAL|layer \"A-WAL\": major group \"WAL\" is not a code (nearest: WALL)",
                     "layers.fields|Q-DOOR-X|layer \"Q-DOOR-X\": discipline \"Q\" is not a code",
                     "layers.fields|Q-DOOR-X|layer \"Q-DOOR-X\": status \"X\" is not a code",
                     "layers.fields|AWALL|layer \"AWALL\" does not have the form {discipline}-{major_group}[-{status}]"}));
    // With patterns, a name of another form is theirs to judge.
    const RuleSet withPatterns = Rules("[layers]\npatterns = ['^0$', '^.-.*$']\nformat = '{discipline}-{major}'\n"
                                       "[layers.fields]\ndiscipline = ['A']\nmajor = ['WALL']\n");
    EXPECT_EQ(Findings(withPatterns, Layers({L"0", L"A-WALL"})), Lines{});
}

TEST(RuleCheck, TheChecksEveryOfficeAsksFor) {
    const RuleSet rules = Rules("");
    DrawingNames drawing = Layers({L"A-WALL", L"a-wall", L"A-WALL", L"A:B", L"A\tB", L" A-DOOR", L"A-DOOR ",
                                   L"A\u200BB", L"X|Y", L"\u00C4-WAND", L"\u00E4-wand", L"\u0421\u0422\u0415\u041D\u0410",
                                   L"\u0441\u0442\u0435\u043D\u0430"});
    drawing.textStyles = {L"Notes", L"NOTES"};
    // Names in the messages are in their display form; the findings keep the exact names.
    EXPECT_EQ(Findings(rules, drawing),
              (Lines{"names.letter-case|a-wall|layer \"a-wall\" differs from \"A-WALL\" only in letter case: programs "
                     "that ignore case take them for one",
                     "names.characters|A:B|layer \"A:B\" holds ':', which other programs refuse in names",
                     "names.characters|A\tB|layer \"A<U+0009>B\" holds the control character U+0009, which other programs "
                     "refuse in names",
                     "names.spaces| A-DOOR|layer \"<U+0020>A-DOOR\" begins with a space, which is easily missed and often lost",
                     "names.spaces|A-DOOR |layer \"A-DOOR<U+0020>\" ends with a space, which is easily missed and often lost",
                     "names.invisible|A\xE2\x80\x8B" "B|layer \"A<U+200B>B\" holds the invisible character U+200B",
                     "names.letter-case|\xC3\xA4-wand|layer \"\xC3\xA4-wand\" differs from \"\xC3\x84-WAND\" only in "
                     "letter case: programs that ignore case take them for one",
                     "names.letter-case|\xD1\x81\xD1\x82\xD0\xB5\xD0\xBD\xD0\xB0|layer \"\xD1\x81\xD1\x82\xD0\xB5\xD0\xBD"
                     "\xD0\xB0\" differs from \"\xD0\xA1\xD0\xA2\xD0\x95\xD0\x9D\xD0\x90\" only in letter case: programs "
                     "that ignore case take them for one",
                     "names.letter-case|NOTES|text style \"NOTES\" differs from \"Notes\" only in letter case: programs "
                     "that ignore case take them for one"}));
    const RuleSet off = Rules("[names]\ncharacters = false\nletter-case = false\nspaces = false\ninvisible = false\n");
    EXPECT_EQ(Findings(off, drawing), Lines{});
}

TEST(RuleCheck, LayerPropertiesAgainstTheRules) {
    const RuleSet rules = Rules("[layers.properties.\"A-WALL\"]\ncolor = 1\nlinetype = 'CONTINUOUS'\nlineweight = 35\n"
                                "plot = true\n[layers.properties.\"Defpoints\"]\nplot = false\nlineweight = 'default'\n");
    struct Case {
        std::wstring name;
        std::optional<LayerProperties> layer;
        Lines findings;
    };
    const Case cases[] = {
        {L"A-WALL", LayerProperties{1, L"Continuous", 35, true}, {}},
        {L"a-wall", LayerProperties{-1, L"continuous", 35, true}, {}},  // off keeps its colour; names ignore case
        {L"PLAN|A-WALL", LayerProperties{1, L"Continuous", 35, true}, {}},
        {L"A-WALL", std::nullopt, {}},  // a plain name from a JSON drawing says nothing of its properties
        {L"A-WALL", LayerProperties{-3, L"DASHED", 25, false},
         {"layers.color|A-WALL|layer \"A-WALL\" has colour 3 (the rules ask for 1)",
          "layers.linetype|A-WALL|layer \"A-WALL\" has linetype \"DASHED\" (the rules ask for \"CONTINUOUS\")",
          "layers.lineweight|A-WALL|layer \"A-WALL\" has lineweight 0.25 mm (the rules ask for lineweight 0.35 mm)",
          "layers.plot|A-WALL|layer \"A-WALL\" is not plotted (the rules ask for it to be)"}},
        {L"A-WALL", LayerProperties{std::nullopt, L"Continuous", -3, true},
         {"layers.color|A-WALL|layer \"A-WALL\" gives no colour (the rules ask for 1)",
          "layers.lineweight|A-WALL|layer \"A-WALL\" has the default lineweight (the rules ask for lineweight 0.35 mm)"}},
        {L"Defpoints", LayerProperties{7, L"Continuous", 211, true},
         {"layers.lineweight|Defpoints|layer \"Defpoints\" has lineweight 2.11 mm (the rules ask for the default "
          "lineweight)",
          "layers.plot|Defpoints|layer \"Defpoints\" is plotted (the rules ask for it not to be)"}},
        {L"Other", LayerProperties{5, L"X", 0, false}, {}},
    };
    for (const Case& c : cases) {
        DrawingNames drawing = Layers({c.name});
        drawing.layerProperties = {c.layer};
        EXPECT_EQ(Findings(rules, drawing), c.findings) << WideToUtf8(c.name);
    }
}

}  // namespace
