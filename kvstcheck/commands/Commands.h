#pragma once
// kvstcheck's commands, one file each in this folder; main.cpp only parses the command line and
// hands the options to the command chosen. A new command: its file here, its line in Commands.cpp's
// table, its value of Command, its word and summary in kCommandNames (CommandLine.h) and its options in
// CommandLine.cpp.
#include "kvstcheck/CommandLine.h"

namespace kvstcheck {

int RunAuditCommand(const Options& options);
int RunLintCommand(const Options& options);
int RunMakeStandardCommand(const Options& options);
int RunVersionCommand(const Options& options);
int RunFixCommand(const Options& options);

// Runs the command the options chose, in a COM apartment when it needs one; its exit status.
int RunChosenCommand(const Options& options);

}  // namespace kvstcheck
