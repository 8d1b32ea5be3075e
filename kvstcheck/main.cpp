// kvstcheck: audits drawing files through the standards-check plug-in, over COM only.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "com/Apartment.h"
#include "com/Handle.h"
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/fix/FixCommand.h"
#include "kvstcheck/fix/FixOptions.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/rules/RulesLint.h"
#include "kvstcheck/runs/Faults.h"
#include "kvstcheck/runs/Interruption.h"
#include "kvstcheck/runs/ModuleVersion.h"
#include "kvstcheck/runs/Runner.h"
#include "kvstcheck/standardtools/Lint.h"
#include "kvstcheck/standardtools/MakeStandard.h"

namespace {

// The arguments as the system holds them, UTF-16, so that any path survives; passed on in UTF-8.
std::vector<std::string> Arguments() {
    int count = 0;
    const kv::LocalMemory<wchar_t**> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    std::vector<std::string> utf8;
    for (int i = 0; arguments && i < count; ++i) utf8.push_back(kvstcheck::EncodeUtf8(arguments.get()[i]));
    return utf8;
}

// lint: a .toml file is a rules file, any other a standard file; several are linted in turn, the
// highest status returned. In JSON, several files must all be standard files: one document of them.
int LintFiles(const kvstcheck::Options& options) {
    const auto isRules = [](const std::wstring& path) { return kvstcheck::rules::IsRulesFile(path); };
    const auto rulesFiles = std::count_if(options.standards.begin(), options.standards.end(), isRules);
    if (options.installed || rulesFiles == 0) return kvstcheck::Lint(options);
    if (options.standards.size() == 1) return kvstcheck::rules::LintRulesFile(options.standard, options.json);
    if (options.json) {
        kvstcheck::WriteError("lint --json takes several standard files, or one rules file on its own");
        return kvstcheck::kBroken;
    }
    int status = kvstcheck::kNoFindings;
    for (const std::wstring& path : options.standards) {
        kvstcheck::Options one = options;
        one.standards = {path};
        one.standard = path;
        status = std::max(status, isRules(path) ? kvstcheck::rules::LintRulesFile(path, false) : kvstcheck::Lint(one));
    }
    return status;
}

int RunCommand() {
    try {
        const auto arguments = Arguments();
        if (kvstcheck::fix::IsFixCommand(arguments)) return kvstcheck::fix::RunFixCommand(arguments);
        const auto parsed = kvstcheck::ParseCommandLine(arguments);
        kvstcheck::WriteOut(parsed.output);
        kvstcheck::WriteErr(parsed.error);
        if (!parsed.options) return parsed.exitStatus;
        if (parsed.options->command == kvstcheck::Command::Version) return kvstcheck::PrintVersions(*parsed.options);
        const kv::Apartment apartment;
        if (FAILED(apartment.result())) {
            kvstcheck::WriteError("COM cannot be started on this thread");
            return kvstcheck::kBroken;
        }
        switch (parsed.options->command) {
            case kvstcheck::Command::Lint: return LintFiles(*parsed.options);
            case kvstcheck::Command::MakeStandard: return kvstcheck::MakeStandard(*parsed.options);
            case kvstcheck::Command::Audit:
            case kvstcheck::Command::Version: break;
        }
        return kvstcheck::RunAudits(*parsed.options).Status();
    } catch (const std::exception& error) {
        kvstcheck::WriteError(std::string("unexpected failure: ") + error.what());
        return kvstcheck::kBroken;
    }
}

// What went to a full disk or a closed pipe is incomplete: the run does not end as if it were whole.
int WithOutputChecked(int status) {
    const DWORD error = kvstcheck::StandardOutputError();
    if (error == 0) return status;
    kvstcheck::WriteError("the standard output could not be written (" + kvstcheck::SystemMessage(error) +
                          "): what it received is incomplete");
    return std::max<int>(status, kvstcheck::kBroken);
}

}  // namespace

int main() {
    const kvstcheck::InterruptsEndProcess interrupts;
    const kvstcheck::FaultsEndProcess faults;
    return WithOutputChecked(RunCommand());
}
