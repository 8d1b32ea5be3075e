// SARIF 2.1.0, the format code-scanning services and editors read: one result per finding, its rule
// from the catalogue of audit findings, the drawing relative to the working folder where it lies below it.
#include <windows.h>

#include <cctype>
#include <map>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/model/RuleCatalogue.h"
#include "kvstcheck/outputs/Output.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/reports/RunFacts.h"

namespace kvstcheck {
namespace {

using Json = nlohmann::ordered_json;

// A path's UTF-8 bytes as a URI path: "/" between the parts, everything but unreserved characters escaped.
std::string UriPath(const std::wstring& path, bool keepColon) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (const char c : EncodeUtf8(path)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '/') uri += '/';
        else if ((c == ':' && keepColon) || std::isalnum(byte) || std::string_view("-._~").find(c) != std::string_view::npos)
            uri += c;
        else
            uri += {'%', kHex[byte >> 4], kHex[byte & 0xF]};
    }
    return uri;
}

std::wstring WorkingFolder() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    folder.resize(::GetCurrentDirectoryW(size, folder.data()));
    return folder.ends_with(L'\\') ? folder : folder + L'\\';
}

bool StartsWithFolded(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() &&
           ::CompareStringOrdinal(path.data(), static_cast<int>(folder.size()), folder.data(),
                                  static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

const char* LevelOf(FindingSeverity severity) {
    switch (severity) {
    case FindingSeverity::Warning: return "warning";
    case FindingSeverity::Note: return "note";
    case FindingSeverity::Error: break;
    }
    return "error";
}

class SarifOutput final : public Output {
public:
    SarifOutput() {
        for (const Kind kind : vocabulary::kAllKinds) RuleIndex(StandardRuleId(kind));
    }

    void Add(const DrawingResult& drawing) override {
        if (!drawing.error.empty()) {
            notifications_.push_back({{"level", "error"},
                                      {"message", {{"text", drawing.error}}},
                                      {"locations", Json::array({Location(drawing.path)})}});
            return;
        }
        for (const Finding& finding : drawing.findings) {
            const std::string rule = RuleIdOf(finding);
            Json result = {{"ruleId", rule},
                           {"ruleIndex", RuleIndex(rule)},
                           {"level", LevelOf(finding.severity)},
                           {"message", {{"text", DescribeFinding(finding)}}},
                           {"locations", Json::array({Location(drawing.path, finding.line)})}};
            if (finding.accepted) {
                Json suppression = {{"kind", "external"}, {"status", "accepted"}};
                if (!finding.comment.empty()) suppression["justification"] = finding.comment;
                result["suppressions"] = Json::array({std::move(suppression)});
            }
            results_.push_back(std::move(result));
        }
    }

    std::optional<std::string> Finish(const RunReport& report) override {
        Json rules = Json::array();
        for (const std::string& id : rules_) rules.push_back({{"id", id}, {"shortDescription", {{"text", DescribeRule(id)}}}});
        Json notifications = notifications_;
        if (!report.setupError.empty()) notifications.push_back({{"level", "error"}, {"message", {{"text", report.setupError}}}});
        const Json run = {
            {"tool", {{"driver", {{"name", "kvstcheck"}, {"version", ToolVersion()}, {"rules", std::move(rules)}}}}},
            {"originalUriBaseIds", {{"%SRCROOT%", {{"uri", "file:///" + UriPath(root_, true)}}}}},
            {"invocations", Json::array({{{"executionSuccessful", report.setupError.empty() && report.Counts().notAudited == 0},
                                          {"toolExecutionNotifications", std::move(notifications)}}})},
            {"results", results_}};
        const Json document = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                               {"version", "2.1.0"},
                               {"runs", Json::array({run})}};
        return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    }

private:
    std::size_t RuleIndex(const std::string& id) {
        const auto [at, added] = ruleIndex_.try_emplace(id, rules_.size());
        if (added) rules_.push_back(id);
        return at->second;
    }

    // Below the working folder: relative to %SRCROOT%; elsewhere an absolute file URI.
    // line: of the finding's name in a DXF drawing, where known.
    Json Location(const std::wstring& path, std::optional<int> line = std::nullopt) const {
        const std::wstring full = FullPath(path);
        Json artifact = StartsWithFolded(full, root_)
                            ? Json{{"uri", UriPath(full.substr(root_.size()), false)}, {"uriBaseId", "%SRCROOT%"}}
                            : Json{{"uri", "file:///" + UriPath(full, true)}};
        Json physical = {{"artifactLocation", std::move(artifact)}};
        if (line) physical["region"] = {{"startLine", *line}};
        return {{"physicalLocation", std::move(physical)}};
    }

    const std::wstring root_ = WorkingFolder();
    std::vector<std::string> rules_;
    std::map<std::string, std::size_t> ruleIndex_;
    Json results_ = Json::array();
    Json notifications_ = Json::array();
};

bool IsKvstcheckSarif(std::string_view head) {
    return head.find("\"name\": \"kvstcheck\"") != std::string_view::npos &&
           head.find("\"version\": \"2.1.0\"") != std::string_view::npos;
}

}  // namespace

extern const OutputFormat kSarifFormat = {
    "--sarif", "Also write the findings as SARIF 2.1.0, for code-scanning services and editors, to this file",
    "the SARIF file", IsKvstcheckSarif, false,
    [](const OutputSetting&) -> std::unique_ptr<Output> { return std::make_unique<SarifOutput>(); }};

}  // namespace kvstcheck
