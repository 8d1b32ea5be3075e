#pragma once
// The command line: drawing files and folders, and the options that choose the plug-in and the standard file.
#include <optional>
#include <string>
#include <vector>

namespace kvstcheck {

struct Options {
    std::vector<std::wstring> drawings;
    std::wstring standard;  // empty: the standard file installed beside the plug-in
    std::wstring plugin;    // empty: the registered plug-in module
    std::wstring html;      // empty: no HTML report
    bool json = false;
};

struct ParsedCommandLine {
    std::optional<Options> options;  // empty when the run ends here (help, or a usage error)
    int exitStatus = 0;
    std::string output;  // help text for the standard output
    std::string error;   // usage error for the standard error
};

// arguments: UTF-8, the program's name first.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kvstcheck
