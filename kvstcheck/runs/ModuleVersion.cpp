#include "kvstcheck/runs/ModuleVersion.h"

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/reports/RunFacts.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/runs/SetupError.h"

namespace kvstcheck {

int PrintVersions(const Options& options) {
    WriteOut("kvstcheck " + ToolVersion() + "\n");
    try {
        const std::wstring module = FullPath(options.plugin.empty() ? RegisteredModulePath() : options.plugin);
        const std::string version = ModuleFileVersion(module);
        if (version.empty()) throw SetupError(EncodeUtf8(module) + ": the module has no version resource with a file version");
        WriteOut("plug-in: " + EncodeUtf8(module) + ", file version " + version + "\n");
        return kNoFindings;
    } catch (const SetupError& error) {
        WriteError(error.what());
        return kBroken;
    }
}

}  // namespace kvstcheck
