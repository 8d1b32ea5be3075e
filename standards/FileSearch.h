#pragma once
// The directory search that the plug-in uses as an existence test.
#include <windows.h>

#include <string>

namespace standards {

enum class SearchMask {
    NormalFiles,            // ordinary files only
    FilesAndDirectories,    // ordinary files and directories
};

// Sets found when the search for path reports an entry that mask admits. Entries marked hidden
// or system are never reported. A path that names nothing (or an empty path) is not an error;
// a search that cannot be made at all (for example a folder that cannot be listed) is.
HRESULT FindEntry(const std::wstring& path, SearchMask mask, bool& found);

}  // namespace standards
