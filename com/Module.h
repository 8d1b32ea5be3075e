#pragma once
// The module's own state: its handle and the counts that DllCanUnloadNow reads.
#include <windows.h>

#include <string>

namespace kv::module {

// Called by the DLL entry point; a program that links the code statically need not call it.
void RecordHandle(HMODULE handle) noexcept;
// The recorded handle, or else the module that holds this code.
HMODULE Handle() noexcept;
// Full path of the module file and of the folder that holds it (no trailing separator).
HRESULT FilePath(std::wstring& path);
HRESULT Folder(std::wstring& folder);

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void Lock() noexcept;
// False, and no change, when no lock is held.
bool Unlock() noexcept;
LONG ObjectCount() noexcept;
bool CanUnload() noexcept;

// Counts one live object for as long as it exists.
class ObjectCounter {
public:
    ObjectCounter() noexcept { ObjectCreated(); }
    ObjectCounter(const ObjectCounter&) noexcept { ObjectCreated(); }
    ObjectCounter& operator=(const ObjectCounter&) noexcept = default;
    ~ObjectCounter() { ObjectDestroyed(); }
};

}  // namespace kv::module
