// Accepted findings: the baseline file, how it names drawings, what it accepts and what it writes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "tests/kvstcheck/RunModelMaking.h"

#include <nlohmann/json.hpp>

#include "kvstcheck/baseline/AcceptedFindings.h"
#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/baseline/BaselineScope.h"
#include "kvstcheck/baseline/DrawingKey.h"

namespace {

using kvstcheck::BaselineEntry;
using kvstcheck::Finding;

constexpr char kLayer[] = "layers";
const std::wstring kLayerLabel = L"\u56FE\u5C42";
const std::wstring kLinetypeLabel = L"\u7EBF\u578B";

std::string Document(const std::string& accepted) {
    return R"({"generator": "kvstcheck baseline", "schemaVersion": 1, "accepted": [)" + accepted + "]}";
}

TEST(BaselineFile, WritesInAStableOrderOneEntryPerLineAndReadsBack) {
    const std::vector<BaselineEntry> entries = {
        {"b/plan.dxf", kLayer, "Z", "", 1, ""},
        {"a.dxf", "linetypes", "HIDDEN2", "", 2, "kept for the old plots"},
        {"a.dxf", kLayer, "\xE5\xA2\x99 \"x\"\n", "", 1, ""},
    };
    const std::string text = kvstcheck::FormatBaseline(entries);
    EXPECT_EQ(text,
              "{\n  \"generator\": \"kvstcheck baseline\",\n  \"schemaVersion\": 1,\n  \"accepted\": [\n"
              "    {\"drawing\":\"a.dxf\",\"kind\":\"layers\",\"name\":\"\xE5\xA2\x99 \\\"x\\\"\\n\",\"rule\":\"\",\"count\":1,\"comment\":\"\"},\n"
              "    {\"drawing\":\"a.dxf\",\"kind\":\"linetypes\",\"name\":\"HIDDEN2\",\"rule\":\"\",\"count\":2,\"comment\":\"kept for the old plots\"},\n"
              "    {\"drawing\":\"b/plan.dxf\",\"kind\":\"layers\",\"name\":\"Z\",\"rule\":\"\",\"count\":1,\"comment\":\"\"}\n"
              "  ]\n}\n");
    const auto read = kvstcheck::ParseBaseline(text);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].name, entries[2].name);
    EXPECT_EQ(read[1].count, 2u);
    EXPECT_EQ(read[1].comment, "kept for the old plots");
    EXPECT_EQ(kvstcheck::FormatBaseline(read), text);
    EXPECT_EQ(kvstcheck::FormatBaseline({}), "{\n  \"generator\": \"kvstcheck baseline\",\n  \"schemaVersion\": 1,\n  \"accepted\": []\n}\n");
}

// A file edited by hand may accept one finding twice; however its entries come, they are written in
// one order, so that writing the file again changes nothing.
TEST(BaselineFile, EntriesOfOneFindingAreWrittenInOneOrder) {
    const std::vector<BaselineEntry> entries = {
        {"a.dxf", kLayer, "Z", "", 2, "second"},
        {"a.dxf", kLayer, "Z", "", 1, "second"},
        {"a.dxf", kLayer, "Z", "", 1, "first"},
        {"a.dxf", kLayer, "Z", "", 1, ""},
    };
    const std::string text = kvstcheck::FormatBaseline(entries);
    for (std::vector<BaselineEntry> other : {std::vector<BaselineEntry>(entries.rbegin(), entries.rend()),
                                             std::vector<BaselineEntry>{entries[2], entries[0], entries[3], entries[1]}})
        EXPECT_EQ(kvstcheck::FormatBaseline(std::move(other)), text);
    EXPECT_EQ(kvstcheck::FormatBaseline(kvstcheck::ParseBaseline(text)), text);
    EXPECT_LT(text.find("\"count\":1,\"comment\":\"\""), text.find("\"count\":1,\"comment\":\"first\""));
}

TEST(BaselineFile, AFileThatIsNotOursSaysWhy) {
    const std::pair<std::string, std::string> cases[] = {
        {"{\"accepted\": [", "not JSON: "},
        {"54554555555E5555E5", "not JSON: "},
        {"[]", "not a kvstcheck baseline (no \"generator\": \"kvstcheck baseline\")"},
        {R"({"schemaVersion": 1, "status": 1, "drawings": []})", "not a kvstcheck baseline"},
        {R"({"generator": "kvstcheck baseline", "accepted": []})", "no \"schemaVersion\" number"},
        {R"({"generator": "kvstcheck baseline", "schemaVersion": 2, "accepted": []})",
         "schema version 2, and this kvstcheck reads version 1"},
        {R"({"generator": "kvstcheck baseline", "schemaVersion": 1})", "no \"accepted\" list"},
        {Document("[]"), "entry 1 is not an object"},
        {Document(R"({"drawing": "a.dxf", "kind": "layers"})"), "entry 1 has no \"name\""},
        {Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x"}, {"drawing": 3, "kind": "k", "name": "n"})"),
         "entry 2: \"drawing\" is not a string"},
        {Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x", "count": 0})"),
         "entry 1: \"count\" is not a whole number from 1 to 4294967295"},
        {Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x", "count": -1})"),
         "entry 1: \"count\" is not a whole number from 1 to 4294967295"},
        {Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x", "count": 4294967296})"),
         "entry 1: \"count\" is not a whole number from 1 to 4294967295"},
        {Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x", "count": 1.5})"),
         "entry 1: \"count\" is not a whole number from 1 to 4294967295"},
        {Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x", "comment": null})"),
         "entry 1: \"comment\" is not a string"},
    };
    for (const auto& [bytes, why] : cases) {
        try {
            kvstcheck::ParseBaseline(bytes);
            ADD_FAILURE() << bytes;
        } catch (const kvstcheck::BaselineError& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, why.size()), why) << error.what();
        }
    }
}

