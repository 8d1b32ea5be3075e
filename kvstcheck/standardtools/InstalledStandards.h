#pragma once
// lint --installed: the standard file beside each registered plug-in module, in both registry views
// (the module for 32-bit hosts and the one for 64-bit hosts), linted as lint lints one file. Hosts
// are told nothing of a standard file that did not load; this is where its users learn of it.
#include <string>
#include <vector>

#include "kvstcheck/CommandLine.h"

namespace kvstcheck {

struct RegisteredModule {
    std::string programs;  // "32-bit" or "64-bit": the hosts that load it
    std::wstring module;   // the module file as registered
};

// Each module registered for the plug-in's class, once, 32-bit view first.
std::vector<RegisteredModule> RegisteredModules();

// The standard file that a module reads: KVStPluginDefault.ini beside it.
std::wstring StandardBeside(const std::wstring& module);

// Prints each registered module's standard file's lint; returns the worst exit status, 2 when none is
// registered.
int LintInstalled(const Options& options);

}  // namespace kvstcheck
