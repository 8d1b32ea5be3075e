#include "FileImage.h"

#include <algorithm>

#include "AnsiText.h"
#include "SameBytes.h"
#include "StandardKeys.h"
#include "ThreadImageCache.h"
#include "com/Handle.h"

namespace standards {
namespace {

// A file read again is compared with the bytes it had in pieces of this size, in a buffer the heap
// hands out again: a standard that has not changed costs no fresh memory of its size.
constexpr std::size_t kComparedPiece = std::size_t{128} << 10;

// What a read of a whole file found: that it holds the expected bytes, or the bytes it holds.
struct WholeFile {
    bool expected = false;
    std::string bytes;  // when not the expected ones
};

// Reads file on to its end into bytes, whose first filled bytes are read already and which has room
// beyond them. Room for one byte more than the file holds lets a file that keeps its size end in one
// read, a read that comes back short having met the end. A file that changes while it is read is
// taken as far as it goes now.
std::optional<WholeFile> ReadToEnd(HANDLE file, std::string bytes, std::size_t filled) {
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > kLargestImagedFile) return std::nullopt;
            bytes.resize(std::min<std::size_t>(bytes.size() * 2, kLargestImagedFile + 1));
        }
        const auto wanted = static_cast<DWORD>(bytes.size() - filled);
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + filled, wanted, &got, nullptr)) return std::nullopt;
        filled += got;
        if (got < wanted) break;
    }
    bytes.resize(filled);
    return WholeFile{false, std::move(bytes)};
}

// Reads file, which has expected's size, comparing it piece by piece. At the first difference the
// bytes compared equal are taken from expected and the rest is read whole.
std::optional<WholeFile> ReadAgainst(HANDLE file, std::string_view expected) {
    const std::size_t room = std::min(kComparedPiece, expected.size() + 1);
    const auto piece = std::make_unique_for_overwrite<char[]>(room);
    std::size_t compared = 0;
    for (;;) {
        // Up to one byte past the expected end, so that a file that grew is seen.
        const auto wanted = static_cast<DWORD>(std::min(room, expected.size() + 1 - compared));
        DWORD got = 0;
        if (!::ReadFile(file, piece.get(), wanted, &got, nullptr)) return std::nullopt;
        const std::string_view read(piece.get(), got);
        if (compared + got > expected.size() || !SameBytes(read, expected.substr(compared, got))) {
            std::string bytes(expected.substr(0, compared));
            bytes += read;
            const std::size_t filled = bytes.size();
            bytes.resize(std::max(filled, expected.size()) + 1);
            return ReadToEnd(file, std::move(bytes), filled);
        }
        compared += got;
        if (got < wanted) {
            if (compared == expected.size()) return WholeFile{true, {}};
            return WholeFile{false, std::string(expected.substr(0, compared))};
        }
    }
}

// The whole file, or nothing when it cannot be read to its end; expected: bytes the file may hold.
std::optional<WholeFile> ReadWholeFile(const std::wstring& path, std::string_view expected) {
    const kv::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || static_cast<ULONGLONG>(size.QuadPart) > kLargestImagedFile)
        return std::nullopt;
    const auto bytes = static_cast<std::size_t>(size.QuadPart);
    if (!expected.empty() && bytes == expected.size()) return ReadAgainst(file.get(), expected);
    return ReadToEnd(file.get(), std::string(bytes + 1, '\0'), 0);
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
    auto kept = thread_image_cache::KeptFor(path);
    auto read = ReadWholeFile(path, kept ? kept->Bytes() : std::string_view());
    if (!read) return nullptr;
    if (read->expected) return kept;
    // The kept image is let go before the next is made: the two are never held side by side.
    kept.reset();
    thread_image_cache::Forget();
    auto image = std::make_shared<const FileImage>(std::move(read->bytes));
    if (!AnswersCertain(image->profile_, ::GetACP())) return nullptr;
    thread_image_cache::Keep(path, image);
    return image;
}

}  // namespace standards