TEST(BaselineFile, RuleCountAndCommentMayBeLeftOut) {
    const auto read = kvstcheck::ParseBaseline(Document(R"({"drawing": "a.dxf", "kind": "layers", "name": "x"})"));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].rule, "");
    EXPECT_EQ(read[0].count, 1u);
    EXPECT_EQ(read[0].comment, "");
}

TEST(DrawingKey, RelativeToTheBaselinesFolder) {
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\proj\\plans\\a.dxf", L"C:\\proj", L"plans/a.dxf"},
        {L"C:\\proj\\a.dxf", L"C:\\proj\\", L"a.dxf"},
        {L"c:\\PROJ\\Plans\\a.dxf", L"C:\\proj", L"Plans/a.dxf"},  // letter case of the folder aside
        {L"C:\\proj\\a.dxf", L"C:\\proj\\ci", L"../a.dxf"},
        {L"C:\\other\\x\\a.dxf", L"C:\\proj\\ci", L"../../other/x/a.dxf"},
        {L"D:\\a.dxf", L"C:\\proj", L"D:/a.dxf"},
        {L"C:\\a.dxf", L"C:", L"a.dxf"},
        {L"\\\\server\\share\\p\\a.dxf", L"\\\\server\\share", L"p/a.dxf"},
        {L"\\\\server\\share\\a.dxf", L"\\\\server\\other", L"//server/share/a.dxf"},
        {L"\\\\server\\share\\a.dxf", L"C:\\proj", L"//server/share/a.dxf"},
        {L"C:\\proj\\proj", L"C:\\proj\\proj", L"../proj"},
    };
    for (const auto& [drawing, folder, relative] : cases)
        EXPECT_EQ(kvstcheck::RelativeDrawingPath(drawing, folder), relative);
}

TEST(AcceptedFindings, EachEntryAcceptsAsManyFindingsAsItsCount) {
    kvstcheck::AcceptedFindings accepted({{"plans/a.dxf", kLayer, "OLD", "", 2, ""},
                                          {"PLANS/A.DXF", "linetypes", "DASH", "", 1, ""},
                                          {"plans/a.dxf", kLayer, "GONE", "", 1, "was removed"},
                                          {"plans/b.dxf", kLayer, "OLD", "", 1, ""}});
    std::vector<Finding> findings = {kvtest::F(kLayerLabel, L"OLD"), kvtest::F(kLayerLabel, L"NEW"), kvtest::F(kLayerLabel, L"OLD"),
                                     kvtest::F(kLayerLabel, L"OLD"), kvtest::F(kLinetypeLabel, L"DASH"), kvtest::F(kLinetypeLabel, L"OLD")};
    accepted.Accept("plans/a.dxf", "C:\\p\\plans\\a.dxf", findings);
    std::vector<bool> flags;
    for (const Finding& finding : findings) flags.push_back(finding.accepted);
    EXPECT_EQ(flags, (std::vector<bool>{true, false, true, false, true, false}));
    // b.dxf was not part of the run: its entry is neither used nor gone.
    const auto gone = accepted.NoLongerFound();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].name, "GONE");
    EXPECT_EQ(gone[0].drawing, "C:\\p\\plans\\a.dxf");
    EXPECT_EQ(gone[0].comment, "was removed");
}

TEST(AcceptedFindings, ARulesFindingIsAcceptedByItsRule) {
    kvstcheck::AcceptedFindings accepted({{"a.dxf", "layers", "x", "layers.pattern", 1, ""}});
    Finding byRule = kvtest::F(kLayerLabel, L"x");
    byRule.rule = "layers.pattern";
    Finding byOtherRule = byRule;
    byOtherRule.rule = "layers.required";
    std::vector<Finding> findings = {byOtherRule, byRule};
    accepted.Accept("a.dxf", "a.dxf", findings);
    EXPECT_FALSE(findings[0].accepted);
    EXPECT_TRUE(findings[1].accepted);
    EXPECT_TRUE(accepted.NoLongerFound().empty());
}

