#include "kvstcheck/CommandLine.h"

#include <CLI/CLI.hpp>

#include "kvstcheck/Text.h"
#include "kvstcheck/outputs/Registry.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

// More threads than this only wait for each other.
constexpr unsigned kMostJobs = 64;

// CLI11's own range check calls a word that is no number "not in range".
CLI::Validator JobCount() {
    return CLI::Validator(
        [](const std::string& text) {
            unsigned long value = 0;
            bool number = !text.empty() && text.size() <= 3;
            for (const char digit : text) {
                number = number && digit >= '0' && digit <= '9';
                value = value * 10 + static_cast<unsigned long>(digit - '0');
            }
            if (number && value >= 1 && value <= kMostJobs) return std::string();
            return "N is a whole number from 1 to " + std::to_string(kMostJobs) + ", not \"" + text + "\"";
        },
        "");
}

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

// What the audit's options give, as the parser fills them.
struct AuditArguments {
    std::vector<std::string> drawings, rules, excludes;
    std::string standard, plugin, baseline, filesFrom;
    std::vector<std::string> outputs = std::vector<std::string>(OutputFormats().size());  // per format
    std::string colour = "auto";
    bool quiet = false, version = false, json = false, replace = false;
    unsigned jobs = 0;
};

struct LintArguments {
    std::vector<std::string> files;
    bool json = false, allNames = false, installed = false;
};

struct MakeStandardArguments {
    std::vector<std::string> references;
    std::string output = "KVStPluginDefault.ini";
    bool force = false;
};

void AddOutputOptions(CLI::App& app, AuditArguments& audit) {
    app.add_flag("--json", audit.json, "Print one JSON document instead of lines");
    const auto formats = OutputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i)
        app.add_option(formats[i]->option, audit.outputs[i], formats[i]->help)->type_name("FILE");
    app.add_option("--baseline", audit.baseline,
                   "Accept the findings this baseline lists: shown apart, and the exit status counts only the others")
        ->type_name("FILE");
}

void AddAuditOptions(CLI::App& app, AuditArguments& audit) {
    app.add_option("drawings", audit.drawings,
                   "Drawing files: ASCII DXF (.dxf, R12 or later) or JSON (.json); a folder stands for every such "
                   "file below it")
        ->type_name("FILE|FOLDER");
    app.add_option("--standard", audit.standard,
                   "Audit against this standard file (KVStPluginDefault.ini format) instead of the one installed "
                   "beside the plug-in; the installed one stays untouched")
        ->type_name("FILE");
    app.add_option("--plugin", audit.plugin, "Use this plug-in module instead of the registered KVStVB7Default.dll")
        ->type_name("DLL");
    app.add_option("--rules", audit.rules,
                   "Also check the names and layers against this rules file (TOML); several --rules layer, "
                   "each over the ones before")
        ->type_name("FILE")
        ->allow_extra_args(false);
    AddOutputOptions(app, audit);
    app.add_option("--files-from", audit.filesFrom,
                   "Audit the drawings this file lists, one path per line (UTF-8, or UTF-16 with a byte order mark); "
                   "- for the standard input")
        ->type_name("FILE");
    app.add_option("--exclude", audit.excludes,
                   "Leave out what a folder holds whose path below the folder matches GLOB (* ** ? [...]); repeatable")
        ->type_name("GLOB")
        ->allow_extra_args(false);
    app.add_flag("-q,--quiet", audit.quiet, "Print only the closing summary");
    app.add_option("--color", audit.colour,
                   "Colours in the text: auto (on a console, unless NO_COLOR is set), always, never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN");
    app.add_flag("--version", audit.version, "Print the version of kvstcheck and of the plug-in module it would use");
    app.add_flag("--force", audit.replace, "Replace an output file that kvstcheck did not write");
    app.add_option("--jobs", audit.jobs,
                   "Audit this many drawings at once, each on its own thread (default: one per processor); the "
                   "report keeps the drawings' order")
        ->check(JobCount())
        ->type_name("N");
    app.footer("Exit status: 0 no findings (but accepted ones), 1 findings, 2 a drawing could not be read, the "
               "plug-in or its standard file is not ready, a baseline, list or output file cannot be used, the "
               "standard output cannot be written, or the run was interrupted or ended by a fault (no report is "
               "written then).\nkvstcheck help COMMAND (or kvstcheck COMMAND --help) explains each command.");
}

std::string_view WordOf(Command command) {
    for (const CommandName& name : kCommandNames)
        if (name.command == command) return name.word;
    return {};
}

// The command's subcommand, made from kCommandNames.
CLI::App* SubcommandOf(CLI::App& app, Command command) { return app.get_subcommand(std::string(WordOf(command))); }

CLI::App* AddLint(CLI::App& app, LintArguments& lint) {
    CLI::App* command = SubcommandOf(app, Command::Lint);
    auto* files =
        command
            ->add_option("standard", lint.files,
                         "Standard files (KVStPluginDefault.ini format), or rules files (.toml); several are linted in turn")
            ->type_name("FILE");
    command
        ->add_flag("--installed", lint.installed,
                   "Lint the standard file beside each registered plug-in module, for 32-bit and for 64-bit programs")
        ->excludes(files);
    command->add_flag("--json", lint.json,
                      "Print one JSON document instead of lines; for several files {\"files\": [one document per file]}");
    command->add_flag("--all-names", lint.allNames, "List every name the plug-in loads, not the first 12 of each kind");
    command->footer("Exit status: 0 nothing to fix (notes alone), 1 errors or warnings, 2 a file cannot be read; for "
                    "several files the highest.");
    return command;
}

