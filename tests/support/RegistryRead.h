#pragma once
// Reading the registry in tests.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kvtest {

// A string value (name null: the key's default value), or nothing when the key or value is missing.
std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& key, const wchar_t* name = nullptr);
bool RegistryKeyExists(HKEY root, const std::wstring& key);
// Every key and value below key, one line each ("path" and "path|name=data"), sorted.
std::vector<std::wstring> RegistryTree(HKEY root, const std::wstring& key);

}  // namespace kvtest
