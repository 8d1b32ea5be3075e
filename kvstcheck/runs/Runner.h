#pragma once
// One run: every drawing of the command line, and below its folders, audited by a new plug-in object
// on one of the run's workers, reported in order as it goes; a progress line on a console for long
// runs, an HTML page when asked.
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/rules/RulesFile.h"

namespace kvstcheck {

// Call on a thread in a single-threaded apartment. rulesChecks: what else refuses a rules file, as its
// lint reports it.
RunReport RunAudits(const Options& options, const rules::MoreChecks& rulesChecks);

}  // namespace kvstcheck
