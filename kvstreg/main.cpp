// kvstreg: registers or unregisters an in-process COM server for the machine or for the current
// user, through the module's own exports. A 32-bit and a 64-bit build each serve modules of their
// own architecture (an installer that is a 32-bit program calls the 64-bit one for 64-bit modules).
//   kvstreg register|unregister --user|--machine MODULE
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "com/Apartment.h"
#include "com/Handle.h"
#include "kvstreg/Registrar.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr std::wstring_view kUsageText =
    L"usage: kvstreg register|unregister --user|--machine MODULE\n"
    L"  --user     in the current user's classes (HKEY_CURRENT_USER\\Software\\Classes), no administrator needed\n"
    L"  --machine  for every user of the machine (administrator)\n";

void WriteError(std::wstring_view text) {
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (::WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return;
    // Not a console: UTF-8 bytes for a pipe or file.
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    ::WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring SystemMessage(HRESULT hr) {
    kv::LocalMemory<wchar_t*> text;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(text.put()), 0, nullptr);
    std::wstring message(text ? text.get() : L"", length);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    wchar_t code[16];
    ::wsprintfW(code, L"0x%08X", static_cast<unsigned>(hr));
    return message.empty() ? code : message + L" (" + code + L")";
}

bool NeedsAdministrator(HRESULT hr) {
    return hr == E_ACCESSDENIED || hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) || hr == TYPE_E_REGISTRYACCESS ||
           hr == SELFREG_E_CLASS || hr == SELFREG_E_TYPELIB;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    return full;
}

}  // namespace

int wmain() {
    int count = 0;
    const kv::LocalMemory<wchar_t**> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    const std::vector<std::wstring> words(arguments.get() + (count > 0 ? 1 : 0), arguments.get() + count);
    if (words.size() != 3 || (words[0] != L"register" && words[0] != L"unregister") ||
        (words[1] != L"--user" && words[1] != L"--machine")) {
        WriteError(kUsageText);
        return kUsage;
    }
    const auto action = words[0] == L"register" ? kvstreg::Action::Register : kvstreg::Action::Unregister;
    const bool forUser = words[1] == L"--user";
    const std::wstring module = FullPath(words[2]);
    if (::GetFileAttributesW(module.c_str()) == INVALID_FILE_ATTRIBUTES) {
        WriteError(L"kvstreg: " + module + L": no such module\n");
        return kFailed;
    }

    const kv::Apartment apartment;
    const HRESULT hr = forUser ? kvstreg::CallServerEntryForUser(module, action)
                               : kvstreg::CallServerEntry(module, action);
    if (SUCCEEDED(hr)) return kDone;
    std::wstring message = L"kvstreg: " + words[0] + L" " + module + L" " + (forUser ? L"for the current user" : L"for all users") +
                           L" failed: " + SystemMessage(hr) + L"\n";
    if (!forUser && NeedsAdministrator(hr))
        message += L"kvstreg: registering for all users needs administrator rights; run it as an administrator, "
                   L"or use --user\n";
    WriteError(message);
    return kFailed;
}
