#include "FileSearch.h"

#include "com/Handle.h"

namespace standards {
namespace {

bool Admits(SearchMask mask, DWORD attributes) noexcept {
    if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return mask == SearchMask::FilesAndDirectories;
    return true;
}

bool MeansNothingFound(DWORD error) noexcept {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

}  // namespace

HRESULT FindEntry(const std::wstring& path, SearchMask mask, bool& found) {
    found = false;
    if (path.empty()) return S_OK;
    WIN32_FIND_DATAW entry{};
    kv::FindHandle search(::FindFirstFileW(path.c_str(), &entry));
    if (!search.valid()) {
        const DWORD error = ::GetLastError();
        return MeansNothingFound(error) ? S_OK : HRESULT_FROM_WIN32(error);
    }
    // A wildcard path can match several entries; the first one the mask admits counts.
    do {
        if (Admits(mask, entry.dwFileAttributes)) {
            found = true;
            return S_OK;
        }
    } while (::FindNextFileW(search.get(), &entry));
    const DWORD error = ::GetLastError();
    return MeansNothingFound(error) ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace standards
