// The reports written to files for other programs: CSV for spreadsheets, JUnit XML for CI jobs.
#include <gtest/gtest.h>

#include "tests/kvstcheck/RunModelMaking.h"

#include "kvstcheck/reports/CsvReport.h"
#include "kvstcheck/reports/JunitReport.h"

namespace {

using kvstcheck::DrawingResult;
using kvstcheck::Finding;
using kvstcheck::NameHints;
using kvstcheck::RunReport;

const std::wstring kLayer = L"\u56FE\u5C42";

TEST(Csv, CellsAreQuotedAndFormulasNeutralised) {
    const std::pair<std::string, std::string> cases[] = {
        {"A-WALL", "A-WALL"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tTAB", "'\tTAB"},
        {"\rCR", "\"'\rCR\""},
        {"a=b", "a=b"},
        {"\xE5\xA2\x99", "\xE5\xA2\x99"},
    };
    for (const auto& [text, cell] : cases) EXPECT_EQ(kvstcheck::CsvCell(text), cell) << text;
}

TEST(Csv, RowsPerFindingPerDrawingNotAuditedAndPerEntryGone) {
    Finding accepted = kvtest::F(kLayer, L"-OLD", {});
    accepted.accepted = true;
    const DrawingResult office = kvtest::Counted({L"dir\\a.dxf", 9, {kvtest::F(kLayer, L"a-door", NameHints{{L"A-DOOR"}, true}), accepted}, {}, {}});
    const DrawingResult clean{L"clean.json", 3, {}, {}, {}};
    const DrawingResult broken{L"b.dxf", 0, {}, "line 3: no number, where a group code belongs", {}};
    RunReport report = kvtest::RunOf({office, clean, broken}, {}, {}, {});
    report.noLongerFound = {{"dir/a.dxf", "linetypes", "DASH", "", 2, "why"}};

    std::string csv = kvstcheck::CsvStart();
    for (const DrawingResult& drawing : report.drawings) csv += kvstcheck::CsvRows(drawing);
    csv += kvstcheck::CsvEnd(report);
    EXPECT_EQ(csv, std::string("\xEF\xBB\xBF") +
                       "drawing,result,kind key,kind,name,hint,rule,reason\r\n"
                       "dir\\a.dxf,finding,layers,layer,a-door,\"the standard has \"\"A-DOOR\"\": only the letter case differs\",,\r\n"
                       "dir\\a.dxf,accepted,layers,layer,'-OLD,,,\r\n"
                       "b.dxf,not audited,,,,,,\"line 3: no number, where a group code belongs\"\r\n"
                       "dir/a.dxf,no longer found,linetypes,linetype,DASH,,,"
                       "accepted 2 times in the baseline and no longer found\r\n");
}

TEST(Csv, ARulesFindingCarriesItsRuleAndMessage) {
    Finding rule = kvtest::F(kLayer, L"a wall");
    rule.rule = "layers.pattern";
    rule.message = "layer \"a wall\" does not match the pattern";
    const DrawingResult drawing = kvtest::Counted({L"a.dxf", 2, {rule}, {}, {}});
    EXPECT_EQ(kvstcheck::CsvRows(drawing),
              "a.dxf,finding,layers,layer,a wall,\"layer \"\"a wall\"\" does not match the pattern\",layers.pattern,\r\n");
}

TEST(Csv, ARunThatCouldNotStartIsARowToo) {
    const RunReport report = kvtest::RunOf({}, "the plug-in is not registered", {}, {});
    EXPECT_EQ(kvstcheck::CsvEnd(report), ",not audited,,,,,,the plug-in is not registered\r\n");
}

TEST(Xml, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    const std::pair<std::string, std::string> cases[] = {
        {"<script>&\"'", "&lt;script&gt;&amp;&quot;&apos;"},
        {"a\tb\nc\rd", "a&#9;b&#10;c&#13;d"},
        {std::string("nul\0x", 5), "nul\xEF\xBF\xBDx"},
        {"\x01\x1F\x7F", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xE5\xA2\x99\xEF\xBC\x81", "\xE5\xA2\x99\xEF\xBC\x81"},
        {"\xEF\xBF", "\xEF\xBF"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(kvstcheck::EscapeXml(text), escaped) << text;
}

TEST(Junit, OneCasePerDrawingWithCountsInTheSuite) {
    Finding accepted = kvtest::F(kLayer, L"OLD", {});
    accepted.accepted = true;
    const DrawingResult findings = kvtest::Counted({L"plans/l1/a.dxf", 9, {kvtest::F(kLayer, L"<x>", {}), accepted}, {}, {}});
    const DrawingResult onlyAccepted = kvtest::Counted({L"b.json", 2, {accepted}, {}, {}});
    const DrawingResult broken{L"C:\\p\\c.dxf", 0, {}, "cannot open the file", {}};
    kvstcheck::JunitReport junit;
    for (const DrawingResult& drawing : {findings, onlyAccepted, broken}) junit.Add(drawing);
    const std::string document = junit.Document(kvtest::RunOf({}));
    const std::string suite = " tests=\"3\" failures=\"1\" errors=\"1\"";
    EXPECT_NE(document.find("<testsuites name=\"kvstcheck\"" + suite + ">"), std::string::npos) << document;
    EXPECT_NE(document.find("<testsuite name=\"kvstcheck\"" + suite + " skipped=\"0\">"), std::string::npos);
    EXPECT_NE(document.find("<testcase classname=\"plans/l1\" name=\"a.dxf\">\n"
                            "      <failure message=\"1 finding in 9 names\" type=\"findings\">"
                            "layer &quot;&lt;x&gt;&quot;&#10;</failure>\n"
                            "      <system-out>accepted in the baseline:\nlayer &quot;OLD&quot;&#10;</system-out>"),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("<testcase classname=\".\" name=\"b.json\">\n      <system-out>"), std::string::npos);
    EXPECT_NE(document.find("<testcase classname=\"C:\\p\" name=\"c.dxf\">\n"
                            "      <error message=\"cannot open the file\" type=\"not audited\"/>"),
              std::string::npos);
}

TEST(Junit, ARunThatCouldNotStartIsAnError) {
    kvstcheck::JunitReport junit;
    const std::string document = junit.Document(kvtest::RunOf({}, "no plug-in", {}, {}));
    EXPECT_NE(document.find("tests=\"1\" failures=\"0\" errors=\"1\""), std::string::npos);
    EXPECT_NE(document.find("<error message=\"no plug-in\" type=\"set-up\"/>"), std::string::npos);
}

}  // namespace
