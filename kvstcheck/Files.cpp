// The file ID information (Windows 8 on) is asked for at run time; Windows 7 refuses the question
// and the older call answers.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0602
#include "kvstcheck/Files.h"

#include <windows.h>

#include <cstring>

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

std::wstring SystemPath(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\")) return path;
    // Folders take 12 characters fewer than files: a name of 8.3 must still fit below them.
    constexpr std::size_t kLongestPlainPath = MAX_PATH - 12;
    const std::wstring full = FullPath(path);
    if (full.size() < kLongestPlainPath) return path;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring FolderOf(const std::wstring& fullPath) {
    const auto separator = fullPath.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return L".";
    // "C:\name": the folder is the root itself, "C:\".
    if (separator == 2 && fullPath[1] == L':') return fullPath.substr(0, 3);
    return fullPath.substr(0, separator);
}

PathKind KindOfPath(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t limit, std::string& error) {
    if (KindOfPath(path) == PathKind::Folder) {
        error = "this is a folder, not a file";
        return std::nullopt;
    }
    const kv::FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    const kv::FileHandle handle(::CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return std::nullopt;
    FileIdentity identity;
    // The file ID information needs no question to the volume's driver, which the older call asks
    // for the serial number (slow where every drawing of a folder is looked at).
    FILE_ID_INFO ids{};
    if (::GetFileInformationByHandleEx(handle.get(), FileIdInfo, &ids, sizeof ids)) {
        identity.volume = ids.VolumeSerialNumber;
        std::memcpy(identity.id.data(), ids.FileId.Identifier, identity.id.size());
        identity.fullWidth = true;
        return identity;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle.get(), &information)) return std::nullopt;
    identity.volume = information.dwVolumeSerialNumber;
    const std::uint64_t index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    std::memcpy(identity.id.data(), &index, sizeof index);
    return identity;
}

wchar_t PreferredSeparator() {
    wchar_t value[4] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"KVSTCHECK_PATH_SEPARATOR", value, 4);
    return length == 1 && value[0] == L'/' ? L'/' : L'\\';
}

}  // namespace kvstcheck
