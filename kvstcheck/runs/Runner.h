#pragma once
// One run: every drawing of the command line audited by a new plug-in object, reported as it goes.
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

// Call on a thread in a single-threaded apartment.
RunReport RunAudits(const Options& options);

}  // namespace kvstcheck
