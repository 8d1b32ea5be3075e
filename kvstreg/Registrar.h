#pragma once
// Registering an in-process server for the machine or for the current user only, through the
// module's own DllRegisterServer and DllUnregisterServer: the module keeps the one table of what
// it registers, and the scope is chosen here, by where HKEY_CLASSES_ROOT leads while it runs.
#include <windows.h>

#include <string>

namespace kvstreg {

enum class Action { Register, Unregister };

// For the duration of its life, maps the process's HKEY_CLASSES_ROOT to classesKey (the user's
// HKEY_CURRENT_USER\Software\Classes, or a test's own key), and lets oleaut32 register type
// libraries through that mapping as well (Windows ignores it otherwise for type libraries).
class ClassesRootOverride {
public:
    explicit ClassesRootOverride(HKEY classesKey);
    ClassesRootOverride(const ClassesRootOverride&) = delete;
    ClassesRootOverride& operator=(const ClassesRootOverride&) = delete;
    ~ClassesRootOverride();

    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

// Loads the module and calls DllRegisterServer or DllUnregisterServer; the module's HRESULT, or
// the failure to load it or to find the export.
HRESULT CallServerEntry(const std::wstring& modulePath, Action action);

// The same in the current user's classes (HKEY_CURRENT_USER\Software\Classes).
HRESULT CallServerEntryForUser(const std::wstring& modulePath, Action action);

// The same with HKEY_CLASSES_ROOT mapped to classesKey.
HRESULT CallServerEntryIn(HKEY classesKey, const std::wstring& modulePath, Action action);

}  // namespace kvstreg
