#include "RegistryRead.h"

#include <algorithm>

#include "com/Handle.h"

namespace kvtest {
namespace {

void Walk(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
    lines.push_back(path);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[2048];
        DWORD dataLength = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        data[dataLength] = data[dataLength + 1] = 0;
        const std::wstring text = type == REG_SZ ? reinterpret_cast<const wchar_t*>(data) : L"<non-string>";
        lines.push_back(path + L"|" + name + L"=" + text);
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        kv::RegistryKey child;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, child.put()) != ERROR_SUCCESS) continue;
        Walk(child.get(), path + L"\\" + name, lines);
    }
}

}  // namespace

std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024];
    DWORD size = sizeof(data);
    if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

bool RegistryKeyExists(HKEY root, const std::wstring& key) {
    kv::RegistryKey opened;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::vector<std::wstring> RegistryTree(HKEY root, const std::wstring& key) {
    std::vector<std::wstring> lines;
    kv::RegistryKey opened;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return lines;
    Walk(opened.get(), L"", lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace kvtest
