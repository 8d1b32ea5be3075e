#pragma once
// Small questions about paths, answered by the file system.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "com/Handle.h"

namespace kvstcheck {

// The absolute form of path; path itself when the system cannot say.
std::wstring FullPath(const std::wstring& path);

enum class PathKind { Missing, Folder, File };
// What is at path, so that a message can say a folder stands where a file belongs.
PathKind KindOfPath(const std::wstring& path);

// The whole content of a small file (a list, a baseline) of at most limit bytes; nullopt, with why
// in error (UTF-8), when it cannot be read.
std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t limit, std::string& error);

// A file that a run writes at its end, created at its start so that a path that cannot be written
// is reported before any work is done.
class OutputFile {
public:
    // Creates the file, or empties it; error() says why that failed.
    explicit OutputFile(const std::wstring& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // UTF-8; empty while the file can be written.
    const std::string& error() const noexcept { return error_; }
    // Appends the bytes; false, with error() set, when they could not all be written.
    bool Write(std::string_view bytes);

private:
    kv::FileHandle handle_;
    std::string error_;
};

}  // namespace kvstcheck
