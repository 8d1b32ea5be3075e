// fix: renames what the standard does not allow; the fix command reads its own options and starts COM.
#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/fix/FixCommand.h"

namespace kvstcheck {

int RunFixCommand(const Options& options) { return fix::RunFixCommand(options.arguments); }

}  // namespace kvstcheck
