// The HTML page as text: what it shows and that no text of a run becomes markup. The page as a
// browser renders it is checked end to end (kvstcheck_html.py).
#include "kvstcheck/reports/HtmlReport.h"

#include <gtest/gtest.h>

#include "tests/kvstcheck/RunModelMaking.h"

#include <string>
#include <tuple>
#include <vector>

namespace {

using kvstcheck::DrawingResult;
using kvstcheck::EscapeHtml;
using kvstcheck::FormatHtml;
using kvstcheck::RunReport;

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

TEST(HtmlReport, EscapesEveryCharacterThatMeansMarkup) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"a & b \"c\"", "a &amp; b &quot;c&quot;"},
        {"&amp;", "&amp;amp;"},
        {"tab\there\x01\x1F\x7F", "tab&#x2409;here&#x2401;&#x241F;&#x2421;"},
        {"\xE5\x9B\xBE\xE5\xB1\x82", "\xE5\x9B\xBE\xE5\xB1\x82"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(EscapeHtml(text), escaped) << text;
}

const std::wstring kHostile = L"</td></tr></table><script>document.title='owned'</script><img src=x onerror=alert(1)>";

// extra: findings added to the first drawing's.
RunReport SampleRun(std::vector<kvstcheck::Finding> extra = {}) {
    std::vector<kvstcheck::Finding> findings = {kvtest::F(L"\u56FE\u5C42", L"A-WALL"), kvtest::F(L"\u56FE\u5C42", kHostile),
                                                kvtest::F(L"\u7EBF\u578B", L"DASH")};
    findings.insert(findings.end(), extra.begin(), extra.end());
    return kvtest::RunOf({DrawingResult{L"office<1>.dxf", 9,
                                    std::move(findings),
                                    {},
                                    {"line 40: the file ends without EOF after its TABLES section: it may be cut short"}},
                      DrawingResult{L"clean.json", 3, {}, {}, {}},
                      DrawingResult{L"broken & bad.dxf", 0, {}, "line 3: expected a group code", {}}},
                     {},
                     L"C:\\standards\\office \"A\".ini",
                     {});
}

TEST(HtmlReport, ShowsTotalsCountsPerKindAndEveryFinding) {
    const std::string html = FormatHtml(SampleRun());
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_NE(html.find("<code><bdi>C:\\standards\\office &quot;A&quot;.ini</bdi></code>"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"drawings\">3<"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"findings\">3<"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"names\">12<"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"not-audited\">1<"), std::string::npos);
    // Per kind: two layers and one linetype, in the run and in the first drawing.
    EXPECT_EQ(Occurrences(html, "data-kind=\"layers\">2<"), 2u);
    EXPECT_EQ(Occurrences(html, "data-kind=\"linetypes\">1<"), 2u);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding "), 3u);
    EXPECT_NE(html.find("<h2 class=\"path\"><bdi>office&lt;1&gt;.dxf</bdi></h2>"), std::string::npos);
    EXPECT_NE(html.find("Warning: line 40: the file ends without EOF"), std::string::npos);
    EXPECT_NE(html.find("Not audited: line 3: expected a group code"), std::string::npos);
    EXPECT_NE(html.find("<h2 class=\"path\"><bdi>broken &amp; bad.dxf</bdi></h2>"), std::string::npos);
}

TEST(HtmlReport, NoTextOfTheRunBecomesMarkupAndNothingComesFromOutside) {
    const std::string html = FormatHtml(SampleRun());
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;document.title=&#39;owned&#39;&lt;/script&gt;"), std::string::npos);
    for (const char* outside : {"http:", "https:", "//", "@import", "url("}) {
        const std::size_t at = html.find(outside);
        // "//" may occur only inside the page's own text, never as a reference.
        EXPECT_EQ(at, std::string::npos) << outside << " at " << at;
    }
}

