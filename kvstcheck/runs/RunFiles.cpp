#include "kvstcheck/runs/RunFiles.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/selection/FileList.h"

namespace kvstcheck {
namespace {

// Two paths to one file compare equal, letter case aside, once made absolute.
std::wstring Comparable(const std::wstring& path) {
    std::wstring full = FullPath(path);
    for (wchar_t& c : full) c = static_cast<wchar_t>(std::towlower(c == L'/' ? L'\\' : c));
    return full;
}

struct NamedPath {
    const char* what;
    const std::wstring* path;
};

std::vector<NamedPath> Outputs(const Options& options) {
    std::vector<NamedPath> outputs;
    for (const NamedPath output : {NamedPath{"the HTML report", &options.html}, NamedPath{"the CSV file", &options.csv},
                                   NamedPath{"the JUnit file", &options.junit},
                                   NamedPath{"the baseline to write", &options.writeBaseline}})
        if (!output.path->empty()) outputs.push_back(output);
    return outputs;
}

}  // namespace

bool SamePath(const std::wstring& a, const std::wstring& b) { return Comparable(a) == Comparable(b); }

std::string RefusedOutput(const Options& options) {
    std::vector<NamedPath> inputs;
    for (const std::wstring& drawing : options.drawings) inputs.push_back({"a drawing", &drawing});
    for (const std::wstring& rules : options.rules) inputs.push_back({"a rules file", &rules});
    for (const NamedPath input : {NamedPath{"the standard file", &options.standard}, NamedPath{"the plug-in", &options.plugin},
                                  NamedPath{"the list of files", &options.filesFrom}})
        if (!input.path->empty()) inputs.push_back(input);
    const std::vector<NamedPath> outputs = Outputs(options);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::wstring output = Comparable(*outputs[i].path);
        auto clashes = [&](const NamedPath& other) { return Comparable(*other.path) == output; };
        // The HTML report's own refusal names its clashes (OutputFile).
        const auto input = outputs[i].path == &options.html ? inputs.end() : std::find_if(inputs.begin(), inputs.end(), clashes);
        if (input != inputs.end())
            return EncodeUtf8(*outputs[i].path) + " is " + input->what + " of this run; it cannot also be " +
                   outputs[i].what;
        // The baseline read may be rewritten: it is read before the audit.
        if (!options.baseline.empty() && outputs[i].path != &options.writeBaseline && Comparable(options.baseline) == output)
            return EncodeUtf8(*outputs[i].path) + " is the baseline of this run; it cannot also be " + outputs[i].what;
        const auto other = std::find_if(outputs.begin() + static_cast<std::ptrdiff_t>(i) + 1, outputs.end(), clashes);
        if (other != outputs.end())
            return EncodeUtf8(*outputs[i].path) + " cannot be both " + outputs[i].what + " and " + other->what;
    }
    return {};
}

std::string ListRunDrawings(const Options& options, std::vector<WalkEntry>& entries) {
    std::vector<std::wstring> drawings = options.drawings;
    if (!options.filesFrom.empty()) {
        const std::string source = options.filesFrom == L"-" ? "the standard input" : EncodeUtf8(options.filesFrom);
        try {
            for (std::wstring& path : ReadFileList(options.filesFrom)) drawings.push_back(std::move(path));
        } catch (const FileListError& error) {
            return "the list of files " + source + " cannot be read: " + error.what();
        }
        if (drawings.empty()) return "the list of files " + source + " names no drawings";
    }
    // The run's own files below a folder are no drawings of it.
    std::vector<FileIdentity> own;
    for (const NamedPath& output : Outputs(options))
        if (const auto identity = IdentityOf(*output.path)) own.push_back(*identity);
    if (!options.baseline.empty())
        if (const auto identity = IdentityOf(options.baseline)) own.push_back(*identity);
    entries = ListDrawings(drawings, own, options.excludes);
    return entries.empty() ? "no drawings to audit" : std::string();
}

bool ChoosesColour(ColourChoice choice, bool console, bool noColourSet) {
    if (choice != ColourChoice::Auto) return choice == ColourChoice::Always;
    return console && !noColourSet;
}

bool UsesColour(ColourChoice choice) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(out, &mode) != FALSE;
    wchar_t value[2] = {};
    const bool noColourSet = ::GetEnvironmentVariableW(L"NO_COLOR", value, 2) > 0;
    if (!ChoosesColour(choice, console, noColourSet)) return false;
    // A console shows the sequences only with terminal processing on; one that refuses it shows none.
    return !console || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           ::SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

}  // namespace kvstcheck
