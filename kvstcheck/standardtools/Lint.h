#pragma once
// lint: what the plug-in will load from a standard file, and each line that it will read otherwise
// than its author most likely meant, with a plain fix.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/standardtools/LoadedStandard.h"
#include "kvstcheck/standardtools/StandardWalk.h"

namespace kvstcheck {

struct LintReport {
    std::wstring path;        // as the user gave it
    std::string unreadable;   // UTF-8; not empty: the file cannot be read and nothing else is known
    UINT codePage = 0;        // the system code page the plug-in reads the file with
    std::string encoding;     // how the plug-in decodes the file, in words
    LoadedStandard loaded;    // what the plug-in's own loader makes of the file
    std::vector<LintWarning> warnings;  // in line order
    LoadingStop stop;                   // where the loader stops reading, and why

    std::size_t Problems() const;  // errors and warnings; notes are not problems
    int Status() const;            // 0 no problem (notes alone), 1 problems, 2 unreadable
};

inline constexpr int kLintSchemaVersion = 2;

// Standard files beyond this size are not what the plug-in is meant to read.
inline constexpr std::uint64_t kLargestStandardFile = 64ull << 20;

// The warnings for a file's bytes under a code page, given what the plug-in loaded from it.
std::vector<LintWarning> FindLintWarnings(std::string_view bytes, UINT codePage, const LoadedStandard& loaded,
                                          LoadingStop* stop = nullptr);

// Reads the file at path and lints it as the plug-in reads it on this system.
LintReport LintStandardFile(const std::wstring& path);
// The file's bytes, or nothing with problem saying why they cannot be had; UTF-8.
std::optional<std::string> ReadStandardBytes(const std::wstring& path, std::string& problem);
// Lints bytes of the file the user knows as shownPath; the plug-in's loader reads loadPath, which
// holds these bytes (the file itself, or a private copy of them).
LintReport LintStandardBytes(const std::wstring& shownPath, const std::string& bytes, const std::wstring& loadPath);

// allNames: every name of each kind, not the first few.
std::string FormatLintText(const LintReport& report, bool allNames = false);
std::string FormatLintJson(const LintReport& report);

// The lint command: prints each file's report in turn; returns the highest exit status. Several files
// in JSON give {"files": [one document per file]}.
int Lint(const Options& options);

}  // namespace kvstcheck
