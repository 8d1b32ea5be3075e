#include "kvstcheck/reports/HtmlReport.h"

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/reports/KindLabels.h"

namespace kvstcheck {
namespace {

constexpr std::string_view kStyle = R"(
:root { color-scheme: light; --line: #c8ccd2; --muted: #5b6470; --finding: #9b1c1c; --ok: #1d6b34; }
body { font: 15px/1.45 system-ui, sans-serif; margin: 1.5rem auto; max-width: 76rem; padding: 0 1rem; color: #1b1f24; }
h1 { font-size: 1.5rem; margin: 0 0 .25rem; }
h2 { font-size: 1.05rem; margin: 0; overflow-wrap: anywhere; }
code, .path { font-family: ui-monospace, monospace; overflow-wrap: anywhere; }
.name { font-family: ui-monospace, monospace; white-space: pre; }
bdi { unicode-bidi: isolate; }
.wide { overflow-x: auto; }
table { border-collapse: collapse; margin: .5rem 0; }
th, td { border: 1px solid var(--line); padding: .2rem .6rem; text-align: left; vertical-align: top; }
th { background: #eef0f3; }
td.number { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.kind { white-space: nowrap; }
td.hints { min-width: 18rem; }
.facts th { background: none; border: none; padding-left: 0; font-weight: 600; white-space: nowrap; }
.facts td { border: none; }
.totals td { font-size: 1.2rem; font-weight: 600; }
.filter-box { position: absolute; opacity: 0; pointer-events: none; }
.filters { display: flex; flex-wrap: wrap; gap: .3rem 1.5rem; margin: 1rem 0; padding: .6rem .8rem; background: #f6f7f9; border: 1px solid var(--line); }
.filters p { margin: 0; width: 100%; font-weight: 600; }
.filters label { cursor: pointer; padding: .1rem .5rem; border: 1px solid var(--line); border-radius: .8rem; background: #fff; }
.filters .group { display: flex; flex-wrap: wrap; gap: .3rem; align-items: center; }
.index tr.has-findings td:nth-child(2) { color: var(--finding); font-weight: 600; }
.index tr.not-audited td { color: #8a4b00; }
.drawing { border: 1px solid var(--line); border-radius: .3rem; padding: .7rem 1rem; margin: 1rem 0; break-inside: avoid-page; }
.drawing:target { border-color: #4a7cc2; box-shadow: 0 0 0 2px #4a7cc2; }
.drawing .up { float: right; font-size: .85rem; }
details summary { cursor: pointer; color: #24558f; margin: .3rem 0; }
.summary { margin: .2rem 0; color: var(--muted); }
.has-findings .summary { color: var(--finding); }
.no-findings .summary { color: var(--ok); }
.not-audited .summary, .warning { color: #8a4b00; }
.hints { color: var(--muted); }
tr.accepted td { color: var(--muted); }
.accepted-mark { font: .8rem system-ui, sans-serif; padding: 0 .3rem; border: 1px solid var(--line); border-radius: .3rem; }
tr { break-inside: avoid; }
#only-findings:checked ~ main .no-findings, #only-findings:checked ~ .index tr.no-findings { display: none; }
#only-findings:checked ~ .filters label[for=only-findings] { background: #dce9f9; border-color: #4a7cc2; }
#only-findings:focus-visible ~ .filters label[for=only-findings] { outline: 2px solid #4a7cc2; }
@media print {
  body { margin: 0; max-width: none; font-size: 10pt; }
  .filters, .filter-box, .drawing .up, details summary { display: none; }
  .drawing { border: none; border-top: 1px solid #000; border-radius: 0; padding: .4rem 0; box-shadow: none; }
  th { background: none; }
}
)";

// A name or path in its display form, kept apart from the text around it whatever its direction.
std::string Shown(const std::wstring& name) { return "<bdi>" + EscapeHtml(DisplayNameUtf8(name)) + "</bdi>"; }

std::string QuotedName(const std::wstring& name) { return "<q class=\"name\">" + Shown(name) + "</q>"; }

std::string Count(std::size_t count) { return std::to_string(count); }

std::string Plural(std::size_t count, const char* one, const char* many) { return count == 1 ? one : many; }

// The kinds of the whole run as one label each, whoever found them: the vocabulary's kinds in their
// order, then other plug-ins' labels.
std::vector<std::wstring> KindsOf(const RunReport& report) {
    const FindingCounts& counts = report.Counts().byKind;
    std::vector<std::wstring> kinds;
    for (const Kind kind : vocabulary::kAllKinds)
        if (counts.byKind[vocabulary::IndexOf(kind)].total() > 0) kinds.push_back(vocabulary::WordsOf(kind).hostLabel);
    for (const auto& [label, count] : counts.byOtherLabel) kinds.push_back(label);
    return kinds;
}

std::size_t IndexOf(const std::vector<std::wstring>& kinds, const Finding& finding) {
    return static_cast<std::size_t>(std::find(kinds.begin(), kinds.end(), HostLabelOf(finding)) - kinds.begin());
}

// A kind of the run's list as a finding of it, for its words and key.
Finding KindFinding(const std::wstring& label) { return PluginFinding(label, {}); }

// The kind's key where the tool knows the kind, else the plug-in's label: what data-kind holds.
std::string KindData(const std::wstring& label) { return EscapeHtml(KindKeyOf(KindFinding(label))); }

std::string KindWords(const std::wstring& label, Language language) {
    return EscapeHtml(KindName(KindFinding(label), language));
}

// The counts of one kind among those of a drawing or of the run.
OpenAndAccepted CountsOfKind(const FindingCounts& counts, const std::wstring& label) {
    const auto kind = vocabulary::KindOfHostLabel(label);
    if (kind) return counts.byKind[vocabulary::IndexOf(*kind)];
    const auto other = counts.byOtherLabel.find(label);
    return other == counts.byOtherLabel.end() ? OpenAndAccepted{} : other->second;
}

// Open findings per kind, the accepted ones apart; kinds without findings in counts are left out.
std::string KindCountsTable(const char* className, const FindingCounts& counts, const std::vector<std::wstring>& kinds,
                            Language language) {
    std::string html = "<table class=\"" + std::string(className) +
                       "\">\n<thead><tr><th>Kind</th><th>Findings</th><th>Accepted</th></tr></thead>\n<tbody>\n";
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        const OpenAndAccepted count = CountsOfKind(counts, kinds[k]);
        if (count.total() == 0) continue;
        html += "<tr class=\"k" + Count(k) + "\"><td>" + KindWords(kinds[k], language) +
                "</td><td class=\"number\" data-kind=\"" + KindData(kinds[k]) + "\">" + Count(count.open) +
                "</td><td class=\"number\" data-accepted-kind=\"" + KindData(kinds[k]) + "\">" + Count(count.accepted) +
                "</td></tr>\n";
    }
    return html + "</tbody>\n</table>\n";
}

// Each kind's box hides that kind's rows when cleared. The boxes come before the content in the
// page, so that "~" reaches it.
std::string FilterRules(std::size_t kinds) {
    std::string rules;
    for (std::size_t k = 0; k < kinds; ++k) {
        const std::string id = "kind-" + Count(k);
        rules += "#" + id + ":not(:checked) ~ main .k" + Count(k) + ", #" + id + ":not(:checked) ~ .by-name .k" +
                 Count(k) + " { display: none; }\n";
        rules += "#" + id + ":checked ~ .filters label[for=" + id +
                 "] { background: #dce9f9; border-color: #4a7cc2; }\n";
        rules += "#" + id + ":focus-visible ~ .filters label[for=" + id + "] { outline: 2px solid #4a7cc2; }\n";
    }
    return rules;
}

// The allowed names the finding's author may have meant, each quoted; empty when there are none.
std::string Hints(const NameHints& hints) {
    if (hints.names.empty()) return {};
    if (!hints.differences.empty()) {
        std::string html = "the standard has " + QuotedName(hints.names.front()) + ": ";
        for (std::size_t i = 0; i < hints.differences.size(); ++i)
            html += (i > 0 ? "; " : "") + EscapeHtml(hints.differences[i]);
        return html;
    }
    std::string html = hints.letterCase ? "the standard has " : hints.names.size() == 1 ? "nearest allowed name: "
                                                                                       : "nearest allowed names: ";
    for (std::size_t i = 0; i < hints.names.size(); ++i) html += (i > 0 ? ", " : "") + QuotedName(hints.names[i]);
    return html + (hints.letterCase ? ": only the letter case differs" : "");
}

// A rule's finding says which rule and why; the plug-in's, which allowed names it may have meant.
std::string Explanation(const Finding& finding) {
    return finding.rule.empty() ? Hints(finding.hints) : EscapeHtml(finding.rule + ": " + finding.message);
}

const char* StateOf(const DrawingResult& drawing) {
    return !drawing.error.empty() ? "not-audited" : drawing.counts.all.open == 0 ? "no-findings" : "has-findings";
}

std::string DrawingSection(const RunReport& report, std::size_t number, const std::vector<std::wstring>& kinds) {
    const DrawingResult& drawing = report.drawings[number];
    const Language language = report.language;
    std::string html = "<section class=\"drawing d" + Count(number) + " " + StateOf(drawing) + "\" id=\"d" +
                       Count(number) + "\" data-findings=\"" + Count(drawing.findings.size()) +
                       "\">\n<a class=\"up\" href=\"#index\">drawings</a>\n<h2 class=\"path\">" + Shown(drawing.path) +
                       "</h2>\n";
    for (const std::string& warning : drawing.warnings)
        html += "<p class=\"warning\">Warning: " + EscapeHtml(warning) + "</p>\n";
    if (!drawing.error.empty())
        return html + "<p class=\"summary\">Not audited: " + EscapeHtml(drawing.error) + "</p>\n</section>\n";
    const std::size_t found = drawing.counts.all.open;
    const std::size_t accepted = drawing.counts.all.accepted;
    html += "<p class=\"summary\"><span data-count=\"findings\">" + Count(found) + "</span> " +
            Plural(found, "finding", "findings") + " in <span data-count=\"names\">" + Count(drawing.names) +
            "</span> " + Plural(drawing.names, "name", "names") +
            (accepted > 0 ? ", <span data-count=\"accepted\">" + Count(accepted) + "</span> accepted" : std::string()) +
            "</p>\n";
    if (drawing.findings.empty()) return html + "</section>\n";
    html += KindCountsTable("counts", drawing.counts, kinds, language);

    html += "<div class=\"wide\"><table class=\"findings\">\n<thead><tr><th>Kind</th><th>Name</th><th>Hints</th></tr>"
            "</thead>\n<tbody>\n";
    for (const Finding& finding : drawing.findings)
        html += "<tr class=\"finding k" + Count(IndexOf(kinds, finding)) + (finding.accepted ? " accepted" : "") +
                "\"><td class=\"kind\">" + EscapeHtml(KindName(finding, language)) + "</td><td class=\"name\">" +
                QuotedName(finding.name) +
                (finding.accepted ? " <span class=\"accepted-mark\">accepted</span>" : "") +
                "</td><td class=\"hints\">" + Explanation(finding) + "</td></tr>\n";
    return html + "</tbody>\n</table></div>\n</section>\n";
}

std::string FactsTable(const RunReport& report) {
    const RunFacts& facts = report.facts;
    std::string html = "<table class=\"facts\">\n";
    html += "<tr><th>Date</th><td data-fact=\"when\">" + EscapeHtml(facts.when.empty() ? "(not known)" : facts.when) +
            "</td></tr>\n";
    html += "<tr><th>Tool</th><td data-fact=\"tool\">kvstcheck " + EscapeHtml(facts.toolVersion) + "</td></tr>\n";
    const std::string version = facts.pluginVersion.empty() ? "(none)" : facts.pluginVersion;
    html += "<tr><th>Plug-in</th><td data-fact=\"plugin\">" +
            (facts.pluginModule.empty()
                 ? std::string("(not known)")
                 : "<code>" + Shown(facts.pluginModule) + "</code>, file version " + EscapeHtml(version)) +
            "</td></tr>\n";
    html += "<tr><th>Standard file</th><td data-fact=\"standard\">";
    html += report.standardFile.empty() ? std::string("(not known)")
                                        : "<code>" + Shown(report.standardFile) + "</code>";
    if (facts.standardSize)
        html += ", " + Count(*facts.standardSize) + " bytes, SHA-256 <code data-fact=\"sha256\">" +
                EscapeHtml(facts.standardSha256) + "</code>";
    else if (!report.standardFile.empty())
        html += " (could not be read)";
    return html + "</td></tr>\n</table>\n";
}

// The names of the findings-by-name table shown before the rest is opened.
constexpr std::size_t kNamesAtFirst = 20;

// One row per name found, with the number of drawings it is open in, most widespread first: what a
// manager acts on. Names the baseline accepts everywhere come last, marked; the rest open on demand.
std::string ByNameSection(const RunReport& report, const std::vector<std::wstring>& kinds) {
    std::vector<const NameTally*> rows;
    for (const NameTally& row : report.ByName()) rows.push_back(&row);
    if (rows.empty()) return {};
    std::stable_sort(rows.begin(), rows.end(), [&kinds](const NameTally* a, const NameTally* b) {
        return std::make_tuple(b->openDrawings, a->openDrawings == 0 ? b->acceptedDrawings : 0, IndexOf(kinds, a->first),
                               std::cref(a->first.name), std::cref(a->first.rule)) <
               std::make_tuple(a->openDrawings, b->openDrawings == 0 ? a->acceptedDrawings : 0, IndexOf(kinds, b->first),
                               std::cref(b->first.name), std::cref(b->first.rule));
    });
    const RunCounts& counts = report.Counts();
    const std::string head = "<div class=\"wide\"><table>\n<thead><tr><th>Name</th><th>Kind</th><th>Drawings (of " +
                             Count(counts.drawings - counts.notAudited) +
                             ")</th><th>Accepted in</th><th>Hints</th></tr></thead>\n<tbody>\n";
    std::string html = "<section class=\"by-name\" id=\"by-name\">\n<h2>Findings by name</h2>\n" + head;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i == kNamesAtFirst)
            html += "</tbody>\n</table></div>\n<details>\n<summary>All " + Count(rows.size()) + " names</summary>\n" +
                    head;
        const NameTally& row = *rows[i];
        const bool onlyAccepted = row.openDrawings == 0;
        const std::size_t kind = IndexOf(kinds, row.first);
        html += "<tr class=\"k" + Count(kind) + (onlyAccepted ? " accepted" : "") + "\"><td class=\"name\">" +
                QuotedName(row.first.name) + (onlyAccepted ? " <span class=\"accepted-mark\">accepted</span>" : "") +
                "</td><td class=\"kind\" data-kind=\"" + KindData(kinds[kind]) + "\">" +
                KindWords(kinds[kind], report.language) + "</td><td class=\"number\">" + Count(row.openDrawings) +
                "</td><td class=\"number\">" + Count(row.acceptedDrawings) + "</td><td class=\"hints\">" +
                Explanation(row.first) + "</td></tr>\n";
    }
    return html + "</tbody>\n</table></div>\n" + (rows.size() > kNamesAtFirst ? "</details>\n" : "") + "</section>\n";
}

// Every drawing with its counts, each linking to its section: finding a drawing among a thousand
// needs no script, only the browser's own search and links.
std::string IndexSection(const RunReport& report) {
    std::string html = "<section class=\"index\" id=\"index\">\n<h2>Drawings</h2>\n<div class=\"wide\"><table>\n"
                       "<thead><tr><th>Drawing</th><th>Findings</th><th>Accepted</th><th>Names</th></tr></thead>\n<tbody>\n";
    for (std::size_t d = 0; d < report.drawings.size(); ++d) {
        const DrawingResult& drawing = report.drawings[d];
        const bool audited = drawing.error.empty();
        html += "<tr class=\"" + std::string(StateOf(drawing)) + "\"><td class=\"path\"><a href=\"#d" + Count(d) +
                "\">" +
                Shown(drawing.path) + "</a></td><td class=\"number\">" +
                (audited ? Count(drawing.counts.all.open) : std::string("not audited")) + "</td><td class=\"number\">" +
                (audited ? Count(drawing.counts.all.accepted) : std::string()) + "</td><td class=\"number\">" +
                (audited ? Count(drawing.names) : std::string()) + "</td></tr>\n";
    }
    return html + "</tbody>\n</table></div>\n</section>\n";
}

std::string TotalsTables(const RunReport& report, const std::vector<std::wstring>& kinds) {
    const RunCounts& counts = report.Counts();
    std::string html =
        "<table class=\"totals\">\n<thead><tr><th>Drawings</th><th>Findings</th><th>Accepted</th><th>Names</th>"
        "<th>Not audited</th></tr></thead>\n<tbody><tr><td class=\"number\" data-total=\"drawings\">" +
        Count(counts.drawings) + "</td><td class=\"number\" data-total=\"findings\">" + Count(counts.findings) +
        "</td><td class=\"number\" data-total=\"accepted\">" + Count(counts.accepted) +
        "</td><td class=\"number\" data-total=\"names\">" + Count(counts.names) +
        "</td><td class=\"number\" data-total=\"not-audited\">" + Count(counts.notAudited) + "</td></tr></tbody>\n</table>\n";
    if (kinds.empty()) return html;
    return html + KindCountsTable("kind-totals", counts.byKind, kinds, report.language);
}

// The check boxes come first, so that the style rules reach everything after them.
std::string Filters(const RunReport& report, const std::vector<std::wstring>& kinds) {
    std::string html;
    for (std::size_t k = 0; k < kinds.size(); ++k)
        html += "<input type=\"checkbox\" class=\"filter-box\" id=\"kind-" + Count(k) + "\" checked>\n";
    html += "<input type=\"checkbox\" class=\"filter-box\" id=\"only-findings\">\n";
    html += "<nav class=\"filters\">\n<p>Show</p>\n";
    if (!kinds.empty()) {
        html += "<div class=\"group\"><span>Kinds:</span>";
        for (std::size_t k = 0; k < kinds.size(); ++k)
            html += "<label for=\"kind-" + Count(k) + "\">" + KindWords(kinds[k], report.language) + "</label>";
        html += "</div>\n";
    }
    return html + "<div class=\"group\"><span>Drawings:</span><label for=\"only-findings\">only those with findings"
                  "</label></div>\n</nav>\n";
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
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<meta name=\"generator\" content=\"kvstcheck\">\n"
                       "<title>Drawing audit</title>\n<style>";
    html += kStyle;
    html += FilterRules(kinds.size());
    html += "</style>\n</head>\n<body>\n<header>\n<h1>Drawing audit</h1>\n" + FactsTable(report);
    if (!report.setupError.empty())
        html += "<p class=\"warning\">The audit could not run: " + EscapeHtml(report.setupError) + "</p>\n";
    html += TotalsTables(report, kinds) + "</header>\n" + Filters(report, kinds) + ByNameSection(report, kinds);
    if (!report.drawings.empty()) html += IndexSection(report);
    html += "<main>\n";
    for (std::size_t d = 0; d < report.drawings.size(); ++d) html += DrawingSection(report, d, kinds);
    return html + "</main>\n</body>\n</html>\n";
}

}  // namespace kvstcheck
