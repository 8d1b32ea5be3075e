#include "kvstcheck/reports/HtmlReport.h"

#include <algorithm>
#include <map>
#include <vector>

#include "kvstcheck/Text.h"

namespace kvstcheck {
namespace {

constexpr std::string_view kStyle = R"(
:root { color-scheme: light; --line: #c8ccd2; --muted: #5b6470; --finding: #9b1c1c; --ok: #1d6b34; }
body { font: 15px/1.45 system-ui, sans-serif; margin: 1.5rem auto; max-width: 70rem; padding: 0 1rem; color: #1b1f24; }
h1 { font-size: 1.5rem; margin: 0 0 .25rem; }
h2 { font-size: 1.05rem; margin: 0; overflow-wrap: anywhere; }
code, .name { font-family: ui-monospace, monospace; overflow-wrap: anywhere; white-space: pre-wrap; }
table { border-collapse: collapse; margin: .5rem 0; }
th, td { border: 1px solid var(--line); padding: .2rem .6rem; text-align: left; vertical-align: top; }
th { background: #eef0f3; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
.totals td { font-size: 1.2rem; font-weight: 600; }
.filter-box { position: absolute; opacity: 0; pointer-events: none; }
.filters { display: flex; flex-wrap: wrap; gap: .3rem 1.5rem; margin: 1rem 0; padding: .6rem .8rem; background: #f6f7f9; border: 1px solid var(--line); }
.filters p { margin: 0; width: 100%; font-weight: 600; }
.filters label { cursor: pointer; padding: .1rem .5rem; border: 1px solid var(--line); border-radius: .8rem; background: #fff; }
.filters .group { display: flex; flex-wrap: wrap; gap: .3rem; align-items: center; }
.drawing { border: 1px solid var(--line); border-radius: .3rem; padding: .7rem 1rem; margin: 1rem 0; break-inside: avoid-page; }
.summary { margin: .2rem 0; color: var(--muted); }
.has-findings .summary { color: var(--finding); }
.no-findings .summary { color: var(--ok); }
.not-audited .summary, .warning { color: #8a4b00; }
.hints { color: var(--muted); }
tr.accepted td { color: var(--muted); }
.accepted-mark { font: .8rem system-ui, sans-serif; padding: 0 .3rem; border: 1px solid var(--line); border-radius: .3rem; }
tr { break-inside: avoid; }
@media print {
  body { margin: 0; max-width: none; font-size: 10pt; }
  .filters, .filter-box { display: none; }
  .drawing { border: none; border-top: 1px solid #000; border-radius: 0; padding: .4rem 0; }
  th { background: none; }
}
)";

std::string Text(const std::wstring& text) { return EscapeHtml(EncodeUtf8(text)); }

std::string Count(std::size_t count) { return std::to_string(count); }

// The kinds of the whole run, in the order in which they first appear.
std::vector<std::wstring> KindsOf(const RunReport& report) {
    std::vector<std::wstring> kinds;
    for (const DrawingResult& drawing : report.drawings)
        for (const Finding& finding : drawing.findings)
            if (std::find(kinds.begin(), kinds.end(), finding.kind) == kinds.end()) kinds.push_back(finding.kind);
    return kinds;
}

std::size_t IndexOf(const std::vector<std::wstring>& kinds, const std::wstring& kind) {
    return static_cast<std::size_t>(std::find(kinds.begin(), kinds.end(), kind) - kinds.begin());
}

// Each kind's box hides that kind's rows when cleared; each drawing's radio button shows that
// drawing alone. The boxes come before the content in the page, so that "~" reaches it.
std::string FilterRules(std::size_t kinds, std::size_t drawings) {
    std::string rules;
    for (std::size_t k = 0; k < kinds; ++k) {
        const std::string id = "kind-" + Count(k);
        rules += "#" + id + ":not(:checked) ~ main .k" + Count(k) + " { display: none; }\n";
        rules += "#" + id + ":checked ~ .filters label[for=" + id + "] { background: #dce9f9; border-color: #4a7cc2; }\n";
        rules += "#" + id + ":focus-visible ~ .filters label[for=" + id + "] { outline: 2px solid #4a7cc2; }\n";
    }
    for (std::size_t d = 0; d <= drawings; ++d) {
        const std::string id = d == drawings ? std::string("drawing-all") : "drawing-" + Count(d);
        if (d < drawings) rules += "#" + id + ":checked ~ main .drawing:not(.d" + Count(d) + ") { display: none; }\n";
        rules += "#" + id + ":checked ~ .filters label[for=" + id + "] { background: #dce9f9; border-color: #4a7cc2; }\n";
        rules += "#" + id + ":focus-visible ~ .filters label[for=" + id + "] { outline: 2px solid #4a7cc2; }\n";
    }
    return rules;
}

// The allowed names the finding's author may have meant, each quoted; empty when there are none.
std::string Hints(const NameHints& hints) {
    if (hints.names.empty()) return {};
    std::string html = hints.letterCase ? "the standard has " : hints.names.size() == 1 ? "nearest allowed name: "
                                                                                       : "nearest allowed names: ";
    for (std::size_t i = 0; i < hints.names.size(); ++i)
        html += (i > 0 ? ", " : "") + std::string("<q class=\"name\">") + Text(hints.names[i]) + "</q>";
    return html + (hints.letterCase ? ": only the letter case differs" : "");
}

std::string DrawingSection(const DrawingResult& drawing, std::size_t number, const std::vector<std::wstring>& kinds) {
    const bool audited = drawing.error.empty();
    const char* state = !audited ? "not-audited" : NewFindingCount(drawing) == 0 ? "no-findings" : "has-findings";
    std::string html = "<section class=\"drawing d" + Count(number) + " " + state + "\" id=\"d" + Count(number) +
                       "\" data-findings=\"" + Count(drawing.findings.size()) + "\">\n<h2>" + Text(drawing.path) +
                       "</h2>\n";
    for (const std::string& warning : drawing.warnings) html += "<p class=\"warning\">Warning: " + EscapeHtml(warning) + "</p>\n";
    if (!audited) return html + "<p class=\"summary\">Not audited: " + EscapeHtml(drawing.error) + "</p>\n</section>\n";
    const std::size_t found = NewFindingCount(drawing);
    const std::size_t accepted = drawing.findings.size() - found;
    html += "<p class=\"summary\"><span data-count=\"findings\">" + Count(found) + "</span> " +
            (found == 1 ? "finding" : "findings") + " in <span data-count=\"names\">" + Count(drawing.names) +
            "</span> " + (drawing.names == 1 ? "name" : "names") +
            (accepted > 0 ? ", <span data-count=\"accepted\">" + Count(accepted) + "</span> accepted" : std::string()) +
            "</p>\n";
    if (drawing.findings.empty()) return html + "</section>\n";

    std::map<std::size_t, std::size_t> perKind;
    for (const Finding& finding : drawing.findings) ++perKind[IndexOf(kinds, finding.kind)];
    html += "<table class=\"counts\">\n<thead><tr><th>Kind</th><th>Findings</th></tr></thead>\n<tbody>\n";
    for (const auto& [kind, count] : perKind)
        html += "<tr class=\"k" + Count(kind) + "\"><td>" + Text(kinds[kind]) + "</td><td class=\"number\" data-kind=\"" +
                Text(kinds[kind]) + "\">" + Count(count) + "</td></tr>\n";
    html += "</tbody>\n</table>\n";

    html += "<table class=\"findings\">\n<thead><tr><th>Kind</th><th>Name</th><th>Hints</th></tr></thead>\n<tbody>\n";
    for (const Finding& finding : drawing.findings)
        html += "<tr class=\"finding k" + Count(IndexOf(kinds, finding.kind)) + (finding.accepted ? " accepted" : "") +
                "\"><td class=\"kind\">" + Text(finding.kind) + "</td><td class=\"name\">" + Text(finding.name) +
                (finding.accepted ? " <span class=\"accepted-mark\">accepted</span>" : "") + "</td><td class=\"hints\">" +
                (finding.rule.empty() ? Hints(finding.hints) : EscapeHtml(finding.rule + ": " + finding.message)) +
                "</td></tr>\n";
    return html + "</tbody>\n</table>\n</section>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view utf8) {
    std::string escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                escaped += "&#x" + [](unsigned code) {
                    constexpr char kDigits[] = "0123456789ABCDEF";
                    return std::string{kDigits[code >> 12 & 0xF], kDigits[code >> 8 & 0xF], kDigits[code >> 4 & 0xF],
                                       kDigits[code & 0xF]};
                }(c == 0x7F ? 0x2421u : 0x2400u + static_cast<unsigned char>(c)) + ";";
            else
                escaped += c;
        }
    }
    return escaped;
}

std::string FormatHtml(const RunReport& report) {
    const std::vector<std::wstring> kinds = KindsOf(report);
    std::vector<std::size_t> kindTotals(kinds.size());
    std::size_t findings = 0;
    std::size_t names = 0;
    std::size_t notAudited = 0;
    for (const DrawingResult& drawing : report.drawings) {
        for (const Finding& finding : drawing.findings) ++kindTotals[IndexOf(kinds, finding.kind)];
        findings += NewFindingCount(drawing);
        names += drawing.names;
        notAudited += drawing.error.empty() ? 0 : 1;
    }

    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<meta name=\"generator\" content=\"kvstcheck\">\n"
                       "<title>Drawing audit</title>\n<style>";
    html += kStyle;
    html += FilterRules(kinds.size(), report.drawings.size());
    html += "</style>\n</head>\n<body>\n<header>\n<h1>Drawing audit</h1>\n<p>Standard file: <code>" +
            (report.standardFile.empty() ? std::string("(not known)") : Text(report.standardFile)) + "</code></p>\n";
    if (!report.setupError.empty())
        html += "<p class=\"warning\">The audit could not run: " + EscapeHtml(report.setupError) + "</p>\n";
    html += "<table class=\"totals\">\n<thead><tr><th>Drawings</th><th>Findings</th><th>Names</th><th>Not audited</th>"
            "</tr></thead>\n<tbody><tr><td class=\"number\" data-total=\"drawings\">" + Count(report.drawings.size()) +
            "</td><td class=\"number\" data-total=\"findings\">" + Count(findings) +
            "</td><td class=\"number\" data-total=\"names\">" + Count(names) +
            "</td><td class=\"number\" data-total=\"not-audited\">" + Count(notAudited) + "</td></tr></tbody>\n</table>\n";
    if (!kinds.empty()) {
        html += "<table class=\"kind-totals\">\n<thead><tr><th>Kind</th><th>Findings</th></tr></thead>\n<tbody>\n";
        for (std::size_t k = 0; k < kinds.size(); ++k)
            html += "<tr><td>" + Text(kinds[k]) + "</td><td class=\"number\" data-kind=\"" + Text(kinds[k]) + "\">" +
                    Count(kindTotals[k]) + "</td></tr>\n";
        html += "</tbody>\n</table>\n";
    }
    html += "</header>\n";

    for (std::size_t k = 0; k < kinds.size(); ++k)
        html += "<input type=\"checkbox\" class=\"filter-box\" id=\"kind-" + Count(k) + "\" checked>\n";
    html += "<input type=\"radio\" class=\"filter-box\" name=\"drawing\" id=\"drawing-all\" checked>\n";
    for (std::size_t d = 0; d < report.drawings.size(); ++d)
        html += "<input type=\"radio\" class=\"filter-box\" name=\"drawing\" id=\"drawing-" + Count(d) + "\">\n";
    html += "<nav class=\"filters\">\n<p>Show</p>\n";
    if (!kinds.empty()) {
        html += "<div class=\"group\"><span>Kinds:</span>";
        for (std::size_t k = 0; k < kinds.size(); ++k)
            html += "<label for=\"kind-" + Count(k) + "\">" + Text(kinds[k]) + "</label>";
        html += "</div>\n";
    }
    html += "<div class=\"group\"><span>Drawings:</span><label for=\"drawing-all\">all</label>";
    for (std::size_t d = 0; d < report.drawings.size(); ++d)
        html += "<label for=\"drawing-" + Count(d) + "\">" + Text(report.drawings[d].path) + "</label>";
    html += "</div>\n</nav>\n<main>\n";
    for (std::size_t d = 0; d < report.drawings.size(); ++d) html += DrawingSection(report.drawings[d], d, kinds);
    return html + "</main>\n</body>\n</html>\n";
}

}  // namespace kvstcheck
