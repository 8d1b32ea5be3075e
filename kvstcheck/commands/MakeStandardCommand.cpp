// make-standard: a standard file that allows every name of the reference drawings.
#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/standardtools/MakeStandard.h"

namespace kvstcheck {

int RunMakeStandardCommand(const Options& options) { return MakeStandard(options); }

}  // namespace kvstcheck
