#include "kvstcheck/CommandLine.h"


#include <CLI/CLI.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

// More threads than this only wait for each other.
constexpr unsigned kMostJobs = 64;

std::wstring Wide(const std::string& utf8) { return DecodeUtf8(utf8).value_or(std::wstring()); }

// Every message of the tool starts with its name, so that in a log of many programs its lines show whose they are.
std::string Prefixed(const std::string& message, const std::string& helpCommand) {
    std::string text;
    std::size_t start = 0;
    while (start < message.size()) {
        std::size_t end = message.find('\n', start);
        if (end == std::string::npos) end = message.size();
        if (end > start) text += "kvstcheck: " + message.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return text + "kvstcheck: " + helpCommand + " lists the options\n";
}

// The help of the command, with its usage line as typed: "kvstcheck lint [OPTIONS] standard". (The
// help() of a parsed app would show that of its parsed subcommand, "help" itself.)
std::string HelpOf(const CLI::App& app, const CLI::App* command) {
    const std::string usage = command == &app ? "kvstcheck" : "kvstcheck " + command->get_name();
    return app.get_formatter()->make_help(command, usage, CLI::AppFormatMode::Normal);
}

std::vector<Glob> ParseExcludes(const std::vector<std::string>& patterns) {
    std::vector<Glob> globs;
    for (const std::string& pattern : patterns) {
        std::string problem;
        auto glob = Glob::Parse(Wide(pattern), problem);
        if (!glob) throw CLI::ValidationError("--exclude", "\"" + pattern + "\": " + problem);
        globs.push_back(std::move(*glob));
    }
    return globs;
}

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
    std::string csv;
    std::string junit;
    std::string baseline;
    std::string writeBaseline;
    std::string filesFrom;
    std::vector<std::string> excludes;
    std::string colour = "auto";
    bool quiet = false;
    bool version = false;
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
    app.add_option("--csv", csv, "Also write the findings as CSV (UTF-8), one row per finding, to this file")
        ->type_name("FILE");
    app.add_option("--junit", junit, "Also write the run as JUnit XML, one test case per drawing, to this file")
        ->type_name("FILE");
    app.add_option("--baseline", baseline,
                   "Accept the findings this baseline lists: shown apart, and the exit status counts only the others")
        ->type_name("FILE");
    app.add_option("--write-baseline", writeBaseline,
                   "Write the run's findings as a baseline to this file (comments of an existing one are kept)")
        ->type_name("FILE");
    app.add_option("--files-from", filesFrom,
                   "Audit the drawings this file lists, one path per line (UTF-8, or UTF-16 with a byte order mark); "
                   "- for the standard input")
        ->type_name("FILE");
    app.add_option("--exclude", excludes,
                   "Leave out what a folder holds whose path below the folder matches GLOB (* ** ? [...]); repeatable")
        ->type_name("GLOB")
        ->allow_extra_args(false);
    app.add_flag("-q,--quiet", quiet, "Print only the closing summary");
    app.add_option("--color", colour, "Colours in the text: auto (on a console, unless NO_COLOR is set), always, never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN");
    app.add_flag("--version", version, "Print the version of kvstcheck and of the plug-in module it would use");
    bool replace = false;
    app.add_flag("--force", replace, "Replace an output file that kvstcheck did not write");
    unsigned jobs = 0;
    app.add_option("--jobs", jobs,
                   "Audit this many drawings at once, each on its own thread (default: one per processor); the "
                   "report keeps the drawings' order")
        ->check(CLI::Range(1u, kMostJobs))
        ->type_name("N");
    app.footer("Exit status: 0 no findings (but accepted ones), 1 findings, 2 a drawing could not be read, the "
               "plug-in or its standard file is not ready, or a baseline, list or output file cannot be used.\nThe "
               "standard file's own tools: kvstcheck help lint, kvstcheck help make-standard.");
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

    std::string helpTopic;
    CLI::App* help = app.add_subcommand("help", "Explains kvstcheck, or one of its commands");
    help->add_option("command", helpTopic, "lint or make-standard")->check(CLI::IsMember({"lint", "make-standard"}));

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    ParsedCommandLine parsed;
    std::vector<Glob> parsedExcludes;
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (app.get_subcommands().empty() && !version && drawings.empty() && filesFrom.empty())
            throw CLI::RequiredError("drawings (or --files-from)");
        parsedExcludes = ParseExcludes(excludes);
        if (lint->parsed() && lintFiles.empty() && !installed) throw CLI::RequiredError("standard");
    } catch (const CLI::ParseError& error) {
        const CLI::App* failed = lint->parsed() ? lint : make->parsed() ? make : &app;
        if (error.get_exit_code() == 0) {
            parsed.output = HelpOf(app, failed);
            return parsed;
        }
        parsed.exitStatus = kBroken;
        parsed.error = Prefixed(error.what(), failed == &app ? "kvstcheck --help" : "kvstcheck help " + failed->get_name());
        return parsed;
    }
    if (help->parsed()) {
        parsed.output = HelpOf(app, helpTopic.empty() ? &app : app.get_subcommand(helpTopic));
        return parsed;
    }
    Options options;
    if (version) {
        options.command = Command::Version;
        options.plugin = Wide(plugin);
    } else if (lint->parsed()) {
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
        options.csv = Wide(csv);
        options.junit = Wide(junit);
        options.baseline = Wide(baseline);
        options.writeBaseline = Wide(writeBaseline);
        options.filesFrom = Wide(filesFrom);
        options.excludes = std::move(parsedExcludes);
        options.quiet = quiet;
        options.colour = colour == "always" ? ColourChoice::Always : colour == "never" ? ColourChoice::Never
                                                                                       : ColourChoice::Auto;
        for (const std::string& file : rules) options.rules.push_back(Wide(file));
        options.json = json;
        options.force = replace;
        options.jobs = jobs;
    }
    parsed.options = std::move(options);
    return parsed;
}

}  // namespace kvstcheck
