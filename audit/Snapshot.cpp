#include "Snapshot.h"

#include <string>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Variant.h"

namespace audit {
namespace {

// A property read or an argument-free method call, whichever the member is.
HRESULT Read(IDispatch& object, DISPID id, kv::Variant& value) noexcept {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, &value,
                         nullptr, nullptr);
}

HRESULT ReadByName(IDispatch& object, const wchar_t* name, kv::Variant& value) noexcept {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    KV_RETURN_IF_FAILED(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return Read(object, id, value);
}

HRESULT AsObject(const kv::Variant& value, kv::ComPtr<IDispatch>& object) noexcept {
    kv::Variant converted;
    KV_RETURN_IF_FAILED(::VariantChangeType(&converted, value.source(), 0, VT_DISPATCH));
    object = converted.get().pdispVal;
    return object ? S_OK : E_POINTER;
}

HRESULT EnumeratorOf(IDispatch& collection, kv::ComPtr<IEnumVARIANT>& items) noexcept {
    kv::Variant value;
    KV_RETURN_IF_FAILED(Read(collection, DISPID_NEWENUM, value));
    if (value.type() != VT_UNKNOWN && value.type() != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    IUnknown* unknown = value.get().punkVal;
    KV_RETURN_IF_NULL(unknown);
    return unknown->QueryInterface(IID_PPV_ARGS(&items));
}

// The entry's Name as text, or an empty string when it cannot be read or converted.
std::wstring NameOf(const kv::Variant& item) {
    kv::ComPtr<IDispatch> entry;
    kv::Variant name;
    if (FAILED(AsObject(item, entry)) || FAILED(ReadByName(*entry.Get(), L"Name", name))) return {};
    kv::Variant text;
    if (FAILED(::VariantChangeType(&text, name.source(), VARIANT_ALPHABOOL, VT_BSTR))) return {};
    return std::wstring(kv::ViewOf(text.get().bstrVal));
}

void CopyNames(IDispatch& drawing, const wchar_t* member, standards::NameList& names) {
    kv::Variant value;
    kv::ComPtr<IDispatch> collection;
    kv::ComPtr<IEnumVARIANT> items;
    if (FAILED(ReadByName(drawing, member, value)) || FAILED(AsObject(value, collection)) ||
        FAILED(EnumeratorOf(*collection.Get(), items)))
        return;
    for (;;) {
        kv::Variant item;
        ULONG fetched = 0;
        // S_FALSE ends the collection; a failure ends it too, keeping the names read so far.
        if (items->Next(1, &item, &fetched) != S_OK || fetched != 1) return;
        names.push_back(NameOf(item));
    }
}

// Equal to Empty as automation compares, with the user's locale: a comparison that fails counts as
// equal.
bool LooselyEmpty(const kv::Variant& value) noexcept {
    const kv::Variant empty;
    const HRESULT comparison = ::VarCmp(value.source(), empty.source(), LOCALE_USER_DEFAULT, 0);
    return FAILED(comparison) || comparison == VARCMP_EQ;
}

}  // namespace

bool FilterNamesFirstType(const VARIANT& filter) noexcept {
    if (filter.vt != (VT_ARRAY | VT_VARIANT) || filter.parray == nullptr || ::SafeArrayGetDim(filter.parray) != 1)
        return false;
    LONG lower = 0, upper = -1;
    if (FAILED(::SafeArrayGetLBound(filter.parray, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(filter.parray, 1, &upper)) || lower > 0 || upper < 0)
        return false;
    kv::Variant first;
    LONG index = 0;
    if (FAILED(::SafeArrayGetElement(filter.parray, &index, &first))) return false;
    return !LooselyEmpty(first);
}

bool NamesFirstType(const standards::TypeNames& typeNames) noexcept {
    if (typeNames.empty() || !typeNames.front()) return false;
    try {
        return !LooselyEmpty(kv::Variant::FromString(*typeNames.front()));
    } catch (...) {
        return false;
    }
}

void SnapshotDrawing(IDispatch& drawing, const PerKind<standards::NameList*>& lists) noexcept {
    for (std::size_t kind = 0; kind < kKindCount; ++kind) {
        standards::NameList& names = *lists[kind];
        names.clear();
        try {
            CopyNames(drawing, kKinds[kind].collection, names);
        } catch (...) {
            // Out of memory: the kind keeps the names copied so far, and the next kind is tried.
        }
    }
}

}  // namespace audit
