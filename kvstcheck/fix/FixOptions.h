#pragma once
// The fix command's own options: what to change, where the plan comes from or goes, and where the
// fixed drawings go (nowhere: a dry run).
#include <optional>
#include <string>
#include <vector>

namespace kvstcheck::fix {

struct FixOptions {
    std::vector<std::wstring> drawings;  // files and folders; empty with a plan, which names its own
    std::wstring standard;
    std::wstring plugin;                // empty: the registered plug-in module
    std::vector<std::wstring> rules;    // each over the ones before
    std::vector<std::wstring> maps;     // CSV files kind,from,to
    std::wstring writePlan;             // where to keep the plan; empty for nowhere
    std::wstring plan;                  // apply this plan instead of making one
    std::wstring output;                // write copies below this folder
    bool inPlace = false;               // replace the drawings, keeping backups
    std::wstring backupDir;             // backups below this folder instead of beside each drawing
    std::wstring csv;                   // also the plan as CSV in this file
    bool json = false;                  // the report as one JSON document
    bool force = false;                 // change drawings the fix doubts; replace output files kvstcheck did not write

    bool Writes() const { return inPlace || !output.empty(); }
};

struct ParsedFixCommand {
    std::optional<FixOptions> options;  // empty when the run ends here (help, or a usage error)
    int exitStatus = 0;
    std::string output;  // help for the standard output
    std::string error;   // a usage error for the standard error
};

// arguments: UTF-8, the program's name first, then "fix".
ParsedFixCommand ParseFixCommand(const std::vector<std::string>& arguments);

}  // namespace kvstcheck::fix
