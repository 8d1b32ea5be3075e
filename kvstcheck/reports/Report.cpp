#include "kvstcheck/reports/Report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/KindKey.h"

namespace kvstcheck {
namespace {

std::string Count(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::size_t NewFindings(const RunReport& report) {
    std::size_t count = 0;
    for (const DrawingResult& drawing : report.drawings) count += NewFindingCount(drawing);
    return count;
}

std::size_t AcceptedFindings(const RunReport& report) {
    std::size_t count = 0;
    for (const DrawingResult& drawing : report.drawings) count += drawing.findings.size() - NewFindingCount(drawing);
    return count;
}

std::string Quoted(const std::wstring& name) { return "\"" + EncodeUtf8(name) + "\""; }

// Select Graphic Rendition sequences of a terminal.
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kDim = "\x1b[2m";

std::string Paint(std::string_view style, const std::string& text, bool colour) {
    return colour ? std::string(style) + text + "\x1b[0m" : text;
}

// "office.dxf: 图层 "A-WALL-OLD"", or a rule's "office.dxf: [layers.pattern] ..."; accepted ones marked so.
std::string FindingLine(const std::string& path, const Finding& finding, bool colour) {
    const std::string what =
        finding.rule.empty() ? EncodeUtf8(finding.kind) + " " + Paint(kBold, Quoted(finding.name), colour && !finding.accepted) +
                                   (finding.hints.names.empty() ? std::string() : " (" + DescribeHints(finding.hints) + ")")
                             : "[" + finding.rule + "] " + finding.message;
    if (finding.accepted) return Paint(kDim, path + ": accepted: " + what, colour) + "\n";
    return path + ": " + what + "\n";
}

}  // namespace

std::size_t NewFindingCount(const DrawingResult& drawing) {
    return static_cast<std::size_t>(
        std::count_if(drawing.findings.begin(), drawing.findings.end(), [](const Finding& f) { return !f.accepted; }));
}

std::string DescribeHints(const NameHints& hints) {
    if (hints.names.empty()) return {};
    if (hints.letterCase) return "the standard has " + Quoted(hints.names.front()) + ": only the letter case differs";
    std::string text = hints.names.size() == 1 ? "nearest allowed name: " : "nearest allowed names: ";
    for (std::size_t i = 0; i < hints.names.size(); ++i) text += (i > 0 ? ", " : "") + Quoted(hints.names[i]);
    return text;
}

ExitStatus RunReport::Status() const {
    if (!setupError.empty() || !outputError.empty()) return kBroken;
    if (std::any_of(drawings.begin(), drawings.end(), [](const DrawingResult& d) { return !d.error.empty(); }))
        return kBroken;
    return NewFindings(*this) > 0 ? kFindings : kNoFindings;
}

std::string FormatDrawing(const DrawingResult& drawing, bool colour) {
    if (!drawing.error.empty()) return {};
    const std::string path = EncodeUtf8(drawing.path);
    std::string text;
    for (const bool accepted : {false, true})
        for (const Finding& finding : drawing.findings)
            if (finding.accepted == accepted) text += FindingLine(path, finding, colour);
    const std::size_t found = NewFindingCount(drawing);
    const std::string summary = found == 0 ? Paint(kGreen, "no findings", colour)
                                           : Paint(kRed, Count(found, "finding", "findings"), colour);
    const std::size_t accepted = drawing.findings.size() - found;
    return text + path + ": " + summary + " in " + Count(drawing.names, "name", "names") +
           (accepted > 0 ? ", " + std::to_string(accepted) + " accepted" : std::string()) + "\n";
}

std::string FormatTotals(const RunReport& report, bool colour) {
    const auto broken = static_cast<std::size_t>(std::count_if(
        report.drawings.begin(), report.drawings.end(), [](const DrawingResult& d) { return !d.error.empty(); }));
    std::string text = Count(report.drawings.size(), "drawing", "drawings") + ": " +
                       Count(NewFindings(report), "finding", "findings");
    if (const std::size_t accepted = AcceptedFindings(report); accepted > 0) text += ", " + std::to_string(accepted) + " accepted";
    if (!report.noLongerFound.empty())
        text += ", " + std::to_string(report.noLongerFound.size()) + " accepted no longer found";
    if (broken > 0) text += ", " + std::to_string(broken) + " not audited";
    return Paint(kBold, text, colour) + "\n";
}

std::string FormatNoLongerFound(const RunReport& report) {
    std::string text;
    for (const BaselineEntry& entry : report.noLongerFound) {
        const std::wstring label = LabelOfKindKey(entry.kind);
        text += "no longer found: " + entry.drawing + ": " + (label.empty() ? entry.kind : EncodeUtf8(label)) + " \"" +
                entry.name + "\"" + (entry.count > 1 ? " (" + std::to_string(entry.count) + " times)" : std::string()) +
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
                if (!finding.rule.empty()) {
                    findings.push_back({{"rule", finding.rule},
                                        {"kind", EncodeUtf8(finding.kind)},
                                        {"name", EncodeUtf8(finding.name)},
                                        {"message", finding.message},
                                        {"accepted", finding.accepted}});
                    continue;
                }
                Json hints = Json::array();
                for (const std::wstring& name : finding.hints.names) hints.push_back(EncodeUtf8(name));
                findings.push_back({{"kind", EncodeUtf8(finding.kind)},
                                    {"name", EncodeUtf8(finding.name)},
                                    {"hints", {{"names", std::move(hints)}, {"letterCase", finding.hints.letterCase}}},
                                    {"accepted", finding.accepted}});
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
    Json document = {{"schemaVersion", kAuditSchemaVersion}, {"status", static_cast<int>(report.Status())}};
    if (!report.setupError.empty()) document["error"] = report.setupError;
    if (report.standardProblems)
        document["standard"] = {{"path", EncodeUtf8(report.standardFile)}, {"problems", *report.standardProblems}};
    document["findings"] = NewFindings(report);
    document["accepted"] = AcceptedFindings(report);
    document["drawings"] = std::move(drawings);
    document["noLongerFound"] = std::move(noLongerFound);
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kvstcheck
