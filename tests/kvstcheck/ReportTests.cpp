#include "kvstcheck/reports/Report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

using kvstcheck::DrawingResult;
using kvstcheck::RunReport;

DrawingResult Audited(std::wstring path, std::size_t names, std::vector<kvstcheck::Finding> findings) {
    return DrawingResult{std::move(path), names, std::move(findings), {}, {}};
}

DrawingResult Broken(std::wstring path, std::string error) { return DrawingResult{std::move(path), 0, {}, std::move(error), {}}; }

const DrawingResult kOffice = Audited(L"dir/\u529E\u516C.dxf", 7,
                                      {{L"\u56FE\u5C42", L"Old \"walls\""}, {L"\u7EBF\u578B", L"\u70B9"}});
const DrawingResult kClean = Audited(L"clean.json", 1, {});

TEST(Report, ExitStatusFollowsTheWorstDrawing) {
    const std::pair<RunReport, int> cases[] = {
        {RunReport{{kClean}, {}, {}, {}}, 0},
        {RunReport{{}, {}, {}, {}}, 0},
        {RunReport{{kClean, kOffice}, {}, {}, {}}, 1},
        {RunReport{{kOffice, Broken(L"b.dxf", "line 3: bad")}, {}, {}, {}}, 2},
        {RunReport{{kClean}, "no plug-in", {}, {}}, 2},
    };
    for (const auto& [report, status] : cases) EXPECT_EQ(report.Status(), status);
}

TEST(Report, TextHasOneLinePerFindingAndASummary) {
    EXPECT_EQ(kvstcheck::FormatDrawing(kOffice),
              "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf: \xE5\x9B\xBE\xE5\xB1\x82 \"Old \"walls\"\"\n"
              "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf: \xE7\xBA\xBF\xE5\x9E\x8B \"\xE7\x82\xB9\"\n"
              "dir/\xE5\x8A\x9E\xE5\x85\xAC.dxf: 2 findings in 7 names\n");
    EXPECT_EQ(kvstcheck::FormatDrawing(kClean), "clean.json: no findings in 1 name\n");
    EXPECT_EQ(kvstcheck::FormatDrawing(Broken(L"b.dxf", "bad")), "");
    EXPECT_EQ(kvstcheck::FormatTotals(RunReport{{kOffice, kClean, Broken(L"b.dxf", "bad")}, {}, {}, {}}),
              "3 drawings: 2 findings, 1 not audited\n");
}

TEST(Report, JsonHoldsEveryDrawingAndParsesBack) {
    const RunReport report{{kOffice, Broken(L"b.dxf", "line 3: bad")}, {}, {}, {}};
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

    const auto failed = nlohmann::json::parse(kvstcheck::FormatJson(RunReport{{}, "no plug-in", {}, {}}));
    EXPECT_EQ(failed["status"], 2);
    EXPECT_EQ(failed["error"], "no plug-in");
}

TEST(Report, HintsFollowTheirFindingInTextAndJson) {
    using kvstcheck::NameHints;
    const RunReport report{{Audited(L"o.dxf", 9,
                                    {{L"\u56FE\u5C42", L"a-door", NameHints{{L"A-DOOR"}, true}},
                                     {L"\u56FE\u5C42", L"A-WAL", NameHints{{L"A-WALL", L"A-WALLS"}, false}},
                                     {L"\u7EBF\u578B", L"DASHD", NameHints{{L"DASHED"}, false}},
                                     {L"\u7EBF\u578B", L"HIDDEN2", NameHints{}}})},
                           {},
                           {},
                           {}};
    EXPECT_EQ(kvstcheck::FormatDrawing(report.drawings[0]),
              "o.dxf: \xE5\x9B\xBE\xE5\xB1\x82 \"a-door\" (the standard has \"A-DOOR\": only the letter case differs)\n"
              "o.dxf: \xE5\x9B\xBE\xE5\xB1\x82 \"A-WAL\" (nearest allowed names: \"A-WALL\", \"A-WALLS\")\n"
              "o.dxf: \xE7\xBA\xBF\xE5\x9E\x8B \"DASHD\" (nearest allowed name: \"DASHED\")\n"
              "o.dxf: \xE7\xBA\xBF\xE5\x9E\x8B \"HIDDEN2\"\n"
              "o.dxf: 4 findings in 9 names\n");
    const auto findings = nlohmann::json::parse(kvstcheck::FormatJson(report))["drawings"][0]["findings"];
    EXPECT_EQ(findings[0]["hints"], nlohmann::json::parse(R"({"names": ["A-DOOR"], "letterCase": true})"));
    EXPECT_EQ(findings[1]["hints"]["names"], nlohmann::json::parse(R"(["A-WALL", "A-WALLS"])"));
    EXPECT_EQ(findings[1]["hints"]["letterCase"], false);
    EXPECT_EQ(findings[3]["hints"], nlohmann::json::parse(R"({"names": [], "letterCase": false})"));
}

