#include "kvstcheck/fix/FixCommand.h"

#include <algorithm>
#include <optional>

#include "com/Apartment.h"
#include "kvstcheck/CodePoints.h"
#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Interrupts.h"
#include "kvstcheck/OutputFile.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/fix/Backups.h"
#include "kvstcheck/fix/FixDrawing.h"
#include "kvstcheck/fix/FixFiles.h"
#include "kvstcheck/fix/SystemTextCodec.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/runs/SetupError.h"

namespace kvstcheck::fix {
namespace {

// A plan lists drawings and renames; anything larger is not one.
constexpr std::size_t kLargestPlan = 256u << 20;

bool IsFixPlan(std::string_view head) { return head.starts_with("{\n  \"schemaVersion\""); }
bool IsFixCsv(std::string_view head) { return head.starts_with("drawing,action,kind,from,to"); }

class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<DrawingTarget> TargetsOf(const FixOptions& options, const std::vector<DrawingPlan>& planned) {
    std::vector<DrawingTarget> targets;
    for (const DrawingPlan& plan : planned) targets.push_back({Utf8ToWide(plan.path), Utf8ToWide(plan.below), &plan});
    for (const std::wstring& argument : options.drawings) {
        const bool folder = KindOfPath(argument) == PathKind::Folder;
        for (const WalkEntry& entry : ListDrawings({argument})) {
            if (!entry.error.empty()) throw CommandError(WideToUtf8(entry.path) + ": " + entry.error);
            targets.push_back({entry.path, RelativePath(argument, entry.path, folder), nullptr});
        }
    }
    if (targets.empty()) throw CommandError("no drawings to fix");
    return targets;
}

FixPlan ReadPlan(const FixOptions& options) {
    FixPlan plan;
    if (options.plan.empty()) return plan;
    std::string error;
    const auto text = ReadSmallFile(options.plan, kLargestPlan, error);
    if (!text) throw CommandError("the plan " + WideToUtf8(options.plan) + " cannot be read: " + error);
    try {
        plan = PlanFromJson(*text);
    } catch (const PlanError& problem) {
        throw CommandError("the plan " + WideToUtf8(options.plan) + " cannot be used: " + problem.what());
    }
    if (plan.standardSha256 != HashOfFile(options.standard))
        throw CommandError("the standard file " + WideToUtf8(options.standard) +
                           " is not the one the plan was made against (its SHA-256 differs): make the plan again");
    return plan;
}

RunInputs InputsOf(const FixOptions& options, const std::vector<DrawingTarget>& targets) {
    RunInputs inputs;
    for (const DrawingTarget& target : targets) inputs.Add(target.path, "a drawing of this run");
    inputs.Add(options.standard, "the standard file of this run");
    for (const std::wstring& file : options.rules) inputs.Add(file, "a rules file of this run");
    for (const std::wstring& file : options.maps) inputs.Add(file, "a map of this run");
    if (!options.plan.empty()) inputs.Add(options.plan, "the plan of this run");
    return inputs;
}

// The files the run writes besides drawings, checked before any drawing is touched.
std::vector<std::pair<OutputFile, std::string>> ReportFiles(const FixOptions& options, const RunInputs& inputs) {
    std::vector<std::pair<OutputFile, std::string>> files;
    if (!options.writePlan.empty()) files.emplace_back(OutputFile(options.writePlan, "the plan", IsFixPlan), "plan");
    if (!options.csv.empty()) files.emplace_back(OutputFile(options.csv, "the CSV file", IsFixCsv), "csv");
    for (auto& [file, kind] : files)
        if (std::string refusal = file.Refusal(inputs, options.force); !refusal.empty()) throw CommandError(refusal);
    return files;
}

int StatusOf(const FixPlan& plan) {
    int status = kNoFindings;
    for (const DrawingPlan& drawing : plan.drawings) {
        if (drawing.Failed()) return kBroken;
        if (!drawing.unmapped.empty()) status = kFindings;
    }
    return status;
}

std::string Summary(const FixPlan& plan, bool writes) {
    std::size_t changed = 0, refused = 0, failed = 0;
    for (const DrawingPlan& drawing : plan.drawings) {
        changed += drawing.Changes() && drawing.error.empty();
        refused += !drawing.refusal.empty();
        failed += !drawing.error.empty();
    }
    return std::to_string(plan.drawings.size()) + " drawings: " + std::to_string(changed) +
           (writes ? " fixed, " : " to fix, ") + std::to_string(refused) + " refused, " + std::to_string(failed) +
           " not fixed" + (writes ? "" : " (a dry run: nothing was written)") + "\n";
}

int Run(const FixOptions& options) {
    // As in an audit: the first Ctrl+C stops the run at the next step, the drawing under way as it was.
    const InterruptsStopRun interrupts;
    const FixSetup setup = LoadFixSetup(options);
    FixPlan source = ReadPlan(options);
    const std::vector<DrawingTarget> targets = TargetsOf(options, source.drawings);
    const RunInputs inputs = InputsOf(options, targets);
    FixPlan plan;
    plan.standard = WideToUtf8(options.standard);
    plan.standardSha256 = HashOfFile(options.standard);
    auto files = ReportFiles(options, inputs);
    const FixAuditor auditor(options.plugin, options.standard, setup.rules);
    const SystemTextCodec codec;
    const FixContext context{options, setup, auditor, codec, interrupts};
    for (const DrawingTarget& target : targets) {
        interrupts.ThrowIfInterrupted();
        plan.drawings.push_back(FixDrawing(context, target));
        const DrawingPlan& done = plan.drawings.back();
        if (!done.refusal.empty()) WriteError(done.path + ": refused: " + done.refusal);
        if (!done.error.empty()) WriteError(done.path + ": " + done.error);
        if (!options.json) WriteOut(FormatPlan(done));
    }
    // A plan or summary of part of the run would pass for the whole.
    interrupts.ThrowIfInterrupted();
    WriteOut(options.json ? PlanToJson(plan) : Summary(plan, options.Writes()));
    int status = StatusOf(plan);
    for (auto& [file, kind] : files)
        if (std::string error = file.Write(kind == "plan" ? PlanToJson(plan) : PlanToCsv(plan)); !error.empty()) {
            WriteError(error);
            status = kBroken;
        }
    return status;
}

}  // namespace

int RunFixCommand(const std::vector<std::string>& arguments) {
    const ParsedFixCommand parsed = ParseFixCommand(arguments);
    WriteOut(parsed.output);
    WriteErr(parsed.error);
    if (!parsed.options) return parsed.exitStatus;
    const kv::Apartment apartment;
    if (FAILED(apartment.result())) {
        WriteError("COM cannot be started on this thread");
        return kBroken;
    }
    try {
        return Run(*parsed.options);
    } catch (const FixSetupError& error) {
        WriteError(error.what());
    } catch (const CommandError& error) {
        WriteError(error.what());
    } catch (const SetupError& error) {
        WriteError(error.what());
    } catch (const InputError& error) {
        WriteError(error.what());
    } catch (const RunInterrupted& interrupted) {
        WriteError(interrupted.what());
    }
    return kBroken;
}

}  // namespace kvstcheck::fix
