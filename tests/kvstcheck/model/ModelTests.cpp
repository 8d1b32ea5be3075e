// The run's model: the shared vocabulary of kinds, the counts every output reads, the catalogue of
// rule ids.
#include "kvstcheck/model/RunReport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "tests/kvstcheck/RunModelMaking.h"
#include "kvstcheck/model/RuleCatalogue.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/rules/Rules.h"
#include "vocabulary/Module.h"

namespace {

using kvstcheck::DrawingResult;
using kvstcheck::Finding;
using kvstcheck::Kind;
using kvstcheck::OpenAndAccepted;

constexpr wchar_t kLayer[] = L"\u56FE\u5C42";
constexpr wchar_t kLinetype[] = L"\u7EBF\u578B";

TEST(Vocabulary, EachKindHasOneKeySectionWordAndLabelThatReadBack) {
    const struct {
        Kind kind;
        std::string key, section, english;
        std::wstring label;
    } cases[] = {
        {Kind::Layers, "layers", "layers", "layer", kLayer},
        {Kind::Linetypes, "linetypes", "linetypes", "linetype", kLinetype},
        {Kind::TextStyles, "textStyles", "text-styles", "text style", L"\u6587\u5B57\u6837\u5F0F"},
        {Kind::DimStyles, "dimStyles", "dimension-styles", "dimension style", L"\u6807\u6CE8\u6837\u5F0F"},
    };
    for (const auto& c : cases) {
        const vocabulary::KindWords& words = vocabulary::WordsOf(c.kind);
        EXPECT_EQ(words.key, c.key);
        EXPECT_EQ(words.section, c.section);
        EXPECT_EQ(words.english, c.english);
        EXPECT_EQ(words.hostLabel, c.label);
        EXPECT_EQ(vocabulary::KindOfKey(c.key), c.kind);
        EXPECT_EQ(vocabulary::KindOfSection(c.section), c.kind);
        EXPECT_EQ(vocabulary::KindOfHostLabel(c.label), c.kind);
        // The rules files' kinds are the same, in the same order, with the same words.
        const auto ruleKind = static_cast<kvstcheck::rules::NameKind>(vocabulary::IndexOf(c.kind));
        EXPECT_EQ(kvstcheck::rules::SectionOf(ruleKind), c.section);
        EXPECT_EQ(kvstcheck::rules::WordOf(ruleKind), c.english);
    }
    // A key is never taken for a section, nor an English word for a label.
    EXPECT_EQ(vocabulary::KindOfKey("text-styles"), std::nullopt);
    EXPECT_EQ(vocabulary::KindOfSection("textStyles"), std::nullopt);
    EXPECT_EQ(vocabulary::KindOfHostLabel(L"layer"), std::nullopt);
}

TEST(Vocabulary, TheClassIdIsTheCoclassOfTheTypeLibrary) {
    std::ifstream idl(KV_PLUGIN_IDL);
    ASSERT_TRUE(idl) << KV_PLUGIN_IDL;
    std::stringstream text;
    text << idl.rdbuf();
    std::smatch found;
    const std::string source = text.str();
    ASSERT_TRUE(std::regex_search(source, found, std::regex(R"(uuid\(([0-9A-F-]+)\)[^\]]*\]\s*coclass KVStPluginDefault)")));
    const std::string uuid = found[1].str();
    EXPECT_EQ(L"{" + std::wstring(uuid.begin(), uuid.end()) + L"}", std::wstring(vocabulary::kClassId));
}

TEST(Model, APluginsLabelGivesItsKindAndAnotherLabelIsKeptAsItCame) {
    const Finding layer = kvstcheck::PluginFinding(kLayer, L"A");
    EXPECT_EQ(layer.kind, Kind::Layers);
    EXPECT_EQ(kvstcheck::HostLabelOf(layer), kLayer);
    EXPECT_EQ(kvstcheck::KindKeyOf(layer), "layers");
    EXPECT_EQ(kvstcheck::EnglishKindOf(layer), "layer");
    const Finding other = kvstcheck::PluginFinding(L"Block", L"B");
    EXPECT_EQ(other.kind, std::nullopt);
    EXPECT_EQ(kvstcheck::HostLabelOf(other), L"Block");
    EXPECT_EQ(kvstcheck::KindKeyOf(other), "Block");
}

Finding Accepted(Finding finding) {
    finding.accepted = true;
    return finding;
}

// Each count once, open and accepted apart, whether the drawing was kept or let go.
TEST(Model, CountsAreTakenOnceAsDrawingsAreAdded) {
    const Finding rule = kvtest::F(kLayer, L"a b", {}, "layers.pattern", "layer \"a b\" matches none");
    struct Case {
        std::vector<DrawingResult> drawings;
        bool keep;
        std::size_t findings, accepted, notAudited, names;
        OpenAndAccepted layers, linetypes, pattern;
    };
    const Case cases[] = {
        {{{L"a.dxf", 9, {kvtest::F(kLayer, L"X"), Accepted(kvtest::F(kLayer, L"Y")), kvtest::F(kLinetype, L"D")}, {}, {}}},
         true, 2, 1, 0, 9, {1, 1}, {1, 0}, {}},
        {{{L"a.dxf", 9, {rule, Accepted(rule)}, {}, {}}, {L"b.dxf", 0, {}, "bad", {}}}, false, 1, 1, 1, 9, {1, 1}, {}, {1, 1}},
        {{{L"a.dxf", 2, {}, {}, {}}, {L"b.dxf", 3, {Accepted(kvtest::F(kLinetype, L"D"))}, {}, {}}}, true, 0, 1, 0, 5, {},
         {0, 1}, {}},
    };
    for (const Case& c : cases) {
        kvstcheck::RunReport report;
        for (const DrawingResult& drawing : c.drawings) report.Add(drawing, c.keep);
        const kvstcheck::RunCounts& counts = report.Counts();
        EXPECT_EQ(counts.drawings, c.drawings.size());
        EXPECT_EQ(counts.findings, c.findings);
        EXPECT_EQ(counts.accepted, c.accepted);
        EXPECT_EQ(counts.notAudited, c.notAudited);
        EXPECT_EQ(counts.names, c.names);
        EXPECT_EQ(counts.byKind.byKind[0], c.layers);
        EXPECT_EQ(counts.byKind.byKind[1], c.linetypes);
        const auto pattern = counts.byKind.byRule.find("layers.pattern");
        EXPECT_EQ(pattern == counts.byKind.byRule.end() ? OpenAndAccepted{} : pattern->second, c.pattern);
        EXPECT_EQ(report.drawings.size(), c.keep ? c.drawings.size() : 0u);
        std::size_t open = 0;
        for (const DrawingResult& drawing : report.drawings) open += drawing.counts.all.open;
        EXPECT_EQ(open, c.keep ? c.findings : 0u);
    }
}

TEST(Model, ANameCountsOncePerDrawingAsOpenWhenAnyOfItIs) {
    const Finding old = kvtest::F(kLayer, L"OLD");
    const auto report = kvtest::RunOf({{L"a.dxf", 1, {old, Accepted(old)}, {}, {}},
                                       {L"b.dxf", 1, {Accepted(old), Accepted(old)}, {}, {}},
                                       {L"c.dxf", 1, {kvtest::F(kLinetype, L"OLD"), old}, {}, {}}});
    const auto& rows = report.ByName();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].first.kind, Kind::Layers);
    EXPECT_EQ(rows[0].openDrawings, 2u);
    EXPECT_EQ(rows[0].acceptedDrawings, 1u);
    EXPECT_EQ(rows[1].first.kind, Kind::Linetypes);
    EXPECT_EQ(rows[1].openDrawings, 1u);
}

