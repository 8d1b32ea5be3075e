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
#include "kvstcheck/OutputFile.h"
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
#include "kvstcheck/standardtools/StandardReadiness.h"

namespace kvstcheck {
namespace {

constexpr wchar_t kStandardName[] = L"KVStPluginDefault.ini";

std::unique_ptr<PluginSource> ChooseSource(const Options& options) {
    if (options.standard.empty() && options.plugin.empty()) return RegisteredPlugin();
    return PrivatePlugin(options.plugin, options.standard);
}

// The plug-in module alone, without the standard file: throws SetupError when it cannot serve.
void ChooseModule(const Options& options) {
    if (options.plugin.empty()) RegisteredPlugin();
    else PrivatePlugin(options.plugin, {});
}

// The standard file the audits use: the one given, as given, else the one beside the module that serves them;
// empty when no module is registered, which the run reports itself.
std::wstring StandardFileOf(const Options& options) {
    if (!options.standard.empty()) return options.standard;
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
            finder_.emplace(LoadAsThePluginDoes(FullPath(standardFile)));
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

// Every file the run reads, so that no output replaces one of them.
RunInputs InputsOf(const Options& options, const std::vector<WalkEntry>& entries) {
    RunInputs inputs;
    for (const WalkEntry& entry : entries) inputs.Add(entry.path, "a drawing of this run");
    if (!options.standard.empty()) inputs.Add(options.standard, "the standard file of this run");
    if (!options.plugin.empty()) inputs.Add(options.plugin, "the plug-in module of this run");
    for (const std::wstring& rulesFile : options.rules) inputs.Add(rulesFile, "a rules file of this run");
    if (!options.filesFrom.empty() && options.filesFrom != L"-") inputs.Add(options.filesFrom, "the list of files of this run");
    return inputs;
}

// Whether the plug-in would check anything with the run's standard file, as its own reading code
// says; a file that loads with problems is told once. Nothing when the file is not known.
std::optional<StandardReadiness> CheckStandard(RunReport& report) {
    if (report.standardFile.empty()) return std::nullopt;
    const StandardReadiness readiness = ReadinessOf(report.standardFile);
    if (readiness.checks) {
        report.standardProblems = readiness.problems;
        if (readiness.problems > 0) WriteError(ProblemsMessage(readiness, report.standardFile));
    }
    return readiness;
}

DrawingResult NotAudited(const WalkEntry& entry, const std::string& why, ProgressLine& progress) {
    DrawingResult result{entry.path, 0, {}, entry.error.empty() ? why : entry.error, {}};
    progress.Clear();
    WriteError(EncodeUtf8(entry.path) + ": " + result.error);
    return result;
}

// The rules files' findings, beside the plug-in's.
std::vector<Finding> RuleFindings(const std::optional<rules::RuleSet>& ruleSet, const DrawingNames& names) {
    std::vector<Finding> findings;
    if (!ruleSet) return findings;
    for (rules::RuleFinding& found : rules::CheckDrawing(*ruleSet, names))
        findings.push_back({rules::Utf8ToWide(rules::WordOf(found.kind)), std::move(found.name), {},
                            std::move(found.rule), std::move(found.message)});
    return findings;
}

DrawingResult AuditOne(PluginSource& source, const WalkEntry& entry, const std::wstring& standardFile, RunHints& hints,
                       ProgressLine& progress, const std::optional<rules::RuleSet>& ruleSet) {
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
    result.findings = AuditDrawing(*plugin.Get(), drawing.Get(), FullPath(entry.path), result.names, standardFile);
    for (Finding& finding : result.findings) hints.Add(finding);
    result.findings.insert(result.findings.end(), std::make_move_iterator(ruleFindings.begin()),
                           std::make_move_iterator(ruleFindings.end()));
    return result;
}

// Each drawing audited, reported as it goes and handed to the files of the run; none when the plug-in
// would check nothing.
void AuditAll(const Options& options, const std::vector<WalkEntry>& entries, RunReport& report, FileOutputs& outputs) {
    try {
        std::optional<rules::RuleSet> ruleSet;
        if (!options.rules.empty()) ruleSet = rules::LoadRules(options.rules);
        report.standardFile = StandardFileOf(options);
        const std::optional<StandardReadiness> readiness = CheckStandard(report);
        const std::unique_ptr<PluginSource> source = readiness && !readiness->checks ? nullptr : ChooseSource(options);
        // The module's own problems come before those of the standard file that it would read.
        if (!source) ChooseModule(options);
        RunHints hints(source ? report.standardFile : std::wstring());
        const bool colour = UsesColour(options.colour);
        ProgressLine progress(ShowsProgress(ErrorIsConsole(), options.json || options.quiet, entries.size()),
                              entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            progress.Show(i, entries[i].path);
            report.drawings.push_back(
                source ? AuditOne(*source, entries[i], report.standardFile, hints, progress, ruleSet)
                       : NotAudited(entries[i], NothingCheckedMessage(*readiness, report.standardFile), progress));
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
}

}  // namespace

RunReport RunAudits(const Options& options) {
    RunReport report;
    std::vector<WalkEntry> entries;
    report.outputError = RefusedOutput(options);
    if (report.outputError.empty()) report.outputError = ListRunDrawings(options, entries);
    std::optional<OutputFile> html;
    if (!options.html.empty()) html.emplace(options.html, "the HTML report", IsKvstcheckHtml);
    const RunInputs inputs = InputsOf(options, entries);
    if (html && report.outputError.empty()) report.outputError = html->Refusal(inputs, options.force);
    FileOutputs outputs(options, inputs);
    if (report.outputError.empty()) report.outputError = outputs.error();
    if (!report.outputError.empty()) {
        WriteError(report.outputError);
        return report;
    }
    AuditAll(options, entries, report, outputs);
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
    if (html) {
        const std::string error = html->Write(FormatHtml(report));
        if (!error.empty()) {
            report.outputError = error;
            WriteError(report.outputError);
        }
    }
    return report;
}

}  // namespace kvstcheck
