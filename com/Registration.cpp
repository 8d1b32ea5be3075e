// Registering and unregistering an in-process server from its table of registry values.
#include "InprocServer.h"

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ComObject.h"
#include "Module.h"

namespace kv::server {
namespace {

class RegistryKey {
public:
    RegistryKey() noexcept = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_) ::RegCloseKey(key_);
    }
    HKEY get() const noexcept { return key_; }
    HKEY* put() noexcept { return &key_; }

private:
    HKEY key_ = nullptr;
};

HRESULT FromStatus(LSTATUS status) noexcept { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT WriteEntry(const RegistryEntry& entry, const std::wstring& modulePath) {
    RegistryKey key;
    KV_RETURN_IF_FAILED(FromStatus(::RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key, 0, nullptr,
                                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                                                     nullptr)));
    const std::wstring_view data = entry.data == RegistryEntry::ModulePath ? std::wstring_view(modulePath)
                                                                           : std::wstring_view(entry.text);
    const std::wstring terminated(data);
    return FromStatus(::RegSetValueExW(key.get(), entry.name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(terminated.c_str()),
                                       static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t))));
}

bool IsEmptyKey(const wchar_t* path) noexcept {
    RegistryKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

// Keeps the first failure of a series of steps that all run; a missing value or key counts as removed.
class FirstFailure {
public:
    void Note(HRESULT hr) noexcept {
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && SUCCEEDED(first_)) first_ = hr;
    }
    HRESULT result() const noexcept { return first_; }

private:
    HRESULT first_ = S_OK;
};

void RemoveEntries(std::span<const RegistryEntry> entries, FirstFailure& failure) {
    for (const RegistryEntry& entry : entries) {
        RegistryKey key;
        LSTATUS status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, entry.key, 0, KEY_SET_VALUE, key.put());
        if (status == ERROR_SUCCESS) status = ::RegDeleteValueW(key.get(), entry.name);
        failure.Note(FromStatus(status));
    }
    // Deepest keys first, so that a parent is looked at after its own subkeys have gone. A key
    // that still holds anything (another program's values or subkeys) stays.
    std::vector<std::wstring_view> keys;
    for (const RegistryEntry& entry : entries) keys.emplace_back(entry.key);
    const auto depth = [](std::wstring_view key) { return std::count(key.begin(), key.end(), L'\\'); };
    std::sort(keys.begin(), keys.end(), [&](std::wstring_view a, std::wstring_view b) {
        return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
    });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (std::wstring_view key : keys) {
        const std::wstring path(key);
        if (IsEmptyKey(path.c_str())) failure.Note(FromStatus(::RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str())));
    }
}

HRESULT LoadOwnTypeLibrary(const std::wstring& modulePath, ComPtr<ITypeLib>& library) {
    return ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library);
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
    ComPtr<ITypeLib> library;
    KV_RETURN_IF_FAILED(LoadOwnTypeLibrary(modulePath, library));
    return ::RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(modulePath.c_str()), nullptr);
}

HRESULT UnregisterTypeLibrary(const std::wstring& modulePath) {
    ComPtr<ITypeLib> library;
    KV_RETURN_IF_FAILED(LoadOwnTypeLibrary(modulePath, library));
    TLIBATTR* attributes = nullptr;
    KV_RETURN_IF_FAILED(library->GetLibAttr(&attributes));
    const TLIBATTR own = *attributes;
    library->ReleaseTLibAttr(attributes);
    BSTR registeredPath = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(own.guid, own.wMajorVerNum, own.wMinorVerNum, own.lcid, &registeredPath)))
        return S_OK;  // not registered
    ::SysFreeString(registeredPath);
    return ::UnRegisterTypeLib(own.guid, own.wMajorVerNum, own.wMinorVerNum, own.lcid, own.syskind);
}

HRESULT UnregisterWithPath(std::span<const RegistryEntry> entries, const std::wstring& modulePath) {
    FirstFailure failure;
    RemoveEntries(entries, failure);
    failure.Note(UnregisterTypeLibrary(modulePath));
    return failure.result();
}

}  // namespace

HRESULT Register(std::span<const RegistryEntry> entries) noexcept {
    return Barrier([&] {
        std::wstring modulePath;
        KV_RETURN_IF_FAILED(module::FilePath(modulePath));
        HRESULT hr = RegisterTypeLibrary(modulePath);
        for (const RegistryEntry& entry : entries) {
            if (FAILED(hr)) break;
            hr = WriteEntry(entry, modulePath);
        }
        if (FAILED(hr)) UnregisterWithPath(entries, modulePath);
        return hr;
    });
}

HRESULT Unregister(std::span<const RegistryEntry> entries) noexcept {
    return Barrier([&] {
        std::wstring modulePath;
        KV_RETURN_IF_FAILED(module::FilePath(modulePath));
        return UnregisterWithPath(entries, modulePath);
    });
}

}  // namespace kv::server