TEST(RuleCatalogue, EveryFindingHasARuleIdWithADescription) {
    const std::pair<Finding, std::string> ids[] = {
        {kvtest::F(kLayer, L"X"), "layers.standard"},
        {kvtest::F(L"\u6587\u5B57\u6837\u5F0F", L"X"), "text-styles.standard"},
        {kvtest::F(L"Block", L"X"), "standard"},
        {kvtest::F(kLayer, L"X", {}, "names.spaces", "m"), "names.spaces"},
    };
    for (const auto& [finding, id] : ids) EXPECT_EQ(kvstcheck::RuleIdOf(finding), id);
    const std::pair<std::string, std::string> descriptions[] = {
        {"dimension-styles.standard", "A dimension style name that the standard file does not allow"},
        {"layers.pattern", "A layer name that matches none of the rules' patterns"},
        {"names.spaces", "A name that begins or ends with a space"},
        {"linetypes.later", "A linetype name that a rules file's check linetypes.later finds"},
    };
    for (const auto& [id, text] : descriptions) EXPECT_EQ(kvstcheck::DescribeRule(id), text);
}

// -q leaves these lines out (the runner); each names its rule, so that two rules' entries differ.
TEST(Report, NoLongerFoundLinesNameTheirRule) {
    kvstcheck::RunReport report;
    report.noLongerFound = {{"a.dxf", "layers", "x", "layers.pattern", 1, ""}, {"a.dxf", "layers", "x", "", 2, ""}};
    EXPECT_EQ(kvstcheck::FormatNoLongerFound(report),
              "no longer found: a.dxf: [layers.pattern] layer \"x\": accepted in the baseline\n"
              "no longer found: a.dxf: layer \"x\" (2 times): accepted in the baseline\n");
}

}  // namespace