TEST(HtmlReport, EachKindHasItsFilterAndEachDrawingItsLink) {
    const std::string html = FormatHtml(SampleRun());
    // Two kinds: a check box each, and a rule that hides the kind's rows when it is cleared.
    EXPECT_EQ(Occurrences(html, "type=\"checkbox\" class=\"filter-box\" id=\"kind-"), 2u);
    EXPECT_NE(html.find("#kind-1:not(:checked) ~ main .k1, #kind-1:not(:checked) ~ .by-name .k1 { display: none; }"),
              std::string::npos);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k0\">"), 2u);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k1\">"), 1u);
    // Three drawings: a row each in the table of drawings, linking to its section; no per-drawing inputs.
    EXPECT_EQ(html.find("type=\"radio\""), std::string::npos);
    for (const char* link : {"href=\"#d0\"><bdi>office&lt;1&gt;.dxf", "href=\"#d1\"><bdi>clean.json",
                             "href=\"#d2\"><bdi>broken &amp; bad.dxf"})
        EXPECT_EQ(Occurrences(html, link), 1u) << link;
    EXPECT_EQ(Occurrences(html, "<section class=\"drawing d"), 3u);
    EXPECT_NE(html.find("id=\"d2\""), std::string::npos);
    EXPECT_NE(html.find("<tr class=\"no-findings\"><td class=\"path\"><a href=\"#d1\">"), std::string::npos);
    EXPECT_NE(html.find("#only-findings:checked ~ main .no-findings, #only-findings:checked ~ .index tr.no-findings"),
              std::string::npos);
    EXPECT_NE(html.find("@media print"), std::string::npos);
}

TEST(HtmlReport, HintsFollowTheirFindingEscaped) {
    using kvstcheck::NameHints;
    const RunReport report = kvtest::RunOf({DrawingResult{L"o.dxf",
                                          9,
                                          {kvtest::F(L"k", L"a-door", NameHints{{L"A-DOOR"}, true}),
                                           kvtest::F(L"k", L"A-WAL", NameHints{{L"A-WALL", L"<b>A&W</b>"}, false}),
                                           kvtest::F(L"k", L"DASHD", NameHints{{L"DASHED"}, false}),
                                           kvtest::F(L"k", L"HIDDEN2", NameHints{})},
                                          {},
                                          {}}},
                           {},
                           {},
                           {});
    const std::string html = FormatHtml(report);
    EXPECT_NE(html.find("<td class=\"hints\">the standard has <q class=\"name\"><bdi>A-DOOR</bdi></q>: only the letter case "
                        "differs</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"hints\">nearest allowed names: <q class=\"name\"><bdi>A-WALL</bdi></q>, "
                        "<q class=\"name\"><bdi>&lt;b&gt;A&amp;W&lt;/b&gt;</bdi></q></td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"hints\">nearest allowed name: <q class=\"name\"><bdi>DASHED</bdi></q></td>"),
              std::string::npos);
    EXPECT_NE(html.find("HIDDEN2</bdi></q></td><td class=\"hints\"></td>"), std::string::npos);
}

TEST(HtmlReport, ARunThatCouldNotStartSaysWhy) {
    const std::string html = FormatHtml(kvtest::RunOf({}, "the plug-in is not <registered>", {}, {}));
    EXPECT_NE(html.find("The audit could not run: the plug-in is not &lt;registered&gt;"), std::string::npos);
    EXPECT_NE(html.find("<th>Standard file</th><td data-fact=\"standard\">(not known)</td>"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"drawings\">0<"), std::string::npos);
}

TEST(HtmlReport, NamesAreShownQuotedIsolatedAndVisible) {
    using kvstcheck::NameHints;
    const RunReport report = kvtest::RunOf({DrawingResult{L"o\u202E.dxf",
                                          3,
                                          {kvtest::F(L"k", L"abc\u202Edef", {}),
                                           kvtest::F(L"k", L"A-WALL ", NameHints{{L"A-WALL"}, false, {"a trailing space"}}),
                                           kvtest::F(L"k", L"a\x1B[2Jb", {})},
                                          {},
                                          {}}},
                           {},
                           {},
                           {});
    const std::string html = FormatHtml(report);
    EXPECT_EQ(html.find("\xE2\x80\xAE"), std::string::npos);
    EXPECT_EQ(html.find('\x1B'), std::string::npos);
    EXPECT_NE(html.find("<h2 class=\"path\"><bdi>o&lt;U+202E&gt;.dxf</bdi></h2>"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"name\"><q class=\"name\"><bdi>abc&lt;U+202E&gt;def</bdi></q></td>"),
              std::string::npos);
    EXPECT_NE(html.find("<bdi>A-WALL&lt;U+0020&gt;</bdi></q></td><td class=\"hints\">the standard has "
                        "<q class=\"name\"><bdi>A-WALL</bdi></q>: a trailing space</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<bdi>a&lt;U+001B&gt;[2Jb</bdi>"), std::string::npos);
    EXPECT_NE(html.find("bdi { unicode-bidi: isolate; }"), std::string::npos);
}

