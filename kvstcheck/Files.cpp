#include "kvstcheck/Files.h"

#include <windows.h>

#include <algorithm>

#include "kvstcheck/SystemError.h"

namespace kvstcheck {

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

PathKind KindOfPath(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

OutputFile::OutputFile(const std::wstring& path)
    : handle_(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {
    if (!handle_) error_ = SystemMessage(::GetLastError());
    else if (::GetFileType(handle_.get()) != FILE_TYPE_DISK) error_ = "this is a device, not a file";
}

bool OutputFile::Write(std::string_view bytes) {
    while (error_.empty() && !bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(handle_.get(), bytes.data(), chunk, &written, nullptr) || written == 0)
            error_ = SystemMessage(::GetLastError());
        bytes.remove_prefix(written);
    }
    return error_.empty();
}

}  // namespace kvstcheck
