#include "kvstcheck/runs/Runner.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <unordered_map>
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

// Hints from the standard file as the plug-in's own reading code loads it, each name searched once
// per run. They explain findings and change nothing else: a file that cannot be read gives no hints.
class RunHints {
public:
    explicit RunHints(const Options& options) {
        try {
            finder_.emplace(LoadAsThePluginDoes(StandardFileOf(options)));
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

DrawingResult AuditOne(PluginSource& source, const std::wstring& path, RunHints& hints) {
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
    for (Finding& finding : result.findings) hints.Add(finding);
    return result;
}

}  // namespace

RunReport RunAudits(const Options& options) {
    RunReport report;
    try {
        const auto source = ChooseSource(options);
        RunHints hints(options);
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
