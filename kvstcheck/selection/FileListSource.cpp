// The list's bytes from a file or the standard input; the parse itself is portable (FileList.cpp).
#include <windows.h>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/selection/FileList.h"

namespace kvstcheck {
namespace {

// Far more than any list of drawings; stops a run reading a device without end.
constexpr std::size_t kLargestList = 64u << 20;

std::string ReadAll(HANDLE handle) {
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(handle, buffer, sizeof buffer, &read, nullptr)) {
            // A pipe whose writer has closed it has simply ended.
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return bytes;
            throw FileListError("cannot read the list: " + SystemMessage(error));
        }
        if (read == 0) return bytes;
        bytes.append(buffer, read);
        if (bytes.size() > kLargestList) throw FileListError("the list is larger than 64 MiB");
    }
}

std::string ReadListBytes(const std::wstring& source) {
    if (source == L"-") {
        return ReadAll(::GetStdHandle(STD_INPUT_HANDLE));
    }
    std::string error;
    auto bytes = ReadSmallFile(source, kLargestList, error);
    if (!bytes) throw FileListError(error);
    return std::move(*bytes);
}

}  // namespace

std::vector<std::wstring> ReadFileList(const std::wstring& source) {
    std::vector<std::wstring> paths;
    for (const std::string& path : ParseFileList(ReadListBytes(source))) paths.push_back(DecodeUtf8(path).value_or(L""));
    return paths;
}

}  // namespace kvstcheck