CLI::App* AddMakeStandard(CLI::App& app, MakeStandardArguments& make) {
    CLI::App* command = SubcommandOf(app, Command::MakeStandard);
    command->add_option("drawings", make.references, "Reference drawings: ASCII DXF (.dxf) or JSON (.json)")
        ->required()
        ->type_name("FILE");
    command->add_option("-o,--output", make.output, "The standard file to write")
        ->capture_default_str()
        ->type_name("FILE");
    command->add_flag("--force", make.force, "Replace the output file if it exists");
    command->footer("Exit status: 0 written, 2 nothing written (a drawing cannot be read, or a name cannot be "
                    "written faithfully).");
    return command;
}

std::vector<std::wstring> WideAll(const std::vector<std::string>& texts) {
    std::vector<std::wstring> wide;
    for (const std::string& text : texts) wide.push_back(Wide(text));
    return wide;
}

Options AuditOptions(const AuditArguments& audit, std::vector<Glob> excludes) {
    Options options;
    options.drawings = WideAll(audit.drawings);
    options.standard = Wide(audit.standard);
    options.plugin = Wide(audit.plugin);
    const auto formats = OutputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (!audit.outputs[i].empty()) options.outputs.push_back({formats[i], Wide(audit.outputs[i])});
    options.baseline = Wide(audit.baseline);
    options.filesFrom = Wide(audit.filesFrom);
    options.excludes = std::move(excludes);
    options.quiet = audit.quiet;
    options.colour = audit.colour == "always"  ? ColourChoice::Always
                     : audit.colour == "never" ? ColourChoice::Never
                                               : ColourChoice::Auto;
    options.rules = WideAll(audit.rules);
    options.json = audit.json;
    options.force = audit.replace;
    options.jobs = audit.jobs;
    return options;
}

Options LintOptions(const LintArguments& lint) {
    Options options;
    options.command = Command::Lint;
    options.standards = WideAll(lint.files);
    if (!options.standards.empty()) options.standard = options.standards.front();
    options.allNames = lint.allNames;
    options.installed = lint.installed;
    options.json = lint.json;
    return options;
}

// The fix command reads its own options: the whole command line goes to it.
Options HandedToFix(std::vector<std::string> arguments) {
    Options options;
    options.command = Command::Fix;
    options.arguments = std::move(arguments);
    return options;
}

Options MakeStandardOptions(const MakeStandardArguments& make) {
    Options options;
    options.command = Command::MakeStandard;
    options.drawings = WideAll(make.references);
    options.output = Wide(make.output);
    options.force = make.force;
    return options;
}

}  // namespace

std::wstring OutputPath(const Options& options, std::string_view option) {
    for (const RequestedOutput& output : options.outputs)
        if (output.format == FormatOfOption(option)) return output.path;
    return {};
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    if (arguments.size() > 1 && arguments[1] == WordOf(Command::Fix)) {
        parsed.options = HandedToFix(arguments);
        return parsed;
    }
    CLI::App app("Audits drawings against a standard file through the standards-check plug-in "
                 "KVStVB7Default.dll, as a CAD standards manager does.",
                 "kvstcheck");
    // "/home/a.dxf" is a path (the root of the current drive), never an option; subcommands inherit this.
    app.allow_windows_style_options(false);
    AuditArguments audit;
    AddAuditOptions(app, audit);
    app.require_subcommand(0, 1);
    std::vector<std::string> words;
    for (const CommandName& name : kCommandNames) {
        words.emplace_back(name.word);
        app.add_subcommand(words.back(), std::string(name.summary));
    }
    // Listed and explained here; its own options are read by the fix command, which comes first.
    CLI::App* fix = SubcommandOf(app, Command::Fix);
    fix->allow_extras();
    LintArguments lintArguments;
    CLI::App* lint = AddLint(app, lintArguments);
    MakeStandardArguments makeArguments;
    CLI::App* make = AddMakeStandard(app, makeArguments);
    std::string helpTopic;
    CLI::App* help = app.add_subcommand("help", "Explains kvstcheck, or one of its commands");
    help->add_option("command", helpTopic, "One of the commands above")->check(CLI::IsMember(words));

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    std::vector<Glob> excludes;
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (app.get_subcommands().empty() && !audit.version && audit.drawings.empty() && audit.filesFrom.empty())
            throw CLI::RequiredError("drawings (or --files-from)");
        excludes = ParseExcludes(audit.excludes);
        if (lint->parsed() && lintArguments.files.empty() && !lintArguments.installed)
            throw CLI::RequiredError("standard");
        if (fix->parsed()) throw CLI::ValidationError("fix", "the word fix comes first, then its options: kvstcheck fix ...");
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
        // The fix command's help is its own.
        if (helpTopic == WordOf(Command::Fix))
            parsed.options = HandedToFix({arguments.front(), helpTopic, "--help"});
        else
            parsed.output = HelpOf(app, helpTopic.empty() ? &app : app.get_subcommand(helpTopic));
    } else if (audit.version) {
        parsed.options.emplace().command = Command::Version;
        parsed.options->plugin = Wide(audit.plugin);
    } else if (lint->parsed()) {
        parsed.options = LintOptions(lintArguments);
    } else if (make->parsed()) {
        parsed.options = MakeStandardOptions(makeArguments);
    } else {
        parsed.options = AuditOptions(audit, std::move(excludes));
    }
    return parsed;
}

}  // namespace kvstcheck
