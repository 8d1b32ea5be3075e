// The HTML page as text: what it shows and that no text of a run becomes markup. The page as a
// browser renders it is checked end to end (kvstcheck_html.py).
#include "kvstcheck/reports/HtmlReport.h"

#include <gtest/gtest.h>

#include <string>

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

RunReport SampleRun() {
    return RunReport{{DrawingResult{L"office<1>.dxf", 9,
                                    {{L"\u56FE\u5C42", L"A-WALL"}, {L"\u56FE\u5C42", kHostile}, {L"\u7EBF\u578B", L"DASH"}},
                                    {},
                                    {"line 40: the file ends without EOF after its TABLES section: it may be cut short"}},
                      DrawingResult{L"clean.json", 3, {}, {}, {}},
                      DrawingResult{L"broken & bad.dxf", 0, {}, "line 3: expected a group code", {}}},
                     {},
                     L"C:\\standards\\office \"A\".ini",
                     {}};
}

TEST(HtmlReport, ShowsTotalsCountsPerKindAndEveryFinding) {
    const std::string html = FormatHtml(SampleRun());
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_NE(html.find("<code>C:\\standards\\office &quot;A&quot;.ini</code>"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"drawings\">3<"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"findings\">3<"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"names\">12<"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"not-audited\">1<"), std::string::npos);
    // Per kind: two layers and one linetype, in the run and in the first drawing.
    EXPECT_EQ(Occurrences(html, "data-kind=\"\xE5\x9B\xBE\xE5\xB1\x82\">2<"), 2u);
    EXPECT_EQ(Occurrences(html, "data-kind=\"\xE7\xBA\xBF\xE5\x9E\x8B\">1<"), 2u);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding "), 3u);
    EXPECT_NE(html.find("<h2>office&lt;1&gt;.dxf</h2>"), std::string::npos);
    EXPECT_NE(html.find("Warning: line 40: the file ends without EOF"), std::string::npos);
    EXPECT_NE(html.find("Not audited: line 3: expected a group code"), std::string::npos);
    EXPECT_NE(html.find("<h2>broken &amp; bad.dxf</h2>"), std::string::npos);
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

TEST(HtmlReport, EachKindAndDrawingHasItsFilter) {
    const std::string html = FormatHtml(SampleRun());
    // Two kinds: a check box each, and a rule that hides the kind's rows when it is cleared.
    EXPECT_EQ(Occurrences(html, "type=\"checkbox\""), 2u);
    EXPECT_NE(html.find("#kind-1:not(:checked) ~ main .k1 { display: none; }"), std::string::npos);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k0\">"), 2u);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k1\">"), 1u);
    // Three drawings and "all": a radio button each, and a rule that shows the chosen drawing alone.
    EXPECT_EQ(Occurrences(html, "type=\"radio\""), 4u);
    EXPECT_NE(html.find("#drawing-2:checked ~ main .drawing:not(.d2) { display: none; }"), std::string::npos);
    EXPECT_NE(html.find("@media print"), std::string::npos);
}

TEST(HtmlReport, HintsFollowTheirFindingEscaped) {
    using kvstcheck::NameHints;
    const RunReport report{{DrawingResult{L"o.dxf",
                                          9,
                                          {{L"k", L"a-door", NameHints{{L"A-DOOR"}, true}},
                                           {L"k", L"A-WAL", NameHints{{L"A-WALL", L"<b>A&W</b>"}, false}},
                                           {L"k", L"DASHD", NameHints{{L"DASHED"}, false}},
                                           {L"k", L"HIDDEN2", NameHints{}}},
                                          {},
                                          {}}},
                           {},
                           {},
                           {}};
    const std::string html = FormatHtml(report);
    EXPECT_NE(html.find("<td class=\"hints\">the standard has <q class=\"name\">A-DOOR</q>: only the letter case "
                        "differs</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"hints\">nearest allowed names: <q class=\"name\">A-WALL</q>, "
                        "<q class=\"name\">&lt;b&gt;A&amp;W&lt;/b&gt;</q></td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"hints\">nearest allowed name: <q class=\"name\">DASHED</q></td>"),
              std::string::npos);
    EXPECT_NE(html.find("HIDDEN2</td><td class=\"hints\"></td>"), std::string::npos);
}

TEST(HtmlReport, ARunThatCouldNotStartSaysWhy) {
    const std::string html = FormatHtml(RunReport{{}, "the plug-in is not <registered>", {}, {}});
    EXPECT_NE(html.find("The audit could not run: the plug-in is not &lt;registered&gt;"), std::string::npos);
    EXPECT_NE(html.find("Standard file: <code>(not known)</code>"), std::string::npos);
    EXPECT_NE(html.find("data-total=\"drawings\">0<"), std::string::npos);
}

}  // namespace

namespace {

TEST(HtmlReport, AcceptedFindingsAreMarkedAndLeftOutOfTheCounts) {
    kvstcheck::Finding accepted{L"\u56FE\u5C42", L"OLD", {}};
    accepted.accepted = true;
    const RunReport report{{DrawingResult{L"a.dxf", 9, {accepted, {L"\u56FE\u5C42", L"NEW"}}, {}, {}},
                            DrawingResult{L"b.dxf", 4, {accepted}, {}, {}}},
                           {},
                           {},
                           {}};
    const std::string html = FormatHtml(report);
    EXPECT_NE(html.find("<td class=\"number\" data-total=\"findings\">1</td>"), std::string::npos);
    EXPECT_EQ(Occurrences(html, "<tr class=\"finding k0 accepted\">"), 2u);
    EXPECT_EQ(Occurrences(html, "<span class=\"accepted-mark\">accepted</span>"), 2u);
    EXPECT_NE(html.find("<span data-count=\"findings\">1</span> finding in <span data-count=\"names\">9</span> names, "
                        "<span data-count=\"accepted\">1</span> accepted"),
              std::string::npos);
    // A drawing whose findings are all accepted reads as one without findings.
    EXPECT_NE(html.find("<section class=\"drawing d1 no-findings\""), std::string::npos);
}

}  // namespace
