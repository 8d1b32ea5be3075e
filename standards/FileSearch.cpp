#include "FileSearch.h"

namespace standards {
namespace {

bool Admits(SearchMask mask, DWORD attributes) noexcept {
    if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return mask == SearchMask::FilesAndDirectories;
    return true;
}

class SearchHandle {
public:
    explicit SearchHandle(HANDLE handle) noexcept : handle_(handle) {}
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    ~SearchHandle() {
        if (valid()) ::FindClose(handle_);
    }
    bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

bool MeansNothingFound(DWORD error) noexcept {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

}  // namespace

HRESULT FindEntry(const std::wstring& path, SearchMask mask, bool& found) {
    found = false;
    if (path.empty()) return S_OK;
    WIN32_FIND_DATAW entry{};
    SearchHandle search(::FindFirstFileW(path.c_str(), &entry));
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
