#pragma once
// What an in-process COM server module shares with every other: one table of the classes it
// serves, one generic class factory, and one table of the registry values that registering writes.
#include <windows.h>

#include <span>

namespace kv::server {

// Makes a new, initialized object and returns it in the requested interface.
using Creator = HRESULT (*)(REFIID iid, void** object);

struct ClassEntry {
    const CLSID* clsid;
    Creator create;
};

// One value written under HKEY_CLASSES_ROOT.
struct RegistryEntry {
    enum Data { Text, ModulePath };
    const wchar_t* key;
    const wchar_t* name;  // null for the key's default value
    Data data;
    const wchar_t* text = nullptr;  // the value when data is Text
};

struct Description {
    std::span<const ClassEntry> classes;
    std::span<const RegistryEntry> registry;
};

// Defined once by each module: what it serves and registers.
const Description& ThisServer() noexcept;

// DllGetClassObject: a class factory for a class of the table, CLASS_E_CLASSNOTAVAILABLE otherwise.
HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** factory) noexcept;
// DllCanUnloadNow: S_OK when no object of the module lives and no lock is held, else S_FALSE.
HRESULT CanUnloadNow() noexcept;

// Registers the module's type library (resource TYPELIB 1, under the module's full path) and
// writes the entries. A failure removes whatever was written, so no class is left half-registered.
HRESULT Register(std::span<const RegistryEntry> entries) noexcept;
// Removes the entries' values, each of their keys that is left empty, and the type library's
// registration; what is already gone is not an error.
HRESULT Unregister(std::span<const RegistryEntry> entries) noexcept;

}  // namespace kv::server
