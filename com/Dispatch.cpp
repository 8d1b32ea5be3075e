#include "Dispatch.h"

namespace kv {
namespace {

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
    return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// A property get is also reached by a method call, and a method by a property get, as
// automation clients do not always tell the two apart.
bool KindAccepts(MemberKind kind, WORD flags) noexcept {
    switch (kind) {
    case MemberKind::Method:
    case MemberKind::PropertyGet:
        return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
    case MemberKind::PropertyPut:
        return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    }
    return false;
}

}  // namespace

HRESULT DispatchTable::GetTypeInfoCount(UINT* count) const noexcept {
    KV_RETURN_IF_NULL(count);
    *count = typeInfo_ ? 1 : 0;
    return S_OK;
}

HRESULT DispatchTable::GetTypeInfo(UINT index, ITypeInfo** info) const noexcept {
    KV_RETURN_IF_NULL(info);
    *info = nullptr;
    if (index != 0 || typeInfo_ == nullptr) return DISP_E_BADINDEX;
    return Barrier([&] { return typeInfo_(info); });
}

HRESULT DispatchTable::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) const noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const DispatchMember& member : members_) {
        if (names[0] && SameName(member.name, names[0])) {
            ids[0] = member.id;
            break;
        }
    }
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    // The members take no named arguments.
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchTable::Invoke(IDispatch* self, DISPID id, REFIID iid, WORD flags, DISPPARAMS* params,
                              VARIANT* result, UINT* argError) const noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr) return E_INVALIDARG;
    const DispatchMember* found = nullptr;
    for (const DispatchMember& member : members_) {
        if (member.id == id && KindAccepts(member.kind, flags)) {
            found = &member;
            break;
        }
    }
    if (found == nullptr) return DISP_E_MEMBERNOTFOUND;

    UINT positional = params->cArgs;
    if (found->kind == MemberKind::PropertyPut) {
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs == nullptr ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
    } else if (params->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (positional != found->argumentCount) return DISP_E_BADPARAMCOUNT;
    if (positional > 0 && params->rgvarg == nullptr) return E_INVALIDARG;

    if (result) ::VariantInit(result);
    return Barrier([&] { return found->invoke(self, *params, result, argError); });
}

}  // namespace kv
