#include "kvstcheck/reports/JunitReport.h"

#include "kvstcheck/Text.h"

namespace kvstcheck {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

std::string Attribute(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + EscapeXml(value) + "\"";
}

std::string Attribute(const char* name, std::size_t value) { return Attribute(name, std::to_string(value)); }

// "examples/drawings" and "office.dxf" of "examples/drawings/office.dxf"; "." for a file without a folder.
std::pair<std::string, std::string> FolderAndFile(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return {".", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

std::string Lines(const DrawingResult& drawing, bool accepted) {
    std::string lines;
    for (const Finding& finding : drawing.findings) {
        if (finding.accepted != accepted) continue;
        // A CI log is read by anyone: English words, whatever the user's language.
        lines += DescribeFinding(finding, Language::English) + "\n";
    }
    return lines;
}

std::string Count(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string EscapeXml(std::string_view utf8) {
    std::string escaped;
    escaped.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        case '\t': escaped += "&#9;"; break;
        case '\n': escaped += "&#10;"; break;
        case '\r': escaped += "&#13;"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                escaped += kReplacement;
            } else if (c == 0xEF && utf8.substr(i, 2) == "\xEF\xBF" && i + 2 < utf8.size() &&
                       (utf8[i + 2] == '\xBE' || utf8[i + 2] == '\xBF')) {
                escaped += kReplacement;  // U+FFFE and U+FFFF
                i += 2;
            } else {
                escaped += static_cast<char>(c);
            }
        }
    }
    return escaped;
}

void JunitReport::Add(const DrawingResult& drawing) {
    ++tests_;
    const auto [folder, file] = FolderAndFile(EncodeUtf8(drawing.path));
    cases_ += "    <testcase" + Attribute("classname", folder) + Attribute("name", file) + ">\n";
    const std::size_t found = drawing.counts.all.open;
    if (!drawing.error.empty()) {
        ++errors_;
        cases_ += "      <error" + Attribute("message", drawing.error) + Attribute("type", "not audited") + "/>\n";
    } else if (found > 0) {
        ++failures_;
        cases_ += "      <failure" + Attribute("message", Count(found, "finding", "findings") + " in " +
                                                               Count(drawing.names, "name", "names")) +
                  Attribute("type", "findings") + ">" + EscapeXml(Lines(drawing, false)) + "</failure>\n";
    }
    if (drawing.counts.all.accepted > 0)
        cases_ += "      <system-out>accepted in the baseline:\n" + EscapeXml(Lines(drawing, true)) + "</system-out>\n";
    cases_ += "    </testcase>\n";
}

std::string JunitReport::Document(const RunReport& report) const {
    std::string cases = cases_;
    std::size_t tests = tests_;
    std::size_t errors = errors_;
    if (!report.setupError.empty()) {
        ++tests;
        ++errors;
        cases += "    <testcase" + Attribute("classname", "kvstcheck") + Attribute("name", "set-up") + ">\n      <error" +
                 Attribute("message", report.setupError) + Attribute("type", "set-up") + "/>\n    </testcase>\n";
    }
    const std::string counts = Attribute("tests", tests) + Attribute("failures", failures_) + Attribute("errors", errors);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + Attribute("name", "kvstcheck") + counts +
           ">\n  <testsuite" + Attribute("name", "kvstcheck") + counts + Attribute("skipped", std::size_t{0}) + ">\n" +
           cases + "  </testsuite>\n</testsuites>\n";
}

}  // namespace kvstcheck
