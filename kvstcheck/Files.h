#pragma once
// Small questions about paths, answered by the file system.
#include <cstddef>
#include <cstdint>
#include <array>
#include <optional>
#include <string>

#include "com/Handle.h"

namespace kvstcheck {

// The absolute form of path; path itself when the system cannot say.
std::wstring FullPath(const std::wstring& path);
// path as file calls take it: a full path too long for MAX_PATH gets the \\?\ prefix (\\?\UNC\ for a
// share), which lifts the limit. Messages keep the user's spelling, never this one.
std::wstring SystemPath(const std::wstring& path);
// The folder part of a full path, without its last separator ("C:\a" for "C:\a\b.html").
std::wstring FolderOf(const std::wstring& fullPath);

enum class PathKind { Missing, Folder, File };
// What is at path, so that a message can say a folder stands where a file belongs.
PathKind KindOfPath(const std::wstring& path);

// The whole content of a small file (a list, a baseline) of at most limit bytes; nullopt, with why
// in error (UTF-8), when it cannot be read.
std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t limit, std::string& error);

// A file's identity: two spellings of one file (relative, short name, link, other letter case) give the same.
// The volume's serial and the file's ID as the system's file ID information gives them (128 bits, as
// ReFS needs), or, where a file system does not give that, the older 32-bit serial and 64-bit index.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::array<std::uint8_t, 16> id{};
    bool fullWidth = false;  // from the file ID information
    bool operator==(const FileIdentity&) const = default;
};

// Nothing when no file or folder is there or the system cannot tell.
std::optional<FileIdentity> IdentityOf(const std::wstring& path);

// The separator that joins the way down a folder given with none ("projects"): '/' where the launcher
// says the user writes paths so, else '\\'.
wchar_t PreferredSeparator();

}  // namespace kvstcheck
