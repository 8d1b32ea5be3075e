#include "TypeInfo.h"

#include <oleauto.h>

#include <string>

#include "ComObject.h"
#include "Module.h"

namespace kv {

HRESULT ModuleTypeInfo(REFGUID type, ITypeInfo** info) noexcept {
    KV_RETURN_IF_NULL(info);
    *info = nullptr;
    return Barrier([&] {
        std::wstring path;
        KV_RETURN_IF_FAILED(module::FilePath(path));
        ComPtr<ITypeLib> library;
        KV_RETURN_IF_FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
        return library->GetTypeInfoOfGuid(type, info);
    });
}

HRESULT RegisteredTypeInfo(REFGUID library, WORD major, WORD minor, REFGUID type, ITypeInfo** info) noexcept {
    KV_RETURN_IF_NULL(info);
    *info = nullptr;
    ComPtr<ITypeLib> registered;
    KV_RETURN_IF_FAILED(::LoadRegTypeLib(library, major, minor, LOCALE_NEUTRAL, &registered));
    return registered->GetTypeInfoOfGuid(type, info);
}

}  // namespace kv
