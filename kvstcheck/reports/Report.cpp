#include "kvstcheck/reports/Report.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/DisplayName.h"

namespace kvstcheck {
namespace {

std::string Count(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}


std::string Quoted(const std::wstring& name) { return "\"" + DisplayNameUtf8(name) + "\""; }

// " (the standard has "A-DOOR": only the letter case differs)", what a reader cannot see, or the
// nearest names; empty without hints.
std::string FormatHints(const NameHints& hints) {
    if (hints.names.empty()) return {};
    if (!hints.differences.empty()) {
        std::string text = " (the standard has " + Quoted(hints.names.front()) + ": ";
        for (std::size_t i = 0; i < hints.differences.size(); ++i) text += (i > 0 ? "; " : "") + hints.differences[i];
        return text + ")";
    }
    if (hints.letterCase) return " (the standard has " + Quoted(hints.names.front()) + ": only the letter case differs)";
    std::string text = hints.names.size() == 1 ? " (nearest allowed name: " : " (nearest allowed names: ";
    for (std::size_t i = 0; i < hints.names.size(); ++i) text += (i > 0 ? ", " : "") + Quoted(hints.names[i]);
    return text + ")";
}

}  // namespace

void RunReport::Add(DrawingResult result, bool keep) {
    if (keep) {
        drawings.push_back(std::move(result));
        return;
    }
    ++letGo.drawings;
    letGo.findings += result.findings.size();
    letGo.notAudited += result.error.empty() ? 0 : 1;
}

RunCounts RunReport::Counts() const {
    RunCounts counts = letGo;
    counts.drawings += drawings.size();
    for (const DrawingResult& drawing : drawings) {
        counts.findings += drawing.findings.size();
        counts.notAudited += drawing.error.empty() ? 0 : 1;
    }
    return counts;
}

ExitStatus RunReport::Status() const {
    if (!setupError.empty() || !outputError.empty()) return kBroken;
    const RunCounts counts = Counts();
    if (counts.notAudited > 0) return kBroken;
    return counts.findings > 0 ? kFindings : kNoFindings;
}

std::string FormatDrawing(const DrawingResult& drawing, Language language) {
    if (!drawing.error.empty()) return {};
    const std::string path = DisplayNameUtf8(drawing.path);
    std::string text;
    for (const Finding& finding : drawing.findings) {
        if (!finding.rule.empty())
            text += path + ": [" + finding.rule + "] " + finding.message + "\n";
        else
            text += path + ": " + KindName(finding.kind, language) + " " + Quoted(finding.name) +
                    FormatHints(finding.hints) + "\n";
    }
    const std::string found =
        drawing.findings.empty() ? "no findings" : Count(drawing.findings.size(), "finding", "findings");
    return text + path + ": " + found + " in " + Count(drawing.names, "name", "names") + "\n";
}

std::string FormatTotals(const RunReport& report) {
    const RunCounts counts = report.Counts();
    std::string text = Count(counts.drawings, "drawing", "drawings") + ": " + Count(counts.findings, "finding", "findings");
    if (counts.notAudited > 0) text += ", " + std::to_string(counts.notAudited) + " not audited";
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
                const std::string key = KindKey(finding.kind);
                if (!finding.rule.empty()) {
                    findings.push_back({{"rule", finding.rule},
                                        {"kind", EncodeUtf8(finding.kind)},
                                        {"kindKey", key.empty() ? Json() : Json(key)},
                                        {"name", EncodeUtf8(finding.name)},
                                        {"displayName", DisplayNameUtf8(finding.name)},
                                        {"message", finding.message}});
                    continue;
                }
                Json hints = Json::array();
                for (const std::wstring& name : finding.hints.names) hints.push_back(EncodeUtf8(name));
                findings.push_back({{"kind", EncodeUtf8(finding.kind)},
                                    {"kindKey", key.empty() ? Json() : Json(key)},
                                    {"name", EncodeUtf8(finding.name)},
                                    {"displayName", DisplayNameUtf8(finding.name)},
                                    {"hints", {{"names", std::move(hints)},
                                               {"letterCase", finding.hints.letterCase},
                                               {"differences", finding.hints.differences}}}});
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
    document["findings"] = report.Counts().findings;
    document["drawings"] = std::move(drawings);
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kvstcheck
