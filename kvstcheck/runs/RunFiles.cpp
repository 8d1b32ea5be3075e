#include "kvstcheck/runs/RunFiles.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/outputs/Output.h"
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

std::vector<NamedPath> InputsNamed(const Options& options) {
    std::vector<NamedPath> inputs;
    for (const std::wstring& drawing : options.drawings) inputs.push_back({"a drawing", &drawing});
    for (const std::wstring& rules : options.rules) inputs.push_back({"a rules file", &rules});
    for (const NamedPath input : {NamedPath{"the standard file", &options.standard}, NamedPath{"the plug-in", &options.plugin},
                                  NamedPath{"the list of files", &options.filesFrom}})
        if (!input.path->empty()) inputs.push_back(input);
    return inputs;
}

}  // namespace

bool SamePath(const std::wstring& a, const std::wstring& b) { return Comparable(a) == Comparable(b); }

std::string OutputClash(const Options& options, std::size_t index) {
    const RequestedOutput& asked = options.outputs[index];
    const std::wstring output = Comparable(asked.path);
    const std::string what = asked.format->what;
    for (const NamedPath& input : InputsNamed(options))
        if (Comparable(*input.path) == output)
            return EncodeUtf8(asked.path) + " is " + input.what + " of this run; it cannot also be " + what;
    // The baseline read may be rewritten: it is read before the audit.
    if (!options.baseline.empty() && std::string_view(asked.format->option) != "--write-baseline" &&
        Comparable(options.baseline) == output)
        return EncodeUtf8(asked.path) + " is the baseline of this run; it cannot also be " + what;
    for (std::size_t other = 0; other < options.outputs.size(); ++other)
        if (other != index && Comparable(options.outputs[other].path) == output)
            return EncodeUtf8(asked.path) + " cannot be both " + (other < index ? options.outputs[other].format->what : what) +
                   " and " + (other < index ? what : options.outputs[other].format->what);
    return {};
}

std::string RefusedOutput(const Options& options) {
    for (std::size_t i = 0; i < options.outputs.size(); ++i)
        if (std::string clash = OutputClash(options, i); !clash.empty()) return clash;
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
    for (const RequestedOutput& output : options.outputs)
        if (const auto identity = IdentityOf(output.path)) own.push_back(*identity);
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
