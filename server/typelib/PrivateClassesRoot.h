#pragma once
// Gives the process a private, empty HKEY_CLASSES_ROOT (a fresh key under HKEY_CURRENT_USER)
// for as long as it lives, and removes that key afterwards: what oleaut32 and the process
// register meanwhile goes there instead of into the machine's registry.
#include <windows.h>

#include <string>
#include <string_view>

#include "com/Handle.h"
#include "com/Hresult.h"

namespace kv {

class PrivateClassesRoot {
public:
    explicit PrivateClassesRoot(std::wstring_view purpose) {
        static LONG sequence = 0;
        path_ = L"Software\\" + std::wstring(purpose) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::InterlockedIncrement(&sequence));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        Check(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, key_.put(), nullptr));
        Check(::RegOverridePredefKey(HKEY_CLASSES_ROOT, key_.get()));
    }
    PrivateClassesRoot(const PrivateClassesRoot&) = delete;
    PrivateClassesRoot& operator=(const PrivateClassesRoot&) = delete;
    ~PrivateClassesRoot() {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }

private:
    void Check(LSTATUS status) {
        if (status == ERROR_SUCCESS) return;
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        ThrowIfFailed(HRESULT_FROM_WIN32(status));
    }

    std::wstring path_;
    RegistryKey key_;
};

}  // namespace kv
