#pragma once
// Small questions about paths, answered by the file system.
#include <string>

namespace kvstcheck {

// The absolute form of path; path itself when the system cannot say.
std::wstring FullPath(const std::wstring& path);
// An existing file, not a folder.
bool IsFile(const std::wstring& path);

}  // namespace kvstcheck
