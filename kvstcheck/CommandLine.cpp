#include "kvstcheck/CommandLine.h"

#include <sstream>

#include <CLI/CLI.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

std::wstring Wide(const std::string& utf8) { return DecodeUtf8(utf8).value_or(std::wstring()); }

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CLI::App app("Audits drawings against a standard file through the standards-check plug-in "
                 "KVStVB7Default.dll, as a CAD standards manager does.",
                 "kvstcheck");
    std::vector<std::string> drawings;
    std::string standard;
    std::string plugin;
    bool json = false;
    app.add_option("drawings", drawings, "Drawing files: ASCII DXF (.dxf, R12 or later) or JSON (.json)")
        ->required()
        ->type_name("FILE");
    app.add_option("--standard", standard,
                   "Audit against this standard file (KVStPluginDefault.ini format) instead of the one installed "
                   "beside the plug-in; the installed one stays untouched")
        ->type_name("FILE");
    app.add_option("--plugin", plugin, "Use this plug-in module instead of the registered KVStVB7Default.dll")
        ->type_name("DLL");
    app.add_flag("--json", json, "Print one JSON document instead of lines");
    app.footer("Exit status: 0 no findings, 1 findings, 2 a drawing could not be read or the plug-in or its "
               "standard file is not ready.");

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    ParsedCommandLine parsed;
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        std::ostringstream output;
        std::ostringstream errors;
        parsed.exitStatus = app.exit(error, output, errors) == 0 ? kNoFindings : kBroken;
        parsed.output = output.str();
        parsed.error = errors.str();
        return parsed;
    }
    Options options;
    for (const std::string& drawing : drawings) options.drawings.push_back(Wide(drawing));
    options.standard = Wide(standard);
    options.plugin = Wide(plugin);
    options.json = json;
    parsed.options = std::move(options);
    return parsed;
}

}  // namespace kvstcheck