TEST(AcceptedFindings, RepeatsFoundFewerTimesAreCountedAsGone) {
    kvstcheck::AcceptedFindings accepted({{"a.dxf", kLayer, "X", "", 3, ""}});
    std::vector<Finding> findings = {kvtest::F(kLayerLabel, L"X")};
    accepted.Accept("a.dxf", "a.dxf", findings);
    const auto gone = accepted.NoLongerFound();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].count, 2u);
}

TEST(BaselineWriter, CountsRepeatsKeepsCommentsAndDrawingsNotAudited) {
    wchar_t folder[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, folder), 0u);
    kvstcheck::BaselineWriter writer(folder, {{"a.dxf", kLayer, "X", "", 1, "accepted in review 12"},
                                              {"a.dxf", kLayer, "FIXED", "", 1, "gone now"},
                                              {"broken.dxf", kLayer, "Y", "", 1, "kept"},
                                              {"elsewhere.dxf", kLayer, "Z", "", 1, "not in this run"}});
    writer.Checked({kvstcheck::EveryPluginKind(), {}});
    writer.Add({L"a.dxf", 3, {kvtest::F(kLayerLabel, L"X"), kvtest::F(kLayerLabel, L"X"), kvtest::F(L"?", L"odd kind")}, {}, {}});
    writer.Add({L"broken.dxf", 0, {}, "line 3: bad", {}});
    const auto written = kvstcheck::ParseBaseline(writer.Bytes());
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[0].kind, "?");  // a label of no known kind is kept as it is
    EXPECT_EQ(written[1].name, "X");
    EXPECT_EQ(written[1].count, 2u);
    EXPECT_EQ(written[1].comment, "accepted in review 12");
    EXPECT_EQ(written[2].drawing, "broken.dxf");
    EXPECT_EQ(written[2].comment, "kept");
    EXPECT_EQ(written[3].drawing, "elsewhere.dxf");
    EXPECT_EQ(writer.KeptUnchecked(), 2u);
}

// A run rewrites only what it looked at: an entry it could not have found again is not "fixed".
TEST(BaselineWriter, KeepsEntriesOfRulesKindsAndDrawingsTheRunDidNotCheck) {
    wchar_t folder[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, folder), 0u);
    const BaselineEntry previous[] = {
        {"a.dxf", kLayer, "OLD", "", 1, "plug-in"},
        {"a.dxf", kLayer, "a b", "layers.pattern", 1, "waived by the office"},
        {"a.dxf", kLayer, " x", "names.spaces", 1, "imported"},
        {"a.dxf", "linetypes", "DASH", "", 1, "linetype"},
        {"other.dxf", kLayer, "Q", "", 1, "not audited"},
    };
    struct Case {
        const char* what;
        kvstcheck::BaselineScope scope;
        std::vector<std::string> kept;  // names of the previous entries kept, in the file's order (byte order)
    };
    const Case cases[] = {
        {"nothing checked", {}, {" x", "OLD", "a b", "DASH", "Q"}},
        {"the plug-in alone, no rules", {kvstcheck::EveryPluginKind(), {}}, {" x", "a b", "Q"}},
        {"the plug-in and one rule", {kvstcheck::EveryPluginKind(), {"names.spaces"}}, {"a b", "Q"}},
        {"layers only, every rule", {{kLayer}, {"names.spaces", "layers.pattern"}}, {"DASH", "Q"}},
    };
    for (const Case& c : cases) {
        kvstcheck::BaselineWriter writer(folder, {std::begin(previous), std::end(previous)});
        writer.Checked(c.scope);
        writer.Add({L"a.dxf", 4, {}, {}, {}});  // audited, found nothing
        std::vector<std::string> kept;
        for (const BaselineEntry& entry : kvstcheck::ParseBaseline(writer.Bytes())) {
            kept.push_back(entry.name);
            const auto same = std::find_if(std::begin(previous), std::end(previous),
                                           [&](const BaselineEntry& p) { return p.name == entry.name; });
            EXPECT_EQ(entry.comment, same->comment) << c.what;
        }
        EXPECT_EQ(kept, c.kept) << c.what;
        EXPECT_EQ(writer.KeptUnchecked(), c.kept.size()) << c.what;
    }
}

// The rules a rules file checks are those it gives something to check with; the name checks are on
// unless switched off.
TEST(BaselineScope, RulesCheckedAreThoseTheRulesGiveSomethingToCheckWith) {
    using kvstcheck::rules::RuleSet;
    RuleSet plain;
    RuleSet quiet;
    quiet.checks = {false, false, true, false};
    quiet.kinds[2].required.push_back({U"Standard", {}});
    quiet.layers.push_back({U"0", {}, 7, std::nullopt, std::nullopt, false});
    const std::pair<const RuleSet*, std::set<std::string>> cases[] = {
        {&plain, {"names.characters", "names.invisible", "names.letter-case", "names.spaces"}},
        {&quiet, {"names.spaces", "text-styles.required", "layers.color", "layers.plot"}},
    };
    for (const auto& [ruleSet, ids] : cases) EXPECT_EQ(kvstcheck::RulesChecked(*ruleSet), ids);
}

}  // namespace
