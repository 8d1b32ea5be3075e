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

std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t limit, std::string& error) {
    if (KindOfPath(path) == PathKind::Folder) {
        error = "this is a folder, not a file";
        return std::nullopt;
    }
    const kv::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = "cannot open the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size)) {
        error = "this is a device, not a file";
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        error = "the file is larger than " + std::to_string(limit >> 20) + " MiB";
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())) {
        error = "cannot read the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    return bytes;
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
