#include "kvstcheck/runs/Runner.h"

#include <windows.h>

#include <memory>
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

namespace kvstcheck {
namespace {

std::unique_ptr<PluginSource> ChooseSource(const Options& options) {
    if (options.standard.empty() && options.plugin.empty()) return RegisteredPlugin();
    return PrivatePlugin(options.plugin, options.standard);
}

DrawingResult AuditOne(PluginSource& source, const std::wstring& path) {
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
    return result;
}

}  // namespace

RunReport RunAudits(const Options& options) {
    RunReport report;
    try {
        const auto source = ChooseSource(options);
        for (const std::wstring& path : options.drawings) {
            report.drawings.push_back(AuditOne(*source, path));
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
