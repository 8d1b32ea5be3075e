#pragma once
// The command line: drawing files and folders, and the options that choose the plug-in, the standard
// file and the reports; or one of the tools for standard files (lint, make-standard).
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/selection/Glob.h"

namespace kvstcheck {

enum class Command {
    Audit,         // audit the drawings through the plug-in
    Lint,          // explain the standard file (or a .toml rules file): what reads otherwise than meant
    MakeStandard,  // write a standard file that allows every name of the drawings
    Version,       // print the tool's version and the plug-in module's
    Fix,           // rename what the standard does not allow (kvstcheck/fix/), reading its own options
};

// A command a user types after kvstcheck, as kvstcheck --help lists it and kvstcheck help explains
// it. The audit and --version take no word.
struct CommandName {
    Command command;
    std::string_view word;
    std::string_view summary;
};

// Every command with a word, in the order the help lists them; commands/Commands.cpp runs each.
inline constexpr std::array kCommandNames = {
    CommandName{Command::Lint, "lint",
                "Explains a standard file: what the plug-in will load from it, kind by kind, and each line it will "
                "read otherwise than its author most likely meant, with a fix (a .toml file: a rules file)."},
    CommandName{Command::MakeStandard, "make-standard",
                "Writes a standard file that allows every name of the reference drawings, kind by kind in first-seen "
                "order, in the system code page."},
    CommandName{Command::Fix, "fix",
                "Renames what the standard does not allow, as rules files and maps say: a plan first, then copies "
                "or the drawings themselves, each audited again before it is kept."},
};

struct OutputFormat;

// An output file the user asked for, in one of the registry's formats (kvstcheck/outputs/).
struct RequestedOutput {
    const OutputFormat* format = nullptr;
    std::wstring path;  // as given
};

// Whether text output uses a terminal's colours: Auto on a console, unless NO_COLOR is set.
enum class ColourChoice { Auto, Always, Never };

struct Options {
    Command command = Command::Audit;
    std::vector<std::wstring> drawings;
    std::wstring standard;  // audit: empty for the file installed beside the plug-in; lint: the file
    std::wstring plugin;    // empty: the registered plug-in module
    std::vector<RequestedOutput> outputs;  // audit: the files to write beside the text, in the registry's order
    std::wstring baseline;       // audit: the accepted findings; empty for none
    std::wstring filesFrom;      // audit: a list of drawings, one per line; "-" for the standard input
    std::vector<Glob> excludes;  // audit: what folder walks leave out
    bool quiet = false;          // audit: the closing summary only
    ColourChoice colour = ColourChoice::Auto;
    std::vector<std::wstring> rules;  // audit: rules files, each over the ones before
    std::wstring output;    // make-standard: the file to write
    bool force = false;     // replace an existing output file that kvstcheck did not write
    bool installed = false;  // lint: the standard files beside the registered plug-in modules
    std::vector<std::wstring> standards;  // lint: every file given (standard is the first)
    bool allNames = false;                // lint: list every name, not the first few of each kind
    bool json = false;
    unsigned jobs = 0;      // audit: drawings audited at once; 0 for one per processor
    std::vector<std::string> arguments;  // fix: the whole command line (UTF-8), which it reads itself
};

struct ParsedCommandLine {
    std::optional<Options> options;  // empty when the run ends here (help, or a usage error)
    int exitStatus = 0;
    std::string output;  // help text for the standard output
    std::string error;   // usage error for the standard error
};

// The path given for the output of that option ("--csv"); empty when none was asked for.
std::wstring OutputPath(const Options& options, std::string_view option);

// arguments: UTF-8, the program's name first.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kvstcheck