TEST(Report, UnpairedSurrogatesDoNotBreakTheJson) {
    const RunReport report{{Audited(L"a.json", 1, {{L"k", std::wstring(1, wchar_t(0xD800))}})}, {}, {}, {}};
    const auto document = nlohmann::json::parse(kvstcheck::FormatJson(report));
    EXPECT_EQ(document["drawings"][0]["findings"][0]["name"], "\xEF\xBF\xBD");
}

TEST(Report, WarningsGoIntoTheJsonOfTheirDrawingOnly) {
    DrawingResult cut = Audited(L"cut.dxf", 1, {});
    cut.warnings = {"line 9: the file ends without EOF after its TABLES section: it may be cut short"};
    const RunReport report{{cut, kClean}, {}, {}, {}};
    EXPECT_EQ(report.Status(), 0);
    const auto document = nlohmann::json::parse(kvstcheck::FormatJson(report));
    EXPECT_EQ(document["drawings"][0]["warnings"], nlohmann::json::array({cut.warnings[0]}));
    EXPECT_FALSE(document["drawings"][1].contains("warnings"));
}

TEST(Report, AcceptedFindingsComeApartAndLeaveTheExitStatus) {
    kvstcheck::Finding accepted{L"\u56FE\u5C42", L"OLD", {}};
    accepted.accepted = true;
    const DrawingResult mixed = Audited(L"a.dxf", 9, {accepted, {L"\u56FE\u5C42", L"NEW"}});
    const DrawingResult onlyAccepted = Audited(L"b.dxf", 4, {accepted, accepted});
    EXPECT_EQ(kvstcheck::FormatDrawing(mixed),
              "a.dxf: \xE5\x9B\xBE\xE5\xB1\x82 \"NEW\"\n"
              "a.dxf: accepted: \xE5\x9B\xBE\xE5\xB1\x82 \"OLD\"\n"
              "a.dxf: 1 finding in 9 names, 1 accepted\n");
    const std::string acceptedLine = "b.dxf: accepted: \xE5\x9B\xBE\xE5\xB1\x82 \"OLD\"\n";
    EXPECT_EQ(kvstcheck::FormatDrawing(onlyAccepted),
              acceptedLine + acceptedLine + "b.dxf: no findings in 4 names, 2 accepted\n");

    RunReport report{{mixed, onlyAccepted}, {}, {}, {}};
    EXPECT_EQ(report.Status(), 1);
    EXPECT_EQ((RunReport{{onlyAccepted}, {}, {}, {}}).Status(), 0);
    report.noLongerFound = {{"a.dxf", "linetypes", "DASH", "", 2, ""}, {"b.dxf", "odd", "X", "", 1, ""}};
    EXPECT_EQ(kvstcheck::FormatTotals(report), "2 drawings: 1 finding, 3 accepted, 2 accepted no longer found\n");
    EXPECT_EQ(kvstcheck::FormatNoLongerFound(report),
              "no longer found: a.dxf: \xE7\xBA\xBF\xE5\x9E\x8B \"DASH\" (2 times): accepted in the baseline\n"
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
    const std::string coloured = kvstcheck::FormatDrawing(kOffice, true);
    EXPECT_NE(coloured.find("\x1b[1m\"\xE7\x82\xB9\"\x1b[0m"), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\x1b[31m2 findings\x1b[0m"), std::string::npos);
    EXPECT_NE(kvstcheck::FormatDrawing(kClean, true).find("\x1b[32mno findings\x1b[0m"), std::string::npos);
    EXPECT_EQ(kvstcheck::FormatDrawing(kOffice, false).find('\x1b'), std::string::npos);
    EXPECT_EQ(kvstcheck::FormatTotals(RunReport{{kClean}, {}, {}, {}}, true), "\x1b[1m1 drawing: 0 findings\x1b[0m\n");
}

TEST(Report, AReportThatCouldNotBeWrittenMakesTheRunBroken) {
    EXPECT_EQ((RunReport{{kClean}, {}, {}, "cannot write the HTML report"}).Status(), 2);
}

}  // namespace
