// --version: the tool's version and the plug-in module's it would use.
#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/runs/ModuleVersion.h"

namespace kvstcheck {

int RunVersionCommand(const Options& options) { return PrintVersions(options); }

}  // namespace kvstcheck