TEST(HtmlReport, TheFactsOfTheRunForAReaderElsewhere) {
    RunReport report = SampleRun();
    report.facts = {"2026-12-08 12:30:05 UTC+08:00", "1.0", L"C:\\kv\\KVStVB7Default.dll", "1.0.0.0", 1234,
                    std::string(64, 'a')};
    const std::string html = FormatHtml(report);
    EXPECT_NE(html.find("<td data-fact=\"when\">2026-12-08 12:30:05 UTC+08:00</td>"), std::string::npos);
    EXPECT_NE(html.find("<td data-fact=\"tool\">kvstcheck 1.0</td>"), std::string::npos);
    EXPECT_NE(html.find("<td data-fact=\"plugin\"><code><bdi>C:\\kv\\KVStVB7Default.dll</bdi></code>, file version "
                        "1.0.0.0</td>"),
              std::string::npos);
    EXPECT_NE(html.find(", 1234 bytes, SHA-256 <code data-fact=\"sha256\">" + std::string(64, 'a') + "</code>"),
              std::string::npos);
    report.facts = {};
    const std::string unknown = FormatHtml(report);
    EXPECT_NE(unknown.find("<td data-fact=\"plugin\">(not known)</td>"), std::string::npos);
    EXPECT_NE(unknown.find("office &quot;A&quot;.ini</bdi></code> (could not be read)"), std::string::npos);
}

// Rows of the findings-by-name table as (name, kind key, drawings).
std::vector<std::tuple<std::string, std::string, std::string>> ByNameRows(const std::string& html) {
    std::vector<std::tuple<std::string, std::string, std::string>> rows;
    const std::size_t begin = html.find("<section class=\"by-name\"");
    const std::size_t end = html.find("</section>", begin);
    const std::string marker = "<td class=\"name\"><q class=\"name\"><bdi>";
    for (std::size_t at = html.find(marker, begin); at < end; at = html.find(marker, at + 1)) {
        const std::size_t nameEnd = html.find("</bdi>", at);
        const std::size_t kindAt = html.find("data-kind=\"", nameEnd) + 11;
        const std::size_t countAt = html.find("<td class=\"number\">", kindAt) + 19;
        rows.emplace_back(html.substr(at + marker.size(), nameEnd - at - marker.size()),
                          html.substr(kindAt, html.find('"', kindAt) - kindAt),
                          html.substr(countAt, html.find('<', countAt) - countAt));
    }
    return rows;
}

