#pragma once
// Where a fixed drawing's copy or backup goes: the original kept as NAME.dxf.bak beside it or below a
// backup folder (never ending in .dxf, so that folder audits skip it), never replacing an earlier backup.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "kvstcheck/fix/FixFiles.h"

namespace kvstcheck::fix {

// attempt 0: "a.dxf.bak"; then "a.dxf.1.bak", "a.dxf.2.bak", ...
std::wstring BackupName(std::wstring_view fileName, std::size_t attempt);

// Where a drawing goes below a folder: the folder joined with its path relative to the argument it
// came from (for a file argument, its file name).
std::wstring BelowFolder(const std::wstring& folder, const std::wstring& relative);

// The part of a drawing's path below the folder argument it came from; for a file argument, its file name.
std::wstring RelativePath(const std::wstring& argument, const std::wstring& drawing, bool argumentIsFolder);

// A drawing's backup, not kept yet, and the SHA-256 of the bytes it holds.
struct PendingBackup {
    PendingFile file;
    std::string sha256;
};

// Copies the drawing, with its times, to the first free backup name in folder (created with its parents
// when missing; empty: the current folder); an existing file is never replaced. The backup goes again
// unless it is kept, which the caller does just before the drawing is replaced. Throws BackupError in
// plain words, or RunInterrupted.
PendingBackup MakeBackup(const std::wstring& drawing, const std::wstring& folder, const InterruptsStopRun& interrupts);

// Creates a folder and those above it; empty when it exists or was made, else why not (UTF-8).
std::string MakeFolders(const std::wstring& folder);

class BackupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kvstcheck::fix
