#include "kvstcheck/reports/Report.h"

#include <gtest/gtest.h>

#include "tests/kvstcheck/RunModelMaking.h"

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"

namespace {

using kvstcheck::DrawingResult;
using kvstcheck::RunReport;

DrawingResult Audited(std::wstring path, std::size_t names, std::vector<kvstcheck::Finding> findings) {
    return kvtest::Counted(DrawingResult{std::move(path), names, std::move(findings), {}, {}});
}

DrawingResult Broken(std::wstring path, std::string error) {
    return kvtest::Counted(DrawingResult{std::move(path), 0, {}, std::move(error), {}});
}

const DrawingResult kOffice = Audited(L"dir/\u529E\u516C.dxf", 7,
                                      {kvtest::F(L"\u56FE\u5C42", L"Old \"walls\""), kvtest::F(L"\u7EBF\u578B", L"\u70B9")});
const DrawingResult kClean = Audited(L"clean.json", 1, {});

TEST(Report, ExitStatusFollowsTheWorstDrawing) {
    const std::pair<RunReport, int> cases[] = {
        {kvtest::RunOf({kClean}, {}, {}, {}), 0},
        {kvtest::RunOf({}, {}, {}, {}), 0},
        {kvtest::RunOf({kClean, kOffice}, {}, {}, {}), 1},
        {kvtest::RunOf({kOffice, Broken(L"b.dxf", "line 3: bad")}, {}, {}, {}), 2},
        {kvtest::RunOf({kClean}, "no plug-in", {}, {}), 2},
    };
    for (const auto& [report, status] : cases) EXPECT_EQ(report.Status(), status);
}

TEST(Report, TextHasOneLinePerFindingAndASummary) {
    EXPECT_EQ(kvstcheck::FormatDrawing(kOffice),
              "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf: layer \"Old \"walls\"\"\n"
              "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf: linetype \"\xE7\x82\xB9\"\n"
              "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf: 2 findings in 7 names\n");
    EXPECT_EQ(kvstcheck::FormatDrawing(kClean), "clean.json: no findings in 1 name\n");
    EXPECT_EQ(kvstcheck::FormatDrawing(Broken(L"b.dxf", "bad")), "");
    EXPECT_EQ(kvstcheck::FormatTotals(kvtest::RunOf({kOffice, kClean, Broken(L"b.dxf", "bad")}, {}, {}, {})),
              "3 drawings: 2 findings, 1 not audited\n");
}

TEST(Report, JsonHoldsEveryDrawingAndParsesBack) {
    const RunReport report = kvtest::RunOf({kOffice, Broken(L"b.dxf", "line 3: bad")}, {}, {}, {});
    const auto document = nlohmann::json::parse(kvstcheck::FormatJson(report));
    EXPECT_EQ(document["status"], 2);
    EXPECT_EQ(document["findings"], 2);
    EXPECT_FALSE(document.contains("error"));
    ASSERT_EQ(document["drawings"].size(), 2u);
    const auto& office = document["drawings"][0];
    EXPECT_EQ(office["path"], "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf");
    EXPECT_EQ(office["names"], 7);
    EXPECT_EQ(office["findings"][0]["kind"], "\xE5\x9B\xBE\xE5\xB1\x82");
    EXPECT_EQ(office["findings"][0]["name"], "Old \"walls\"");
    EXPECT_EQ(office["findings"][1]["name"], "\xE7\x82\xB9");
    EXPECT_EQ(document["drawings"][1]["error"], "line 3: bad");
    EXPECT_FALSE(document["drawings"][1].contains("findings"));

    const auto failed = nlohmann::json::parse(kvstcheck::FormatJson(kvtest::RunOf({}, "no plug-in", {}, {})));
    EXPECT_EQ(failed["status"], 2);
    EXPECT_EQ(failed["error"], "no plug-in");
}

TEST(Report, HintsFollowTheirFindingInTextAndJson) {
    using kvstcheck::NameHints;
    const RunReport report = kvtest::RunOf({Audited(L"o.dxf", 9,
                                    {kvtest::F(L"\u56FE\u5C42", L"a-door", NameHints{{L"A-DOOR"}, true}),
                                     kvtest::F(L"\u56FE\u5C42", L"A-WAL", NameHints{{L"A-WALL", L"A-WALLS"}, false}),
                                     kvtest::F(L"\u7EBF\u578B", L"DASHD", NameHints{{L"DASHED"}, false}),
                                     kvtest::F(L"\u7EBF\u578B", L"HIDDEN2", NameHints{})})},
                           {},
                           {},
                           {});
    EXPECT_EQ(kvstcheck::FormatDrawing(report.drawings[0]),
              "o.dxf: layer \"a-door\" (the standard has \"A-DOOR\": only the letter case differs)\n"
              "o.dxf: layer \"A-WAL\" (nearest allowed names: \"A-WALL\", \"A-WALLS\")\n"
              "o.dxf: linetype \"DASHD\" (nearest allowed name: \"DASHED\")\n"
              "o.dxf: linetype \"HIDDEN2\"\n"
              "o.dxf: 4 findings in 9 names\n");
    const auto findings = nlohmann::json::parse(kvstcheck::FormatJson(report))["drawings"][0]["findings"];
    EXPECT_EQ(findings[0]["hints"],
              nlohmann::json::parse(R"({"names": ["A-DOOR"], "letterCase": true, "differences": []})"));
    EXPECT_EQ(findings[1]["hints"]["names"], nlohmann::json::parse(R"(["A-WALL", "A-WALLS"])"));
    EXPECT_EQ(findings[1]["hints"]["letterCase"], false);
    EXPECT_EQ(findings[3]["hints"], nlohmann::json::parse(R"({"names": [], "letterCase": false, "differences": []})"));
}

TEST(Report, UnpairedSurrogatesDoNotBreakTheJson) {
    const RunReport report = kvtest::RunOf({Audited(L"a.json", 1, {kvtest::F(L"k", std::wstring(1, wchar_t(0xD800)))})}, {}, {}, {});
    const auto document = nlohmann::json::parse(kvstcheck::FormatJson(report));
    EXPECT_EQ(document["drawings"][0]["findings"][0]["name"], "\xEF\xBF\xBD");
}

TEST(Report, WarningsGoIntoTheJsonOfTheirDrawingOnly) {
    DrawingResult cut = Audited(L"cut.dxf", 1, {});
    cut.warnings = {"line 9: the file ends without EOF after its TABLES section: it may be cut short"};
    const RunReport report = kvtest::RunOf({cut, kClean}, {}, {}, {});
    EXPECT_EQ(report.Status(), 0);
    const auto document = nlohmann::json::parse(kvstcheck::FormatJson(report));
    EXPECT_EQ(document["drawings"][0]["warnings"], nlohmann::json::array({cut.warnings[0]}));
    EXPECT_FALSE(document["drawings"][1].contains("warnings"));
}

TEST(Report, AcceptedFindingsComeApartAndLeaveTheExitStatus) {
    kvstcheck::Finding accepted = kvtest::F(L"\u56FE\u5C42", L"OLD", {});
    accepted.accepted = true;
    const DrawingResult mixed = Audited(L"a.dxf", 9, {accepted, kvtest::F(L"\u56FE\u5C42", L"NEW")});
    const DrawingResult onlyAccepted = Audited(L"b.dxf", 4, {accepted, accepted});
    EXPECT_EQ(kvstcheck::FormatDrawing(mixed),
              "a.dxf: layer \"NEW\"\n"
              "a.dxf: accepted: layer \"OLD\"\n"
              "a.dxf: 1 finding in 9 names, 1 accepted\n");
    const std::string acceptedLine = "b.dxf: accepted: layer \"OLD\"\n";
    EXPECT_EQ(kvstcheck::FormatDrawing(onlyAccepted),
              acceptedLine + acceptedLine + "b.dxf: no findings in 4 names, 2 accepted\n");

    RunReport report = kvtest::RunOf({mixed, onlyAccepted}, {}, {}, {});
    EXPECT_EQ(report.Status(), 1);
    EXPECT_EQ((kvtest::RunOf({onlyAccepted}, {}, {}, {})).Status(), 0);
    report.noLongerFound = {{"a.dxf", "linetypes", "DASH", "", 2, ""}, {"b.dxf", "odd", "X", "", 1, ""}};
    EXPECT_EQ(kvstcheck::FormatTotals(report), "2 drawings: 1 finding, 3 accepted, 2 accepted no longer found\n");
    EXPECT_EQ(kvstcheck::FormatNoLongerFound(report),
              "no longer found: a.dxf: linetype \"DASH\" (2 times): accepted in the baseline\n"
              "no longer found: b.dxf: odd \"X\": accepted in the baseline\n");
    const auto document = nlohmann::json::parse(kvstcheck::FormatJson(report));
    EXPECT_EQ(document["schemaVersion"], 1);
    EXPECT_EQ(document["findings"], 1);
    EXPECT_EQ(document["accepted"], 3);
    EXPECT_EQ(document["drawings"][0]["findings"][0]["accepted"], true);
    EXPECT_EQ(document["drawings"][0]["findings"][1]["accepted"], false);
    EXPECT_EQ(document["noLongerFound"][0], nlohmann::json::parse(
                                                R"({"drawing": "a.dxf", "kind": "linetypes", "name": "DASH", "rule": "", "count": 2})"));
}

TEST(Report, ColoursOnlyWhenAsked) {
    const std::string coloured = kvstcheck::FormatDrawing(kOffice, kvstcheck::Language::English, true);
    EXPECT_NE(coloured.find("\x1b[1m\"\xE7\x82\xB9\"\x1b[0m"), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\x1b[31m2 findings\x1b[0m"), std::string::npos);
    EXPECT_NE(kvstcheck::FormatDrawing(kClean, kvstcheck::Language::English, true).find("\x1b[32mno findings\x1b[0m"), std::string::npos);
    EXPECT_EQ(kvstcheck::FormatDrawing(kOffice, kvstcheck::Language::English, false).find('\x1b'), std::string::npos);
    EXPECT_EQ(kvstcheck::FormatTotals(kvtest::RunOf({kClean}, {}, {}, {}), true), "\x1b[1m1 drawing: 0 findings\x1b[0m\n");
}

// A run in text mode lets its drawings go once their lines are printed: the totals and the exit
// status count them all the same.
TEST(Report, DrawingsLetGoStillCountInTotalsAndStatus) {
    struct Case {
        std::vector<std::pair<DrawingResult, bool>> added;  // result, kept
        std::size_t kept;
        std::string totals;
        int status;
    };
    const Case cases[] = {
        {{{kClean, false}, {kClean, false}}, 0, "2 drawings: 0 findings\n", 0},
        {{{kClean, false}, {kOffice, false}}, 0, "2 drawings: 2 findings\n", 1},
        {{{kOffice, true}, {Broken(L"b.dxf", "bad"), false}}, 1, "2 drawings: 2 findings, 1 not audited\n", 2},
        {{{Broken(L"b.dxf", "bad"), true}, {kClean, false}, {kOffice, false}}, 1,
         "3 drawings: 2 findings, 1 not audited\n", 2},
        {{{kOffice, true}, {kClean, true}}, 2, "2 drawings: 2 findings\n", 1},
    };
    for (const Case& c : cases) {
        RunReport report;
        for (const auto& [result, keep] : c.added) report.Add(result, keep);
        EXPECT_EQ(report.drawings.size(), c.kept) << c.totals;
        EXPECT_EQ(kvstcheck::FormatTotals(report), c.totals);
        EXPECT_EQ(report.Status(), c.status) << c.totals;
        EXPECT_EQ(nlohmann::json::parse(kvstcheck::FormatJson(report))["findings"], report.Counts().findings);
    }
}

TEST(Report, AReportThatCouldNotBeWrittenMakesTheRunBroken) {
    EXPECT_EQ((kvtest::RunOf({kClean}, {}, {}, "cannot write the HTML report")).Status(), 2);
}

// Only clean drawings so far: a run stopped by the user must not pass.
TEST(Report, AnInterruptedRunIsBrokenWhateverItsDrawingsFound) {
    for (const DrawingResult& drawing : {kClean, kOffice}) {
        RunReport report = kvtest::RunOf({drawing}, {}, {}, {});
        report.interrupted = true;
        EXPECT_EQ(report.Status(), 2);
    }
}

// Names holding controls, bidirectional marks or spaces at their ends: one line per finding, nothing
// that acts on a terminal, the exact name kept in JSON beside its display form.
TEST(Report, NamesAreShownAsTheyAre) {
    using kvstcheck::NameHints;
    const std::wstring layer = L"\u56FE\u5C42";
    const RunReport report = kvtest::RunOf({Audited(L"n\x1B.json", 5,
                                    {kvtest::F(layer, L"\x1B]0;owned\x07"),
                                     kvtest::F(layer, L"A\r\nB"),
                                     kvtest::F(layer, L"abc\u202Edef"),
                                     kvtest::F(layer, L"A-WALL\u200B",
                                      NameHints{{L"A-WALL"}, false, {"U+200B ZERO WIDTH SPACE after position 6"}}),
                                     kvtest::F(layer, L"0 ", NameHints{{L"0"}, false, {"a trailing space"}})})},
                           {},
                           {},
                           {});
    const std::string text = kvstcheck::FormatDrawing(report.drawings[0]);
    EXPECT_EQ(text,
              "n<U+001B>.json: layer \"<U+001B>]0;owned<U+0007>\"\n"
              "n<U+001B>.json: layer \"A<U+000D><U+000A>B\"\n"
              "n<U+001B>.json: layer \"abc<U+202E>def\"\n"
              "n<U+001B>.json: layer \"A-WALL<U+200B>\" (the standard has \"A-WALL\": U+200B ZERO "
              "WIDTH SPACE after position 6)\n"
              "n<U+001B>.json: layer \"0<U+0020>\" (the standard has \"0\": a trailing space)\n"
              "n<U+001B>.json: 5 findings in 5 names\n");
    const auto findings = nlohmann::json::parse(kvstcheck::FormatJson(report))["drawings"][0]["findings"];
    EXPECT_EQ(findings[0]["name"], "\x1B]0;owned\x07");
    EXPECT_EQ(findings[0]["displayName"], "<U+001B>]0;owned<U+0007>");
    EXPECT_EQ(findings[2]["name"], "abc\xE2\x80\xAE" "def");
    EXPECT_EQ(findings[2]["displayName"], "abc<U+202E>def");
    EXPECT_EQ(findings[3]["hints"]["differences"],
              nlohmann::json::parse(R"(["U+200B ZERO WIDTH SPACE after position 6"])"));
    EXPECT_EQ(findings[4]["displayName"], "0<U+0020>");
}

TEST(Report, KindsInTheReadersLanguageAndAKeyForPrograms) {
    const struct {
        std::wstring label;
        std::string key, english, chinese;
    } cases[] = {
        {L"\u56FE\u5C42", "layers", "layer", "\xE5\x9B\xBE\xE5\xB1\x82"},
        {L"\u7EBF\u578B", "linetypes", "linetype", "\xE7\xBA\xBF\xE5\x9E\x8B"},
        {L"\u6587\u5B57\u6837\u5F0F", "textStyles", "text style", "\xE6\x96\x87\xE5\xAD\x97\xE6\xA0\xB7\xE5\xBC\x8F"},
        {L"\u6807\u6CE8\u6837\u5F0F", "dimStyles", "dimension style", "\xE6\xA0\x87\xE6\xB3\xA8\xE6\xA0\xB7\xE5\xBC\x8F"},
        // Another plug-in's label is shown as it came, in its display form.
        {L"Block\x1B", "", "Block<U+001B>", "Block<U+001B>"},
    };
    for (const auto& c : cases) {
        const DrawingResult drawing = Audited(L"a.dxf", 1, {kvtest::F(c.label, L"X")});
        EXPECT_EQ(kvstcheck::FormatDrawing(drawing), "a.dxf: " + c.english + " \"X\"\na.dxf: 1 finding in 1 name\n");
        EXPECT_EQ(kvstcheck::FormatDrawing(drawing, kvstcheck::Language::Chinese),
                  "a.dxf: " + c.chinese + " \"X\"\na.dxf: 1 finding in 1 name\n");
        const auto finding = nlohmann::json::parse(kvstcheck::FormatJson(kvtest::RunOf({drawing}, {}, {}, {})))
                                 ["drawings"][0]["findings"][0];
        EXPECT_EQ(finding["kind"], kvstcheck::EncodeUtf8(c.label));
        if (c.key.empty())
            EXPECT_TRUE(finding["kindKey"].is_null());
        else
            EXPECT_EQ(finding["kindKey"], c.key);
    }
}

}  // namespace
