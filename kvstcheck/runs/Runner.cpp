#include "kvstcheck/runs/Runner.h"

#include <windows.h>

#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/OutputFile.h"
#include "vocabulary/Module.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/baseline/BaselineScope.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/reports/KindLabels.h"
#include "kvstcheck/reports/Progress.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesFiles.h"
#include "kvstcheck/runs/AuditDriver.h"
#include "kvstcheck/runs/BaselineStage.h"
#include "kvstcheck/runs/DrawingObject.h"
#include "kvstcheck/runs/FileOutputs.h"
#include "kvstcheck/runs/Interruption.h"
#include "kvstcheck/runs/RunFiles.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/runs/SetupError.h"
#include "kvstcheck/runs/WorkerPool.h"
#include "kvstcheck/standardtools/Hints.h"
#include "kvstcheck/standardtools/StandardReadiness.h"

namespace kvstcheck {
namespace {


// The plug-in module alone, without the standard file: throws SetupError when it cannot serve.
void ChooseModule(const Options& options) {
    if (options.plugin.empty()) RegisteredPlugin();
    else PrivatePlugin(options.plugin, {});
}

// The plug-in's objects, the standard file judged on the bytes they will read: its private copy is
// written from the bytes the run read once. Nothing when the plug-in would check nothing with them.
std::unique_ptr<PluginSource> ChooseSource(const Options& options, RunStandard* standard) {
    // Bytes that cannot be read are judged by the plug-in's own load of the file, before any copy is made.
    if (standard && !standard->bytes() && !standard->Judge(standard->shownPath()).checks) {
        // The module's own problems come before those of the standard file that it would read.
        ChooseModule(options);
        return nullptr;
    }
    std::unique_ptr<PluginSource> source;
    if (options.standard.empty() && options.plugin.empty()) source = RegisteredPlugin();
    else if (!options.standard.empty() && standard->bytes())
        source = PrivatePluginWithBytes(options.plugin, *standard->bytes());
    else source = PrivatePlugin(options.plugin, options.standard);
    if (!standard || !standard->bytes()) return source;
    const std::wstring copy = source->PrivateStandardFile();
    return standard->Judge(copy.empty() ? standard->shownPath() : copy).checks ? std::move(source) : nullptr;
}

// The standard file the audits use: the one given, as given, else the one beside the module that serves them;
// empty when no module is registered, which the run reports itself.
std::wstring StandardFileOf(const Options& options) {
    if (!options.standard.empty()) return options.standard;
    try {
        const std::wstring module = FullPath(options.plugin.empty() ? RegisteredModulePath() : options.plugin);
        return module.substr(0, module.find_last_of(L"\\/") + 1) + vocabulary::kStandardFileName;
    } catch (const SetupError&) {
        return {};
    }
}

// The plug-in module the audits go through, for the report's facts; empty when none is registered.
std::wstring PluginModuleOf(const Options& options) {
    try {
        return FullPath(options.plugin.empty() ? RegisteredModulePath() : options.plugin);
    } catch (const SetupError&) {
        return {};
    }
}

// How often a drawing's hints show on the progress line.
constexpr std::size_t kFindingsPerProgress = 1000;

// Hints from the standard file as the plug-in's own reading code loaded it, each name searched once
// per run. They explain findings and change nothing else: a file lint cannot read gives no hints.
class RunHints {
public:
    explicit RunHints(const LoadedStandard* standard) {
        if (standard) finder_.emplace(*standard);
    }

