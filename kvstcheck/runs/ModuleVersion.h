#pragma once
// What --version prints: this program's version, and which plug-in module a run would load with
// the file version its version resource gives.
#include <string>

#include "kvstcheck/CommandLine.h"

namespace kvstcheck {

// Prints the versions; 0, or 2 when the plug-in module cannot be found or has no version.
int PrintVersions(const Options& options);

}  // namespace kvstcheck
