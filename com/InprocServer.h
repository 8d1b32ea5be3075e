#pragma once
// What an in-process COM server module shares with every other: one table of the classes it
// serves, one generic class factory, and one table of the registry values written for each class.
#include <windows.h>

#include <span>

namespace kv::server {

// Makes a new, initialized object and returns it in the requested interface.
using Creator = HRESULT (*)(REFIID iid, void** object);

// One class that the module serves and registers (apartment-threaded, with a ProgID, described
// by the module's own type library).
struct ClassEntry {
    const CLSID* clsid;
    Creator create;
    const wchar_t* name;
    const wchar_t* progID;
};

// Defined once by each module: the classes it serves.
std::span<const ClassEntry> ServedClasses() noexcept;

// What a module keeps for each thread: the entry point starts it when the module loads, ends a
// thread's share when the thread ends, and stops it when the module is unloaded or the process ends.
struct ThreadState {
    bool (*start)() noexcept;
    void (*endThread)() noexcept;
    void (*stop)(bool processExiting) noexcept;
};

// Defined once by each module: its thread state, or null when it keeps nothing per thread (its
// entry point then asks for no thread notices).
const ThreadState* ModuleThreadState() noexcept;

// DllGetClassObject: a class factory for a class of the table, CLASS_E_CLASSNOTAVAILABLE otherwise.
HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** factory) noexcept;
// DllCanUnloadNow: S_OK when no object of the module lives and no lock is held, else S_FALSE.
HRESULT CanUnloadNow() noexcept;

// Registers the module's type library (resource TYPELIB 1, under the module's full path) and
// writes each class's values. A failure removes whatever was written, so that no class is left
// half-registered.
HRESULT Register(std::span<const ClassEntry> classes) noexcept;
// Removes each class's values, each of their keys that is left empty, and the type library's
// registration; what is already gone is not an error.
HRESULT Unregister(std::span<const ClassEntry> classes) noexcept;

}  // namespace kv::server