    void Add(Finding& finding) {
        if (!finder_) return;
        const std::wstring label = HostLabelOf(finding);
        const std::wstring key = label + L'\n' + finding.name;
        auto known = found_.find(key);
        if (known == found_.end()) known = found_.emplace(key, finder_->For(label, finding.name)).first;
        finding.hints = known->second;
    }

private:
    std::optional<HintFinder> finder_;
    std::unordered_map<std::wstring, NameHints> found_;
};

// Every file the run reads, so that no output replaces one of them.
RunInputs InputsOf(const Options& options, const std::vector<WalkEntry>& entries) {
    RunInputs inputs;
    inputs.AddDrawings(entries);
    if (!options.standard.empty()) inputs.Add(options.standard, "the standard file of this run");
    if (!options.plugin.empty()) inputs.Add(options.plugin, "the plug-in module of this run");
    for (const std::wstring& rulesFile : options.rules) inputs.Add(rulesFile, "a rules file of this run");
    if (!options.filesFrom.empty() && options.filesFrom != L"-") inputs.Add(options.filesFrom, "the list of files of this run");
    return inputs;
}

// A standard file that loads with problems is told once.
void TellProblems(const RunStandard& standard, RunReport& report) {
    const StandardReadiness& readiness = standard.readiness();
    if (!readiness.checks) return;
    report.standardProblems = readiness.problems;
    if (readiness.problems > 0) WriteError(ProblemsMessage(readiness, report.standardFile));
}

DrawingResult NotAudited(const WalkEntry& entry, const std::string& why) {
    return DrawingResult{entry.path, 0, {}, entry.error.empty() ? why : entry.error, {}};
}

// Reads and audits one drawing on the calling worker; prints nothing, the run does that in order.
DrawingResult AuditOne(PluginSource& source, const WalkEntry& entry, const std::wstring& standardFile,
                       const std::optional<rules::RuleSet>& ruleSet) {
    DrawingResult result{entry.path, 0, {}, entry.error, {}};
    if (!result.error.empty()) return result;
    DrawingContent content;
    try {
        content = ReadDrawingFile(entry.path);
    } catch (const InputError& error) {
        result.error = error.what();
        return result;
    }
    result.warnings = std::move(content.warnings);
    result.names = content.names.total();
    std::vector<Finding> ruleFindings = RuleFindings(ruleSet, content.names);
    const NameLineIndex lines(content.names, content.lines);
    const auto drawing = MakeDrawingObject(std::move(content.names));
    const auto plugin = source.Create();
    result.findings = AuditDrawing(*plugin.Get(), drawing.Get(), FullPath(entry.path), result.names, standardFile);
    result.findings.insert(result.findings.end(), std::make_move_iterator(ruleFindings.begin()),
                           std::make_move_iterator(ruleFindings.end()));
    lines.Place(result.findings);
    return result;
}

// What a drawing leaves to say: why it was not audited, or its warnings, on the standard error; its
// lines on the standard output unless the run writes JSON or only its summary.
void ShowDrawing(const DrawingResult& result, const Options& options, Language language, bool colour,
                 ProgressLine& progress) {
    const std::string path = DisplayNameUtf8(result.path);
    if (!result.error.empty()) {
        progress.Clear();
        WriteError(path + ": " + result.error);
        return;
    }
    if (!result.warnings.empty()) progress.Clear();
    for (const std::string& warning : result.warnings) WriteError(path + ": warning: " + warning);
    if (options.json || options.quiet) return;
    const std::string lines = FormatDrawing(result, language, colour);
    if (lines.empty()) return;
    progress.Clear();
    WriteOut(lines);
}

// Each drawing audited, reported as it goes and handed to the files of the run; none when the plug-in
// would check nothing.
void AuditAll(const Options& options, const rules::MoreChecks& rulesChecks, const std::vector<WalkEntry>& entries,
              RunReport& report, BaselineStage& baseline, FileOutputs& outputs) {
    // Asked before the plug-in's temporary copies are made, so that they are removed however the run ends.
    const InterruptsStopRun interrupts;
    try {
        std::optional<rules::RuleSet> ruleSet;
        if (!options.rules.empty()) ruleSet = rules::LoadRules(options.rules, rulesChecks);
        report.standardFile = StandardFileOf(options);
        // Read once: what the report says of the file is of the bytes audited.
        std::optional<RunStandard> standard;
        if (!report.standardFile.empty()) standard.emplace(report.standardFile);
        report.facts = GatherFacts(PluginModuleOf(options), standard && standard->bytes() ? &*standard->bytes() : nullptr);
        const std::unique_ptr<PluginSource> source = ChooseSource(options, standard ? &*standard : nullptr);
        if (standard) TellProblems(*standard, report);
        if (source) report.checkedKinds = EveryPluginKind();
        if (ruleSet) report.checkedRules = RulesChecked(*ruleSet);
        RunHints hints(source && standard ? standard->loaded() : nullptr);
        const bool colour = UsesColour(options.colour);
        ProgressLine progress(ShowsProgress(ErrorIsConsole(), options.json || options.quiet, entries.size()),
                              entries.size());
        if (!entries.empty()) progress.Show(0, entries.front().path);
        const auto take = [&](std::size_t index, DrawingResult result) {
            interrupts.ThrowIfInterrupted();
            // Hints explain the plug-in's findings; a rule's finding says its own why. A drawing of
            // many findings shows how far its hints have come.
            for (std::size_t i = 0; i < result.findings.size(); ++i) {
                if (result.findings[i].rule.empty()) hints.Add(result.findings[i]);
                if (i % kFindingsPerProgress == kFindingsPerProgress - 1)
                    progress.Show(index, entries[index].path, "hints for " + std::to_string(i + 1) + " of " +
                                                                  std::to_string(result.findings.size()) + " findings");
            }
            baseline.Accept(result);
            // The text lines need no result once printed; JSON and some files read them all at the end.
            const DrawingResult& counted = report.Add(std::move(result), options.json || outputs.KeepsDrawings());
            outputs.Add(counted);
            ShowDrawing(counted, options, report.language, colour, progress);
            if (index + 1 < entries.size()) progress.Show(index + 1, entries[index + 1].path);
        };
        if (!source) {
            const std::string why = NothingCheckedMessage(standard->readiness(), report.standardFile);
            for (std::size_t i = 0; i < entries.size(); ++i) take(i, NotAudited(entries[i], why));
        } else {
            const std::wstring standardFile = report.standardFile;
            const auto audit = [&standardFile, &ruleSet](PluginSource& worker, const WalkEntry& entry) {
                return AuditOne(worker, entry, standardFile, ruleSet);
            };
            AuditInOrder(entries, options.jobs > 0 ? options.jobs : ProcessorCount(), *source, audit, take);
            // A file the plug-in reads itself, not a private copy, may change under the run.
            if (standard && source->PrivateStandardFile().empty() && standard->ChangedSinceRead())
                WriteError(ChangedDuringRunMessage(report.standardFile, report.facts.standardSha256));
        }
    } catch (const SetupError& error) {
        report.setupError = error.what();
        WriteError(report.setupError);
    } catch (const rules::RulesFileError& error) {
        report.setupError = error.what();
        WriteError(report.setupError);
    } catch (const RunInterrupted&) {
        // Told below, as is an interrupt that came while no drawing was taken.
    }
    report.interrupted = interrupts.Asked();
}

}  // namespace

RunReport RunAudits(const Options& options, const rules::MoreChecks& rulesChecks) {
    RunReport report;
    report.language = UserLanguage();
    std::vector<WalkEntry> entries;
    BaselineStage baseline(options);
    const std::string listError = ListRunDrawings(options, entries);
    const RunInputs inputs = InputsOf(options, entries);
    FileOutputs outputs(options, inputs, baseline.replaced());
    // The first that stops the run is told: a bad baseline, then every output that cannot be written.
    for (const std::string* error : {&baseline.error(), &outputs.error(), &listError})
        if (report.outputError.empty()) report.outputError = *error;
    if (!report.outputError.empty()) {
        WriteError(report.outputError);
        return report;
    }
    AuditAll(options, rulesChecks, entries, report, baseline, outputs);
    // A report of part of the run would pass for the whole: nothing more is printed or written.
    if (report.interrupted) {
        WriteError(kInterruptedMessage);
        return report;
    }
    report.noLongerFound = baseline.NoLongerFound();
    if (!outputs.Finish(report)) {
        report.outputError = outputs.error();
        WriteError(report.outputError);
    } else {
        for (const std::string& notice : outputs.Notices()) WriteError(notice);
    }
    if (options.json)
        WriteOut(FormatJson(report));
    else if (report.setupError.empty())
        WriteOut((options.quiet ? std::string() : FormatNoLongerFound(report)) +
                 (report.Counts().drawings > 1 || options.quiet || !options.baseline.empty()
                      ? FormatTotals(report, UsesColour(options.colour))
                      : std::string()));
    return report;
}

}  // namespace kvstcheck
