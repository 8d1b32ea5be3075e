#include "kvstcheck/SystemError.h"

#include <cstdio>

#include "com/Handle.h"
#include "kvstcheck/Text.h"

namespace kvstcheck {
namespace {

// The system's texts for these ("Access is denied", "The directory name is invalid") do not say
// what to do; each of these does.
const char* PlainWords(DWORD error, FileUse use) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: return "it does not exist";
        case ERROR_PATH_NOT_FOUND: return "a folder on its way does not exist";
        case ERROR_INVALID_DRIVE: return "its drive does not exist";
        case ERROR_ACCESS_DENIED:
            // Being read-only keeps no one from reading a file.
            return use == FileUse::Writing ? "Windows refuses access to it: it is read-only, a folder, or not open to this user"
                                           : "Windows refuses access to it: it is a folder, or not open to this user";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
            return "another program has it open and keeps others from using it: close it there and run again";
        case ERROR_DIRECTORY: return "it is a file where a folder belongs";
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return "it is not a valid path: a name holds a character such as : * ? \" < > |, or a folder is missing";
        case ERROR_FILENAME_EXCED_RANGE: return "the path is too long for this system";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return "its disk is full";
        case ERROR_WRITE_PROTECT: return "its disk is write-protected";
        case ERROR_NOT_READY: return "its drive is not ready (no disk in it?)";
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
            return "its network share cannot be reached: check the server's and the share's names and the network";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return "a file of that name exists";
        case ERROR_CANT_ACCESS_FILE:
        case ERROR_CANT_RESOLVE_FILENAME: return "it is a link that cannot be followed";
        case ERROR_NO_DATA:
        case ERROR_BROKEN_PIPE:
        case ERROR_PIPE_NOT_CONNECTED: return "the program it goes to has stopped reading";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return "there is not enough memory";
        default: return nullptr;
    }
}

std::string SystemText(DWORD error) {
    kv::LocalMemory<wchar_t*> buffer;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    std::wstring text(buffer ? buffer.get() : L"", length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(error);
    return EncodeUtf8(text);
}

}  // namespace

std::string SystemMessage(DWORD error, FileUse use) {
    if (const char* words = PlainWords(error, use)) return words;
    return SystemText(error) + " (system error " + std::to_string(error) + ")";
}

std::string HresultMessage(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return std::string(code) + " (" + SystemText(static_cast<DWORD>(hr)) + ")";
}

}  // namespace kvstcheck
