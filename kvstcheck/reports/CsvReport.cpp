#include "kvstcheck/reports/CsvReport.h"

#include <initializer_list>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/DisplayName.h"

namespace kvstcheck {
namespace {

std::string Row(std::initializer_list<std::string_view> cells) {
    std::string row;
    bool first = true;
    for (const std::string_view cell : cells) {
        row += (first ? "" : ",") + CsvCell(cell);
        first = false;
    }
    return row + "\r\n";
}

}  // namespace

std::string CsvCell(std::string_view utf8) {
    std::string cell(utf8);
    if (!cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos) cell.insert(0, 1, '\'');
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (const char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string CsvStart() {
    return "\xEF\xBB\xBF" + Row({"drawing", "result", "kind key", "kind", "name", "hint", "rule", "reason"});
}

std::string CsvRows(const DrawingResult& drawing) {
    const std::string path = EncodeUtf8(drawing.path);
    if (!drawing.error.empty()) return Row({path, "not audited", "", "", "", "", "", drawing.error});
    std::string rows;
    for (const Finding& finding : drawing.findings)
        rows += Row({path, finding.accepted ? "accepted" : "finding", KindKeyOf(finding), EnglishKindOf(finding),
                     DisplayNameUtf8(finding.name), finding.rule.empty() ? DescribeHints(finding.hints) : finding.message,
                     finding.rule, ""});
    return rows;
}

std::string CsvEnd(const RunReport& report) {
    std::string rows;
    for (const BaselineEntry& entry : report.noLongerFound) {
        const std::string reason = "accepted " + std::to_string(entry.count) + (entry.count == 1 ? " time" : " times") +
                                   " in the baseline and no longer found";
        const auto kind = vocabulary::KindOfKey(entry.kind);
        rows += Row({entry.drawing, "no longer found", entry.kind, kind ? vocabulary::WordsOf(*kind).english : entry.kind,
                     entry.name, "",
                     entry.rule, reason});
    }
    if (!report.setupError.empty()) rows += Row({"", "not audited", "", "", "", "", "", report.setupError});
    return rows;
}

}  // namespace kvstcheck
