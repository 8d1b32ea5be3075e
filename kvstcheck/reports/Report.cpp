#include "kvstcheck/reports/Report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"

namespace kvstcheck {
namespace {

std::string Count(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::size_t FindingCount(const RunReport& report) {
    std::size_t count = 0;
    for (const DrawingResult& drawing : report.drawings) count += drawing.findings.size();
    return count;
}

std::string Quoted(const std::wstring& name) { return "\"" + EncodeUtf8(name) + "\""; }

// " (the standard has "A-DOOR": only the letter case differs)", or the nearest names; empty without hints.
std::string FormatHints(const NameHints& hints) {
    if (hints.names.empty()) return {};
    if (hints.letterCase) return " (the standard has " + Quoted(hints.names.front()) + ": only the letter case differs)";
    std::string text = hints.names.size() == 1 ? " (nearest allowed name: " : " (nearest allowed names: ";
    for (std::size_t i = 0; i < hints.names.size(); ++i) text += (i > 0 ? ", " : "") + Quoted(hints.names[i]);
    return text + ")";
}

}  // namespace

ExitStatus RunReport::Status() const {
    if (!setupError.empty() || !outputError.empty()) return kBroken;
    if (std::any_of(drawings.begin(), drawings.end(), [](const DrawingResult& d) { return !d.error.empty(); }))
        return kBroken;
    return FindingCount(*this) > 0 ? kFindings : kNoFindings;
}

std::string FormatDrawing(const DrawingResult& drawing) {
    if (!drawing.error.empty()) return {};
    const std::string path = EncodeUtf8(drawing.path);
    std::string text;
    for (const Finding& finding : drawing.findings) {
        if (!finding.rule.empty())
            text += path + ": [" + finding.rule + "] " + finding.message + "\n";
        else
            text += path + ": " + EncodeUtf8(finding.kind) + " " + Quoted(finding.name) + FormatHints(finding.hints) + "\n";
    }
    const std::string found = drawing.findings.empty() ? "no findings" : Count(drawing.findings.size(), "finding", "findings");
    return text + path + ": " + found + " in " + Count(drawing.names, "name", "names") + "\n";
}

std::string FormatTotals(const RunReport& report) {
    const auto broken = static_cast<std::size_t>(std::count_if(
        report.drawings.begin(), report.drawings.end(), [](const DrawingResult& d) { return !d.error.empty(); }));
    std::string text = Count(report.drawings.size(), "drawing", "drawings") + ": " +
                       Count(FindingCount(report), "finding", "findings");
    if (broken > 0) text += ", " + std::to_string(broken) + " not audited";
    return text + "\n";
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
                                        {"message", finding.message}});
                    continue;
                }
                Json hints = Json::array();
                for (const std::wstring& name : finding.hints.names) hints.push_back(EncodeUtf8(name));
                findings.push_back({{"kind", EncodeUtf8(finding.kind)},
                                    {"name", EncodeUtf8(finding.name)},
                                    {"hints", {{"names", std::move(hints)}, {"letterCase", finding.hints.letterCase}}}});
            }
            entry["names"] = drawing.names;
            entry["findings"] = std::move(findings);
        }
        if (!drawing.warnings.empty()) entry["warnings"] = drawing.warnings;
        drawings.push_back(std::move(entry));
    }
    Json document = {{"status", static_cast<int>(report.Status())}};
    if (!report.setupError.empty()) document["error"] = report.setupError;
    if (report.standardProblems)
        document["standard"] = {{"path", EncodeUtf8(report.standardFile)}, {"problems", *report.standardProblems}};
    document["findings"] = FindingCount(report);
    document["drawings"] = std::move(drawings);
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kvstcheck
