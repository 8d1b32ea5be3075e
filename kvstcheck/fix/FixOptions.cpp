#include "kvstcheck/fix/FixOptions.h"

#include <CLI/CLI.hpp>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/Text.h"

namespace kvstcheck::fix {
namespace {

constexpr int kUsageError = 2;

std::wstring Wide(const std::string& utf8) { return DecodeUtf8(utf8).value_or(std::wstring()); }

std::vector<std::wstring> WideAll(const std::vector<std::string>& texts) {
    std::vector<std::wstring> wide;
    for (const std::string& text : texts) wide.push_back(Wide(text));
    return wide;
}

struct FixArguments {
    std::vector<std::string> drawings, rules, maps;
    std::string standard, plugin, writePlan, plan, output, backupDir, csv;
    bool inPlace = false, json = false, force = false;
};

void AddOptions(CLI::App& app, FixArguments& fix) {
    app.add_option("drawings", fix.drawings, "Drawing files: ASCII DXF (.dxf) or JSON (.json); a folder stands for every such file below it")
        ->type_name("FILE|FOLDER");
    app.add_option("--standard", fix.standard, "The standard file (KVStPluginDefault.ini format) the drawings must follow")
        ->required()
        ->type_name("FILE");
    app.add_option("--plugin", fix.plugin, "Audit through this plug-in module instead of the registered one")->type_name("DLL");
    app.add_option("--rules", fix.rules, "A rules file (TOML) with [fix.*] tables and [layers.properties]; repeatable")
        ->type_name("FILE")
        ->allow_extra_args(false);
    app.add_option("--map", fix.maps, "A CSV file of renames with the header kind,from,to; repeatable")
        ->type_name("FILE")
        ->allow_extra_args(false);
    auto* writePlan = app.add_option("--write-plan", fix.writePlan, "Keep the plan as JSON in this file")->type_name("FILE");
    app.add_option("--plan", fix.plan, "Apply exactly this plan (written by --write-plan); a drawing changed since is refused")
        ->type_name("FILE")
        ->excludes(writePlan);
    auto* output = app.add_option("--output", fix.output, "Write a copy of every drawing below this folder")->type_name("DIR");
    auto* inPlace = app.add_flag("--in-place", fix.inPlace, "Replace each drawing, keeping the original as NAME.dxf.bak")
                        ->excludes(output);
    app.add_option("--backup-dir", fix.backupDir, "With --in-place: keep the backups below this folder")
        ->type_name("DIR")
        ->needs(inPlace);
    app.add_option("--csv", fix.csv, "Also write the plan as CSV to this file")->type_name("FILE");
    app.add_flag("--json", fix.json, "Print one JSON document (the plan and what was done) instead of lines");
    app.add_flag("--force", fix.force,
                 "Change a drawing with places the fix cannot account for, and replace output files kvstcheck did not write");
    app.footer("Without --output or --in-place nothing is written: the plan is printed.\nExit status: 0 the fixed drawings "
               "follow the standard, 1 findings remain that nothing maps, 2 a drawing was refused or could not be fixed, "
               "or the options, rules, maps or plan cannot be used.");
}

FixOptions OptionsOf(const FixArguments& fix) {
    FixOptions options;
    options.drawings = WideAll(fix.drawings);
    options.standard = Wide(fix.standard);
    options.plugin = Wide(fix.plugin);
    options.rules = WideAll(fix.rules);
    options.maps = WideAll(fix.maps);
    options.writePlan = Wide(fix.writePlan);
    options.plan = Wide(fix.plan);
    options.output = Wide(fix.output);
    options.inPlace = fix.inPlace;
    options.backupDir = Wide(fix.backupDir);
    options.csv = Wide(fix.csv);
    options.json = fix.json;
    options.force = fix.force;
    return options;
}

// As kvstcheck --help lists the command.
std::string_view Summary() {
    for (const CommandName& name : kCommandNames)
        if (name.command == Command::Fix) return name.summary;
    return {};
}

}  // namespace

ParsedFixCommand ParseFixCommand(const std::vector<std::string>& arguments) {
    CLI::App app(std::string(Summary()), "kvstcheck fix");
    app.allow_windows_style_options(false);
    FixArguments fix;
    AddOptions(app, fix);
    // The program's name and the command word go; CLI11 reads the rest.
    std::vector<const char*> argv{"kvstcheck fix"};
    for (std::size_t i = 2; i < arguments.size(); ++i) argv.push_back(arguments[i].c_str());
    ParsedFixCommand parsed;
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (fix.plan.empty() && fix.drawings.empty()) throw CLI::RequiredError("drawings (or --plan)");
        if (!fix.plan.empty() && !fix.drawings.empty())
            throw CLI::ValidationError("drawings", "a plan names its own drawings: give --plan alone");
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            parsed.output = app.help();
            return parsed;
        }
        parsed.exitStatus = kUsageError;
        parsed.error = "kvstcheck: fix: " + std::string(error.what()) + "\nkvstcheck: kvstcheck fix --help lists the options\n";
        return parsed;
    }
    parsed.options = OptionsOf(fix);
    return parsed;
}

}  // namespace kvstcheck::fix
