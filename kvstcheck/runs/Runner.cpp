#include "kvstcheck/runs/Runner.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <utility>

#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/HtmlReport.h"
#include "kvstcheck/reports/Progress.h"
#include "kvstcheck/runs/AuditDriver.h"
#include "kvstcheck/runs/DrawingObject.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/runs/SetupError.h"

namespace kvstcheck {
namespace {

constexpr wchar_t kStandardName[] = L"KVStPluginDefault.ini";

std::unique_ptr<PluginSource> ChooseSource(const Options& options) {
    if (options.standard.empty() && options.plugin.empty()) return RegisteredPlugin();
    return PrivatePlugin(options.plugin, options.standard);
}

// The standard file the plug-in reads: the one given, or the one beside the module.
std::wstring StandardFileOf(const Options& options) {
    if (!options.standard.empty()) return FullPath(options.standard);
    try {
        const std::wstring module = FullPath(options.plugin.empty() ? RegisteredModulePath() : options.plugin);
        return module.substr(0, module.find_last_of(L"\\/") + 1) + kStandardName;
    } catch (const SetupError&) {
        return {};
    }
}

DrawingResult AuditOne(PluginSource& source, const WalkEntry& entry, ProgressLine& progress) {
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
    const auto drawing = MakeDrawingObject(std::move(content.names));
    const auto plugin = source.Create();
    result.findings = AuditDrawing(*plugin.Get(), drawing.Get(), FullPath(entry.path), result.names);
    return result;
}

}  // namespace

RunReport RunAudits(const Options& options) {
    RunReport report;
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
        const auto source = ChooseSource(options);
        report.standardFile = StandardFileOf(options);
        const std::vector<WalkEntry> entries = ListDrawings(options.drawings);
        ProgressLine progress(ShowsProgress(ErrorIsConsole(), options.json, entries.size()), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            progress.Show(i, entries[i].path);
            report.drawings.push_back(AuditOne(*source, entries[i], progress));
            if (options.json) continue;
            const std::string lines = FormatDrawing(report.drawings.back());
            if (lines.empty()) continue;
            progress.Clear();
            WriteOut(lines);
        }
    } catch (const SetupError& error) {
        report.setupError = error.what();
        WriteError(report.setupError);
    }
    if (options.json)
        WriteOut(FormatJson(report));
    else if (report.setupError.empty() && report.drawings.size() > 1)
        WriteOut(FormatTotals(report));
    if (html && !html->Write(FormatHtml(report))) {
        report.outputError = "cannot write the HTML report " + EncodeUtf8(options.html) + ": " + html->error();
        WriteError(report.outputError);
    }
    return report;
}

}  // namespace kvstcheck
