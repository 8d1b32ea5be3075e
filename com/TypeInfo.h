#pragma once
// Sources of type information for dispatch tables (TypeInfoSource). They load the library on
// each request and keep nothing: oleaut32 caches loaded libraries itself.
#include <windows.h>
#include <oaidl.h>

namespace kv {

// The type described by resource TYPELIB 1 of the module that holds this code.
HRESULT ModuleTypeInfo(REFGUID type, ITypeInfo** info) noexcept;
// The type described by a registered library; fails while that library is not registered.
HRESULT RegisteredTypeInfo(REFGUID library, WORD major, WORD minor, REFGUID type, ITypeInfo** info) noexcept;

template <class Interface>
HRESULT TypeInfoFromModule(ITypeInfo** info) noexcept {
    return ModuleTypeInfo(__uuidof(Interface), info);
}

template <class Interface, const GUID& Library, WORD Major, WORD Minor>
HRESULT TypeInfoFromRegistered(ITypeInfo** info) noexcept {
    return RegisteredTypeInfo(Library, Major, Minor, __uuidof(Interface), info);
}

}  // namespace kv
