#include "kvstcheck/runs/Runner.h"

#include <windows.h>

#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/HtmlReport.h"
#include "kvstcheck/reports/Progress.h"
#include "kvstcheck/rules/CodePoints.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesFiles.h"
#include "kvstcheck/runs/AuditDriver.h"
#include "kvstcheck/runs/DrawingObject.h"
#include "kvstcheck/runs/FileOutputs.h"
#include "kvstcheck/runs/RunFiles.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/runs/SetupError.h"
#include "kvstcheck/standardtools/Hints.h"

namespace kvstcheck {
namespace {

constexpr wchar_t kStandardName[] = L"KVStPluginDefault.ini";

std::unique_ptr<PluginSource> ChooseSource(const Options& options) {
    if (options.standard.empty() && options.plugin.empty()) return RegisteredPlugin();
    return PrivatePlugin(options.plugin, options.standard);
}

// The standard file the audits use: the one given, else the one beside the module that serves them;
// empty when no module is registered, which the run reports itself.
std::wstring StandardFileOf(const Options& options) {
    if (!options.standard.empty()) return FullPath(options.standard);
    try {
        const std::wstring module = FullPath(options.plugin.empty() ? RegisteredModulePath() : options.plugin);
        return module.substr(0, module.find_last_of(L"\\/") + 1) + kStandardName;
    } catch (const SetupError&) {
        return {};
    }
}

// Hints from the standard file as the plug-in's own reading code loads it, each name searched once
// per run. They explain findings and change nothing else: a file that cannot be read gives no hints.
class RunHints {
public:
    explicit RunHints(const std::wstring& standardFile) {
        if (standardFile.empty()) return;
        try {
            finder_.emplace(LoadAsThePluginDoes(standardFile));
        } catch (const std::exception&) {
            finder_.reset();
        }
    }

    void Add(Finding& finding) {
        if (!finder_) return;
        const std::wstring key = finding.kind + L'\n' + finding.name;
        auto known = found_.find(key);
        if (known == found_.end()) known = found_.emplace(key, finder_->For(finding.kind, finding.name)).first;
        finding.hints = known->second;
    }

private:
    std::optional<HintFinder> finder_;
    std::unordered_map<std::wstring, NameHints> found_;
};

// The rules files' findings, beside the plug-in's.
std::vector<Finding> RuleFindings(const std::optional<rules::RuleSet>& ruleSet, const DrawingNames& names) {
    std::vector<Finding> findings;
    if (!ruleSet) return findings;
    for (rules::RuleFinding& found : rules::CheckDrawing(*ruleSet, names))
        findings.push_back({rules::Utf8ToWide(rules::WordOf(found.kind)), std::move(found.name), {},
                            std::move(found.rule), std::move(found.message)});
    return findings;
}

DrawingResult AuditOne(PluginSource& source, const WalkEntry& entry, RunHints& hints, ProgressLine& progress,
                       const std::optional<rules::RuleSet>& ruleSet) {
    DrawingResult result{entry.path, 0, {}, entry.error, {}};
    DrawingContent content;
    if (result.error.empty()) {
        try {
            content = ReadDrawingFile(entry.path);
        } catch (const InputError& error) {
            result.error = error.what();
        }
    }
    if (!result.error.empty()) {
        progress.Clear();
        WriteError(EncodeUtf8(entry.path) + ": " + result.error);
        return result;
    }
    result.warnings = std::move(content.warnings);
    if (!result.warnings.empty()) progress.Clear();
    for (const std::string& warning : result.warnings) WriteError(EncodeUtf8(entry.path) + ": warning: " + warning);
    result.names = content.names.total();
    std::vector<Finding> ruleFindings = RuleFindings(ruleSet, content.names);
    const auto drawing = MakeDrawingObject(std::move(content.names));
    const auto plugin = source.Create();
    result.findings = AuditDrawing(*plugin.Get(), drawing.Get(), FullPath(entry.path), result.names);
    for (Finding& finding : result.findings) hints.Add(finding);
    result.findings.insert(result.findings.end(), std::make_move_iterator(ruleFindings.begin()),
                           std::make_move_iterator(ruleFindings.end()));
    return result;
}

}  // namespace

RunReport RunAudits(const Options& options) {
    RunReport report;
    std::vector<WalkEntry> entries;
    report.outputError = RefusedOutput(options);
    if (report.outputError.empty()) report.outputError = ListRunDrawings(options, entries);
    if (!report.outputError.empty()) {
        WriteError(report.outputError);
        return report;
    }
    FileOutputs outputs(options);
    if (!outputs.error().empty()) {
        report.outputError = outputs.error();
        WriteError(report.outputError);
        return report;
    }
    std::optional<OutputFile> html;
    if (!options.html.empty()) {
        html.emplace(options.html);
        if (!html->error().empty()) {
            report.outputError = "cannot write the HTML report " + EncodeUtf8(options.html) + ": " + html->error();
            WriteError(report.outputError);
            return report;
        }
    }
    try {
        std::optional<rules::RuleSet> ruleSet;
        if (!options.rules.empty()) ruleSet = rules::LoadRules(options.rules);
        const auto source = ChooseSource(options);
        report.standardFile = StandardFileOf(options);
        RunHints hints(report.standardFile);
        const bool colour = UsesColour(options.colour);
        ProgressLine progress(ShowsProgress(ErrorIsConsole(), options.json || options.quiet, entries.size()),
                              entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            progress.Show(i, entries[i].path);
            report.drawings.push_back(AuditOne(*source, entries[i], hints, progress, ruleSet));
            outputs.Add(report.drawings.back());
            if (options.json || options.quiet) continue;
            const std::string lines = FormatDrawing(report.drawings.back(), colour);
            if (lines.empty()) continue;
            progress.Clear();
            WriteOut(lines);
        }
    } catch (const SetupError& error) {
        report.setupError = error.what();
        WriteError(report.setupError);
    } catch (const rules::RulesFileError& error) {
        report.setupError = error.what();
        WriteError(report.setupError);
    }
    if (!outputs.Finish(report)) {
        report.outputError = outputs.error();
        WriteError(report.outputError);
    }
    if (options.json)
        WriteOut(FormatJson(report));
    else if (report.setupError.empty())
        WriteOut(FormatNoLongerFound(report) +
                 (report.drawings.size() > 1 || options.quiet || !options.baseline.empty()
                      ? FormatTotals(report, UsesColour(options.colour))
                      : std::string()));
    if (html && !html->Write(FormatHtml(report))) {
        report.outputError = "cannot write the HTML report " + EncodeUtf8(options.html) + ": " + html->error();
        WriteError(report.outputError);
    }
    return report;
}

}  // namespace kvstcheck
