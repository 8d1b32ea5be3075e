// audit (no command name): the drawings through the plug-in, as a host audits them.
#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/fix/FixMap.h"
#include "kvstcheck/runs/Runner.h"

namespace kvstcheck {

// A rules file is refused for its [fix] tables' errors too, as its lint reports them.
int RunAuditCommand(const Options& options) { return RunAudits(options, fix::LintFixTables).Status(); }

}  // namespace kvstcheck
