#pragma once
// Small questions about paths, answered by the file system.
#include <string>

namespace kvstcheck {

// The absolute form of path; path itself when the system cannot say.
std::wstring FullPath(const std::wstring& path);
enum class PathKind { Missing, Folder, File };
// What is at path, so that a message can say a folder stands where a file belongs.
PathKind KindOfPath(const std::wstring& path);

}  // namespace kvstcheck
