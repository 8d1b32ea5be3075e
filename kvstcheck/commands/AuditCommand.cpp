// audit (no command name): the drawings through the plug-in, as a host audits them.
#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/runs/Runner.h"

namespace kvstcheck {

int RunAuditCommand(const Options& options) { return RunAudits(options).Status(); }

}  // namespace kvstcheck