TEST(HtmlReport, FindingsByNameAcrossDrawingsMostWidespreadFirst) {
    const std::wstring layer = L"\u56FE\u5C42";
    const std::wstring linetype = L"\u7EBF\u578B";
    auto drawing = [](std::wstring path, std::vector<kvstcheck::Finding> findings) {
        return DrawingResult{std::move(path), 10, std::move(findings), {}, {}};
    };
    const RunReport report = kvtest::RunOf({drawing(L"a.dxf", {kvtest::F(layer, L"OLD"), kvtest::F(linetype, L"HIDDEN2"), kvtest::F(layer, L"OLD")}),
                            drawing(L"b.dxf", {kvtest::F(linetype, L"HIDDEN2"), kvtest::F(layer, L"Z")}),
                            drawing(L"c.dxf", {kvtest::F(linetype, L"HIDDEN2"), kvtest::F(layer, L"OLD"), kvtest::F(layer, L"A")}),
                            drawing(L"d.dxf", {kvtest::F(linetype, L"OLD")}),
                            DrawingResult{L"e.dxf", 0, {}, "broken", {}}},
                           {},
                           {},
                           {});
    const std::string html = FormatHtml(report);
    using Row = std::tuple<std::string, std::string, std::string>;
    // A name twice in one drawing counts once; the same name of two kinds is two rows; equals by kind, then name.
    EXPECT_EQ(ByNameRows(html), (std::vector<Row>{{"HIDDEN2", "linetypes", "3"},
                                                  {"OLD", "layers", "2"},
                                                  {"A", "layers", "1"},
                                                  {"Z", "layers", "1"},
                                                  {"OLD", "linetypes", "1"}}));
    EXPECT_NE(html.find("<th>Drawings (of 4)</th>"), std::string::npos);
    EXPECT_TRUE(ByNameRows(FormatHtml(kvtest::RunOf({drawing(L"a.dxf", {})}, {}, {}, {}))).empty());
    EXPECT_EQ(html.find("<details>"), std::string::npos);

    // Past the first twenty, the rest of the names open on demand, in the same order.
    std::vector<kvstcheck::Finding> many;
    for (wchar_t letter = L'A'; letter <= L'Y'; ++letter) many.push_back(kvtest::F(layer, std::wstring(3, letter)));
    const std::string long_ = FormatHtml(kvtest::RunOf({drawing(L"a.dxf", many)}, {}, {}, {}));
    const auto rows = ByNameRows(long_);
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(std::get<0>(rows[19]), "TTT");
    EXPECT_EQ(std::get<0>(rows[20]), "UUU");
    EXPECT_LT(long_.find("TTT"), long_.find("<details>\n<summary>All 25 names</summary>"));
    EXPECT_LT(long_.find("<details>"), long_.find("UUU"));
}

TEST(HtmlReport, KindsInTheReadersLanguage) {
    RunReport report = SampleRun({kvtest::F(L"other kind", L"X", {})});
    const std::string english = FormatHtml(report);
    EXPECT_NE(english.find("<td class=\"kind\">layer</td>"), std::string::npos);
    EXPECT_NE(english.find("<td class=\"kind\">linetype</td>"), std::string::npos);
    EXPECT_NE(english.find("<td class=\"kind\">other kind</td>"), std::string::npos);
    EXPECT_EQ(english.find("<td class=\"kind\">\xE5\x9B\xBE\xE5\xB1\x82</td>"), std::string::npos);
    report.language = kvstcheck::Language::Chinese;
    const std::string chinese = FormatHtml(report);
    EXPECT_NE(chinese.find("<td class=\"kind\">\xE5\x9B\xBE\xE5\xB1\x82</td>"), std::string::npos);
    EXPECT_EQ(chinese.find("<td class=\"kind\">layer</td>"), std::string::npos);
}

// A rules file's findings name their kind in English; they share the plug-in's kind, filter and rows.
TEST(HtmlReport, RuleFindingsShareTheirKindWithThePlugins) {
    const RunReport report = kvtest::RunOf({DrawingResult{L"a.dxf",
                                          5,
                                          {kvtest::F(L"\u56FE\u5C42", L"OLD", {}),
                                           kvtest::F(L"\u56FE\u5C42", L"OLD", {}, "layers.pattern", "layer \"OLD\" matches none"),
                                           kvtest::F(L"\u7EBF\u578B", L"X", {}, "linetypes.pattern", "linetype \"X\" matches none")},
                                          {},
                                          {}}},
                           {},
                           {},
                           {});
    const std::string html = FormatHtml(report);
    EXPECT_EQ(Occurrences(html, "class=\"filter-box\" id=\"kind-"), 2u);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k0\"><td class=\"kind\">layer</td>"), 2u);
    EXPECT_EQ(Occurrences(html, "data-kind=\"layers\">2<"), 2u);
    EXPECT_NE(html.find("<td class=\"hints\">layers.pattern: layer &quot;OLD&quot; matches none</td>"),
              std::string::npos);
    // The plug-in's finding and the rule's are two rows of the summary by name.
    using Row = std::tuple<std::string, std::string, std::string>;
    EXPECT_EQ(ByNameRows(html),
              (std::vector<Row>{{"OLD", "layers", "1"}, {"OLD", "layers", "1"}, {"X", "linetypes", "1"}}));
}

}  // namespace

