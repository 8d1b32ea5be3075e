#include "kvstreg/Registrar.h"

#include <oleauto.h>

#include "com/Handle.h"
#include "com/Hresult.h"

namespace kvstreg {
namespace {

HRESULT FromStatus(LSTATUS status) noexcept { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT LastError() noexcept {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// Present in oleaut32 from Windows Vista SP1 on, and not in every other implementation: looked up
// rather than imported, so that the tool also starts where it is missing.
void EnablePerUserTypeLibraryRegistration() noexcept {
    const HMODULE automation = ::GetModuleHandleW(L"oleaut32.dll");
    if (automation == nullptr) return;
    using Enable = void(WINAPI*)();
    const FARPROC function = ::GetProcAddress(automation, "OaEnablePerUserTLibRegistration");
    if (function != nullptr) reinterpret_cast<Enable>(reinterpret_cast<void*>(function))();
}

}  // namespace

ClassesRootOverride::ClassesRootOverride(HKEY classesKey)
    : result_(FromStatus(::RegOverridePredefKey(HKEY_CLASSES_ROOT, classesKey))) {
    if (SUCCEEDED(result_)) EnablePerUserTypeLibraryRegistration();
}

ClassesRootOverride::~ClassesRootOverride() {
    if (SUCCEEDED(result_)) ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
}

HRESULT CallServerEntry(const std::wstring& modulePath, Action action) {
    const kv::LoadedModule module(::LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) return LastError();
    const char* name = action == Action::Register ? "DllRegisterServer" : "DllUnregisterServer";
    const FARPROC entry = ::GetProcAddress(module.get(), name);
    if (entry == nullptr) return LastError();
    using ServerEntry = HRESULT(STDAPICALLTYPE*)();
    return reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(entry))();
}

HRESULT CallServerEntryIn(HKEY classesKey, const std::wstring& modulePath, Action action) {
    const ClassesRootOverride override(classesKey);
    KV_RETURN_IF_FAILED(override.result());
    return CallServerEntry(modulePath, action);
}

HRESULT CallServerEntryForUser(const std::wstring& modulePath, Action action) {
    kv::RegistryKey classes;
    KV_RETURN_IF_FAILED(FromStatus(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr,
                                                     REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, classes.put(),
                                                     nullptr)));
    return CallServerEntryIn(classes.get(), modulePath, action);
}

}  // namespace kvstreg
