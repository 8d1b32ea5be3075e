// kvstcheck: audits drawing files through the standards-check plug-in, over COM only. This file
// only parses the command line and dispatches; the commands are in commands/.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "com/Handle.h"
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/commands/Commands.h"
#include "kvstcheck/model/RunReport.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/runs/Faults.h"
#include "kvstcheck/runs/Interruption.h"

namespace {

// The arguments as the system holds them, UTF-16, so that any path survives; passed on in UTF-8.
std::vector<std::string> Arguments() {
    int count = 0;
    const kv::LocalMemory<wchar_t**> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    std::vector<std::string> utf8;
    for (int i = 0; arguments && i < count; ++i) utf8.push_back(kvstcheck::EncodeUtf8(arguments.get()[i]));
    return utf8;
}

int RunCommand() {
    try {
        const auto arguments = Arguments();
        const auto parsed = kvstcheck::ParseCommandLine(arguments);
        kvstcheck::WriteOut(parsed.output);
        kvstcheck::WriteErr(parsed.error);
        if (!parsed.options) return parsed.exitStatus;
        return kvstcheck::RunChosenCommand(*parsed.options);
    } catch (const std::exception& error) {
        kvstcheck::WriteError(std::string("unexpected failure: ") + error.what());
        return kvstcheck::kBroken;
    }
}

// What went to a full disk or a closed pipe is incomplete: the run does not end as if it were whole.
int WithOutputChecked(int status) {
    const DWORD error = kvstcheck::StandardOutputError();
    if (error == 0) return status;
    kvstcheck::WriteError("the standard output could not be written (" + kvstcheck::SystemMessage(error, kvstcheck::FileUse::Writing) +
                          "): what it received is incomplete");
    return std::max<int>(status, kvstcheck::kBroken);
}

}  // namespace

int main() {
    const kvstcheck::InterruptsEndProcess interrupts;
    const kvstcheck::FaultsEndProcess faults;
    return WithOutputChecked(RunCommand());
}
