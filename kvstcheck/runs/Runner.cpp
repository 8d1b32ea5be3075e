#include "kvstcheck/runs/Runner.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/runs/AuditDriver.h"
#include "kvstcheck/runs/DrawingObject.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/runs/SetupError.h"
#include "kvstcheck/standardtools/Hints.h"

namespace kvstcheck {
namespace {

std::unique_ptr<PluginSource> ChooseSource(const Options& options) {
    if (options.standard.empty() && options.plugin.empty()) return RegisteredPlugin();
    return PrivatePlugin(options.plugin, options.standard);
}

// The standard file the audits use: the one given, else the one beside the module that serves them.
std::wstring StandardFileOf(const Options& options) {
    if (!options.standard.empty()) return FullPath(options.standard);
    std::wstring module = options.plugin.empty() ? RegisteredModulePath() : FullPath(options.plugin);
    module.erase(module.find_last_of(L"\\/") + 1);
    return module + L"KVStPluginDefault.ini";
}

// Hints from the standard file as the plug-in's own reading code loads it. They explain findings
// and change nothing else: a file that cannot be read gives no hints, not an error.
std::optional<HintFinder> HintsFor(const Options& options) {
    try {
        return HintFinder(LoadAsThePluginDoes(StandardFileOf(options)));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

DrawingResult AuditOne(PluginSource& source, const std::wstring& path, const std::optional<HintFinder>& hints) {
    DrawingResult result{path, 0, {}, {}};
    DrawingNames names;
    try {
        names = ReadDrawingFile(path);
    } catch (const InputError& error) {
        result.error = error.what();
        WriteError(EncodeUtf8(path) + ": " + result.error);
        return result;
    }
    result.names = names.total();
    const auto drawing = MakeDrawingObject(std::move(names));
    const auto plugin = source.Create();
    result.findings = AuditDrawing(*plugin.Get(), drawing.Get(), FullPath(path), result.names);
    if (hints)
        for (Finding& finding : result.findings) finding.hints = hints->For(finding.kind, finding.name);
    return result;
}

}  // namespace

RunReport RunAudits(const Options& options) {
    RunReport report;
    try {
        const auto source = ChooseSource(options);
        const auto hints = HintsFor(options);
        for (const std::wstring& path : options.drawings) {
            report.drawings.push_back(AuditOne(*source, path, hints));
            if (!options.json) WriteOut(FormatDrawing(report.drawings.back()));
        }
    } catch (const SetupError& error) {
        report.setupError = error.what();
        WriteError(report.setupError);
    }
    if (options.json)
        WriteOut(FormatJson(report));
    else if (report.setupError.empty() && report.drawings.size() > 1)
        WriteOut(FormatTotals(report));
    return report;
}

}  // namespace kvstcheck
