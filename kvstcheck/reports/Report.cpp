#include "kvstcheck/reports/Report.h"

#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/reports/KindLabels.h"

namespace kvstcheck {
namespace {

std::string Count(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Quoted(const std::wstring& name) { return "\"" + DisplayNameUtf8(name) + "\""; }

// Select Graphic Rendition sequences of a terminal.
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kDim = "\x1b[2m";

std::string Paint(std::string_view style, const std::string& text, bool colour) {
    return colour ? std::string(style) + text + "\x1b[0m" : text;
}

// "office.dxf: layer "A-WALL-OLD"", or a rule's "office.dxf: [layers.pattern] ..."; accepted ones marked so.
std::string FindingLine(const std::string& path, const Finding& finding, Language language, bool colour) {
    const std::string hints = DescribeHints(finding.hints);
    const std::string what =
        finding.rule.empty()
            ? KindName(finding, language) + " " + Paint(kBold, Quoted(finding.name), colour && !finding.accepted) +
                  (hints.empty() ? std::string() : " (" + hints + ")")
            : "[" + finding.rule + "] " + finding.message;
    if (finding.accepted) return Paint(kDim, path + ": accepted: " + what, colour) + "\n";
    return path + ": " + what + "\n";
}

// A baseline entry's kind in the user's words; another plug-in's label as the entry holds it.
std::string EntryKindName(const BaselineEntry& entry, Language language) {
    const auto kind = vocabulary::KindOfKey(entry.kind);
    return kind ? KindName(*kind, language) : entry.kind;
}

}  // namespace

std::string DescribeHints(const NameHints& hints) {
    if (hints.names.empty()) return {};
    if (!hints.differences.empty()) {
        std::string text = "the standard has " + Quoted(hints.names.front()) + ": ";
        for (std::size_t i = 0; i < hints.differences.size(); ++i) text += (i > 0 ? "; " : "") + hints.differences[i];
        return text;
    }
    if (hints.letterCase) return "the standard has " + Quoted(hints.names.front()) + ": only the letter case differs";
    std::string text = hints.names.size() == 1 ? "nearest allowed name: " : "nearest allowed names: ";
    for (std::size_t i = 0; i < hints.names.size(); ++i) text += (i > 0 ? ", " : "") + Quoted(hints.names[i]);
    return text;
}

std::string DescribeFinding(const Finding& finding, Language language) {
    if (!finding.rule.empty()) return "[" + finding.rule + "] " + finding.message;
    const std::string hints = DescribeHints(finding.hints);
    return KindName(finding, language) + " " + Quoted(finding.name) + (hints.empty() ? std::string() : " (" + hints + ")");
}

std::string FormatDrawing(const DrawingResult& drawing, Language language, bool colour) {
    if (!drawing.error.empty()) return {};
    const std::string path = DisplayNameUtf8(drawing.path);
    std::string text;
    for (const bool accepted : {false, true})
        for (const Finding& finding : drawing.findings)
            if (finding.accepted == accepted) text += FindingLine(path, finding, language, colour);
    const std::size_t found = NewFindingCount(drawing);
    const std::string summary = found == 0 ? Paint(kGreen, "no findings", colour)
                                           : Paint(kRed, Count(found, "finding", "findings"), colour);
    const std::size_t accepted = drawing.counts.all.accepted;
    return text + path + ": " + summary + " in " + Count(drawing.names, "name", "names") +
           (accepted > 0 ? ", " + std::to_string(accepted) + " accepted" : std::string()) + "\n";
}

std::string FormatTotals(const RunReport& report, bool colour) {
    const RunCounts counts = report.Counts();
    std::string text = Count(counts.drawings, "drawing", "drawings") + ": " + Count(counts.findings, "finding", "findings");
    if (counts.accepted > 0) text += ", " + std::to_string(counts.accepted) + " accepted";
    if (!report.noLongerFound.empty())
        text += ", " + std::to_string(report.noLongerFound.size()) + " accepted no longer found";
    if (counts.notAudited > 0) text += ", " + std::to_string(counts.notAudited) + " not audited";
    return Paint(kBold, text, colour) + "\n";
}

std::string FormatNoLongerFound(const RunReport& report) {
    std::string text;
    for (const BaselineEntry& entry : report.noLongerFound) {
        const std::string what = entry.rule.empty()
                                     ? EntryKindName(entry, report.language) + " \"" + entry.name + "\""
                                     : "[" + entry.rule + "] " + EntryKindName(entry, report.language) + " \"" + entry.name + "\"";
        text += "no longer found: " + entry.drawing + ": " + what +
                (entry.count > 1 ? " (" + std::to_string(entry.count) + " times)" : std::string()) +
                ": accepted in the baseline\n";
    }
    return text;
}

std::string FormatJson(const RunReport& report) {
    using Json = nlohmann::ordered_json;
    Json drawings = Json::array();
    for (const DrawingResult& drawing : report.drawings) {
        Json entry = {{"path", EncodeUtf8(drawing.path)}};
        if (!drawing.error.empty()) {
            entry["error"] = drawing.error;
        } else {
            Json findings = Json::array();
            for (const Finding& finding : drawing.findings) {
                const Json key = finding.kind ? Json(vocabulary::WordsOf(*finding.kind).key) : Json();
                if (!finding.rule.empty()) {
                    findings.push_back({{"rule", finding.rule},
                                        {"kind", EncodeUtf8(HostLabelOf(finding))},
                                        {"kindKey", key},
                                        {"name", EncodeUtf8(finding.name)},
                                        {"displayName", DisplayNameUtf8(finding.name)},
                                        {"message", finding.message},
                                        {"accepted", finding.accepted}});
                    if (finding.accepted) findings.back()["comment"] = finding.comment;
                    continue;
                }
                Json hints = Json::array();
                for (const std::wstring& name : finding.hints.names) hints.push_back(EncodeUtf8(name));
                findings.push_back({{"kind", EncodeUtf8(HostLabelOf(finding))},
                                    {"kindKey", key},
                                    {"name", EncodeUtf8(finding.name)},
                                    {"displayName", DisplayNameUtf8(finding.name)},
                                    {"hints", {{"names", std::move(hints)},
                                               {"letterCase", finding.hints.letterCase},
                                               {"differences", finding.hints.differences}}},
                                    {"accepted", finding.accepted}});
                if (finding.accepted) findings.back()["comment"] = finding.comment;
            }
            entry["names"] = drawing.names;
            entry["findings"] = std::move(findings);
        }
        if (!drawing.warnings.empty()) entry["warnings"] = drawing.warnings;
        drawings.push_back(std::move(entry));
    }
    Json noLongerFound = Json::array();
    for (const BaselineEntry& entry : report.noLongerFound)
        noLongerFound.push_back({{"drawing", entry.drawing}, {"kind", entry.kind}, {"name", entry.name},
                                 {"rule", entry.rule}, {"count", entry.count}});
    const RunCounts counts = report.Counts();
    Json document = {{"schemaVersion", kAuditSchemaVersion}, {"status", static_cast<int>(report.Status())}};
    if (!report.setupError.empty()) document["error"] = report.setupError;
    if (report.standardProblems)
        document["standard"] = {{"path", EncodeUtf8(report.standardFile)}, {"problems", *report.standardProblems}};
    document["findings"] = counts.findings;
    document["accepted"] = counts.accepted;
    document["drawings"] = std::move(drawings);
    document["noLongerFound"] = std::move(noLongerFound);
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kvstcheck
