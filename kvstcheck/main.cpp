// kvstcheck: audits drawing files through the standards-check plug-in, over COM only.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "com/Apartment.h"
#include "com/Handle.h"
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/rules/RulesLint.h"
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

}  // namespace

int main() {
    try {
        const auto parsed = kvstcheck::ParseCommandLine(Arguments());
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
            case kvstcheck::Command::Lint:
                if (kvstcheck::rules::IsRulesFile(parsed.options->standard))
                    return kvstcheck::rules::LintRulesFile(parsed.options->standard, parsed.options->json);
                return kvstcheck::Lint(*parsed.options);
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