namespace {

TEST(HtmlReport, AcceptedFindingsAreMarkedAndLeftOutOfTheCounts) {
    kvstcheck::Finding accepted = kvtest::F(L"\u56FE\u5C42", L"OLD", {});
    accepted.accepted = true;
    const RunReport report = kvtest::RunOf({DrawingResult{L"a.dxf", 9, {accepted, kvtest::F(L"\u56FE\u5C42", L"NEW")}, {}, {}},
                            DrawingResult{L"b.dxf", 4, {accepted}, {}, {}}},
                           {},
                           {},
                           {});
    const std::string html = FormatHtml(report);
    EXPECT_NE(html.find("<td class=\"number\" data-total=\"findings\">1</td>"), std::string::npos);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k0 accepted\">"), 2u);
    // Both rows of OLD, and its row of the table by name: accepted in every drawing it is in.
    EXPECT_EQ(Occurrences(html, "<span class=\"accepted-mark\">accepted</span>"), 3u);
    EXPECT_NE(html.find("<span data-count=\"findings\">1</span> finding in <span data-count=\"names\">9</span> names, "
                        "<span data-count=\"accepted\">1</span> accepted"),
              std::string::npos);
    // A drawing whose findings are all accepted reads as one without findings.
    EXPECT_NE(html.find("<section class=\"drawing d1 no-findings\""), std::string::npos);
}

// With a baseline every count of the page is of open findings, the accepted ones apart: the headline,
// the tables by kind, by drawing and by name, and each drawing's own summary tell one story.
TEST(HtmlReport, EveryCountLeavesAcceptedFindingsApart) {
    kvstcheck::Finding old = kvtest::F(L"\u56FE\u5C42", L"OLD");
    old.accepted = true;
    kvstcheck::Finding dash = kvtest::F(L"\u7EBF\u578B", L"DASH");
    dash.accepted = true;
    const RunReport report = kvtest::RunOf({DrawingResult{L"all-accepted.dxf", 9, {old, old, old, old, dash}, {}, {}},
                                            DrawingResult{L"open.dxf", 4, {kvtest::F(L"\u56FE\u5C42", L"NEW"), old}, {}, {}}});
    const std::string html = FormatHtml(report);
    const std::pair<std::string, std::size_t> cases[] = {
        {"data-total=\"findings\">1<", 1},
        {"data-total=\"accepted\">6<", 1},
        // Run and open.dxf: one open layer; all-accepted.dxf: none (its row is left out).
        {"data-kind=\"layers\">1<", 2},
        {"data-accepted-kind=\"layers\">5<", 1},
        {"data-kind=\"linetypes\">0<", 2},
        {"data-accepted-kind=\"linetypes\">1<", 2},
        // The drawings' table: findings, then accepted.
        {"all-accepted.dxf</bdi></a></td><td class=\"number\">0</td><td class=\"number\">5</td>", 1},
        {"open.dxf</bdi></a></td><td class=\"number\">1</td><td class=\"number\">1</td>", 1},
        {"<span data-count=\"findings\">0</span> findings in <span data-count=\"names\">9</span> names, "
         "<span data-count=\"accepted\">5</span> accepted", 1},
    };
    for (const auto& [part, count] : cases) EXPECT_EQ(Occurrences(html, part), count) << part;
    // By name: NEW is open in one drawing; OLD is accepted in both, marked, after the open names.
    using Row = std::tuple<std::string, std::string, std::string>;
    EXPECT_EQ(ByNameRows(html), (std::vector<Row>{{"NEW", "layers", "1"}, {"OLD", "layers", "0"}, {"DASH", "linetypes", "0"}}));
    EXPECT_NE(html.find("<tr class=\"k0 accepted\"><td class=\"name\"><q class=\"name\"><bdi>OLD</bdi></q> "
                        "<span class=\"accepted-mark\">accepted</span>"),
              std::string::npos);
}

}  // namespace
