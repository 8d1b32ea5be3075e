#include "kvstcheck/CommandLine.h"

#include <sstream>

#include <CLI/CLI.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

// More threads than this only wait for each other.
constexpr unsigned kMostJobs = 64;

std::wstring Wide(const std::string& utf8) { return DecodeUtf8(utf8).value_or(std::wstring()); }

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CLI::App app("Audits drawings against a standard file through the standards-check plug-in "
                 "KVStVB7Default.dll, as a CAD standards manager does.",
                 "kvstcheck");
    // "/home/a.dxf" is a path (the root of the current drive), never an option; subcommands inherit this.
    app.allow_windows_style_options(false);
    std::vector<std::string> drawings;
    std::string standard;
    std::string plugin;
    std::string html;
    bool json = false;
    app.add_option("drawings", drawings,
                   "Drawing files: ASCII DXF (.dxf, R12 or later) or JSON (.json); a folder stands for every such "
                   "file below it")
        ->type_name("FILE|FOLDER");
    app.add_option("--standard", standard,
                   "Audit against this standard file (KVStPluginDefault.ini format) instead of the one installed "
                   "beside the plug-in; the installed one stays untouched")
        ->type_name("FILE");
    app.add_option("--plugin", plugin, "Use this plug-in module instead of the registered KVStVB7Default.dll")
        ->type_name("DLL");
    std::vector<std::string> rules;
    app.add_option("--rules", rules,
                   "Also check the names and layers against this rules file (TOML); several --rules layer, "
                   "each over the ones before")
        ->type_name("FILE")
        ->allow_extra_args(false);
    app.add_flag("--json", json, "Print one JSON document instead of lines");
    app.add_option("--html", html, "Also write the report as one self-contained HTML page to this file")
        ->type_name("FILE");
    bool replace = false;
    app.add_flag("--force", replace, "Replace an output file that kvstcheck did not write");
    unsigned jobs = 0;
    app.add_option("--jobs", jobs,
                   "Audit this many drawings at once, each on its own thread (default: one per processor); the "
                   "report keeps the drawings' order")
        ->check(CLI::Range(1u, kMostJobs))
        ->type_name("N");
    app.footer("Exit status: 0 no findings, 1 findings, 2 a drawing could not be read or the plug-in or its "
               "standard file is not ready.\nThe standard file's own tools: kvstcheck lint --help, "
               "kvstcheck make-standard --help.");
    app.require_subcommand(0, 1);

    std::vector<std::string> lintFiles;
    bool lintJson = false;
    bool allNames = false;
    CLI::App* lint = app.add_subcommand(
        "lint", "Explains a standard file: what the plug-in will load from it, kind by kind, and each line it "
                "will read otherwise than its author most likely meant, with a fix.");
    bool installed = false;
    auto* lintFileOption =
        lint->add_option("standard", lintFiles,
                         "Standard files (KVStPluginDefault.ini format), or rules files (.toml); several are linted in turn")
            ->type_name("FILE");
    lint->add_flag("--installed", installed,
                   "Lint the standard file beside each registered plug-in module, for 32-bit and for 64-bit programs")
        ->excludes(lintFileOption);
    lint->add_flag("--json", lintJson,
                   "Print one JSON document instead of lines; for several files {\"files\": [one document per file]}");
    lint->add_flag("--all-names", allNames, "List every name the plug-in loads, not the first 12 of each kind");
    lint->footer("Exit status: 0 nothing to fix (notes alone), 1 errors or warnings, 2 a file cannot be read; for several "
                 "files the highest.");

    std::vector<std::string> references;
    std::string output = "KVStPluginDefault.ini";
    bool force = false;
    CLI::App* make = app.add_subcommand(
        "make-standard", "Writes a standard file that allows every name of the reference drawings, kind by kind "
                         "in first-seen order, in the system code page.");
    make->add_option("drawings", references, "Reference drawings: ASCII DXF (.dxf) or JSON (.json)")
        ->required()
        ->type_name("FILE");
    make->add_option("-o,--output", output, "The standard file to write")->capture_default_str()->type_name("FILE");
    make->add_flag("--force", force, "Replace the output file if it exists");
    make->footer("Exit status: 0 written, 2 nothing written (a drawing cannot be read, or a name cannot be "
                 "written faithfully).");

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    ParsedCommandLine parsed;
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (app.get_subcommands().empty() && drawings.empty()) throw CLI::RequiredError("drawings");
        if (lint->parsed() && lintFiles.empty() && !installed) throw CLI::RequiredError("standard");
    } catch (const CLI::ParseError& error) {
        std::ostringstream output;
        std::ostringstream errors;
        parsed.exitStatus = app.exit(error, output, errors) == 0 ? kNoFindings : kBroken;
        parsed.output = output.str();
        parsed.error = errors.str();
        return parsed;
    }
    Options options;
    if (lint->parsed()) {
        options.command = Command::Lint;
        for (const std::string& file : lintFiles) options.standards.push_back(Wide(file));
        if (!options.standards.empty()) options.standard = options.standards.front();
        options.allNames = allNames;
        options.installed = installed;
        options.json = lintJson;
    } else if (make->parsed()) {
        options.command = Command::MakeStandard;
        for (const std::string& drawing : references) options.drawings.push_back(Wide(drawing));
        options.output = Wide(output);
        options.force = force;
    } else {
        for (const std::string& drawing : drawings) options.drawings.push_back(Wide(drawing));
        options.standard = Wide(standard);
        options.plugin = Wide(plugin);
        options.html = Wide(html);
        for (const std::string& file : rules) options.rules.push_back(Wide(file));
        options.json = json;
        options.force = replace;
        options.jobs = jobs;
    }
    parsed.options = std::move(options);
    return parsed;
}

}  // namespace kvstcheck
