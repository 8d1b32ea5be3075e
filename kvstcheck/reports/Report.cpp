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

}  // namespace

ExitStatus RunReport::Status() const {
    if (!setupError.empty()) return kBroken;
    if (std::any_of(drawings.begin(), drawings.end(), [](const DrawingResult& d) { return !d.error.empty(); }))
        return kBroken;
    return FindingCount(*this) > 0 ? kFindings : kNoFindings;
}

std::string FormatDrawing(const DrawingResult& drawing) {
    if (!drawing.error.empty()) return {};
    const std::string path = EncodeUtf8(drawing.path);
    std::string text;
    for (const Finding& finding : drawing.findings)
        text += path + ": " + EncodeUtf8(finding.kind) + " \"" + EncodeUtf8(finding.name) + "\"\n";
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
            for (const Finding& finding : drawing.findings)
                findings.push_back({{"kind", EncodeUtf8(finding.kind)}, {"name", EncodeUtf8(finding.name)}});
            entry["names"] = drawing.names;
            entry["findings"] = std::move(findings);
        }
        drawings.push_back(std::move(entry));
    }
    Json document = {{"status", static_cast<int>(report.Status())}};
    if (!report.setupError.empty()) document["error"] = report.setupError;
    document["findings"] = FindingCount(report);
    document["drawings"] = std::move(drawings);
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kvstcheck
