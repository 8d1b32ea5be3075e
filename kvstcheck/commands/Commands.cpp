#include "kvstcheck/commands/Commands.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <iterator>

#include "com/Apartment.h"
#include "kvstcheck/model/RunReport.h"
#include "kvstcheck/reports/Console.h"

namespace kvstcheck {
namespace {

struct CommandEntry {
    Command command;
    int (*run)(const Options& options);
    bool needsCom;  // reaches the plug-in or reads the standard as the plug-in does
};

// One line per command.
constexpr CommandEntry kCommands[] = {
    {Command::Audit, &RunAuditCommand, true},
    {Command::Lint, &RunLintCommand, true},
    {Command::MakeStandard, &RunMakeStandardCommand, true},
    {Command::Version, &RunVersionCommand, false},
    {Command::Fix, &RunFixCommand, false},  // starts COM itself
};

constexpr bool Runs(Command command) {
    return std::any_of(std::begin(kCommands), std::end(kCommands), [command](const CommandEntry& e) { return e.command == command; });
}

// A command the help lists is one this table runs.
static_assert(std::all_of(kCommandNames.begin(), kCommandNames.end(), [](const CommandName& name) { return Runs(name.command); }),
              "every command of kCommandNames needs its line in kCommands");

}  // namespace

int RunChosenCommand(const Options& options) {
    const auto entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&options](const CommandEntry& e) { return e.command == options.command; });
    if (entry == std::end(kCommands)) {
        WriteError("this command is not built into this kvstcheck");
        return kBroken;
    }
    if (!entry->needsCom) return entry->run(options);
    const kv::Apartment apartment;
    if (FAILED(apartment.result())) {
        WriteError("COM cannot be started on this thread");
        return kBroken;
    }
    return entry->run(options);
}

}  // namespace kvstcheck
