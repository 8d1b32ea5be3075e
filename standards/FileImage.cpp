#include "FileImage.h"

#include <algorithm>

#include "AnsiText.h"
#include "StandardKeys.h"
#include "ThreadImageCache.h"
#include "com/Handle.h"

namespace standards {
namespace {

// The whole file, or nothing when it cannot be read to its end.
std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    const kv::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || static_cast<ULONGLONG>(size.QuadPart) > kLargestImagedFile)
        return std::nullopt;
    // One byte more than the file holds: a read that comes back short has met the end, so a file
    // that keeps its size takes one read. A file that changes while it is read is taken as far as
    // it goes now.
    std::string bytes(static_cast<std::size_t>(size.QuadPart) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > kLargestImagedFile) return std::nullopt;
            bytes.resize(std::min<std::size_t>(bytes.size() * 2, kLargestImagedFile + 1));
        }
        const auto wanted = static_cast<DWORD>(bytes.size() - filled);
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + filled, wanted, &got, nullptr)) return std::nullopt;
        filled += got;
        if (got < wanted) break;
    }
    bytes.resize(filled);
    return bytes;
}

constexpr wchar_t kIniFileMapping[] = L"Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\";

// The profile functions answer a mapped file's name from the registry, whatever its folder. Which
// registry view the 32-bit functions read on a 64-bit system is not pinned, so both are asked: the
// 64-bit one, and the place the 32-bit one redirects to, Software\Wow6432Node, named directly (if
// the key is shared between the views, the first question covers it). Named so, the second
// question costs what the first does; through KEY_WOW64_32KEY it costs Wine a dozen lookups more.
bool RegistryMapsFileName(const std::wstring& path) {
    const std::wstring name = kIniFileMapping + path.substr(path.find_last_of(L"\\/") + 1);
    for (const wchar_t* software : {L"Software\\", L"Software\\Wow6432Node\\"}) {
        kv::RegistryKey mapping;
        const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (software + name).c_str(), 0,
                                               KEY_QUERY_VALUE | KEY_WOW64_64KEY, mapping.put());
        // A key that cannot be opened for another reason may still map the file.
        if (status != ERROR_FILE_NOT_FOUND && status != ERROR_PATH_NOT_FOUND) return true;
    }
    return false;
}

// The path as the profile functions resolve it: relative paths against the current folder. Null
// when the full path, in the code page, reaches MAX_PATH (the functions' handling is not pinned).
bool FullPathFits(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    const auto inCodePage = ToCodePage(std::wstring_view(full, length));
    return inCodePage && inCodePage->size() < MAX_PATH;
}

}  // namespace

bool CodePageKeepsEveryByte(UINT codePage) {
    CPINFO info{};
    if (!::GetCPInfo(codePage, &info) || info.MaxCharSize != 1) return false;
    for (int byte = 0; byte < 256; ++byte) {
        const char narrow = static_cast<char>(byte);
        wchar_t wide = 0;
        if (::MultiByteToWideChar(codePage, 0, &narrow, 1, &wide, 1) != 1) return false;
        if (byte < 0x80 ? wide != static_cast<wchar_t>(byte) : wide < 0x80) return false;
        char back = 0;
        BOOL substituted = FALSE;
        if (::WideCharToMultiByte(codePage, 0, &wide, 1, &back, 1, nullptr, &substituted) != 1 || substituted ||
            back != narrow)
            return false;
    }
    return true;
}

bool AnswersCertain(const ProfileImage& image, UINT codePage) {
    if (image.Encoding() != ProfileEncoding::Ansi) return false;
    // A line without '=' matters only under a name the loader reads.
    const auto matters = [](const DoubtAt& doubt) {
        return doubt.doubt != PlatformDoubt::BareLineReadAsKey || IsStandardKeyName(doubt.name);
    };
    if (std::any_of(image.Doubts().begin(), image.Doubts().end(), matters)) return false;
    return !image.HasBytesAbove127() || CodePageKeepsEveryByte(codePage);
}

std::shared_ptr<const FileImage> FileImage::Read(const std::wstring& path) {
    // A name without a folder is looked up in the Windows folder; a long path is cut short.
    if (path.find_first_of(L"\\/") == std::wstring::npos || path.size() >= MAX_PATH) return nullptr;
    // The ANSI functions see the path in the code page: one it cannot hold names no file for them.
    if (!ToCodePage(path) || !FullPathFits(path) || RegistryMapsFileName(path)) return nullptr;
    auto bytes = ReadWholeFile(path);
    if (!bytes) return nullptr;
    if (auto kept = thread_image_cache::Reuse(path, *bytes)) return kept;
    auto image = std::make_shared<const FileImage>(std::move(*bytes));
    if (!AnswersCertain(image->profile_, ::GetACP())) return nullptr;
    thread_image_cache::Keep(path, image);
    return image;
}

}  // namespace standards
