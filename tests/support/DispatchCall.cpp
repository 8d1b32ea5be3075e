#include "DispatchCall.h"

namespace kvtest {

CallResult Call(IDispatch* target, DISPID id, WORD flags, std::initializer_list<kv::Variant> arguments) {
    std::vector<VARIANT> reversed;
    for (auto it = std::rbegin(arguments); it != std::rend(arguments); ++it) reversed.push_back(it->get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    CallResult result;
    VARIANT value;
    ::VariantInit(&value);
    result.hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &value, nullptr, &result.argError);
    result.value = kv::Variant::Take(value);
    return result;
}

CallResult PropertyGet(IDispatch* target, DISPID id) { return Call(target, id, DISPATCH_PROPERTYGET); }

CallResult PropertyPut(IDispatch* target, DISPID id, const kv::Variant& value) {
    return Call(target, id, DISPATCH_PROPERTYPUT, {value});
}

DISPID IdOfName(IDispatch* target, const std::wstring& name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    if (FAILED(target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
    return id;
}

kv::Variant Str(const std::wstring& text) { return kv::Variant::FromString(text); }

kv::Variant Long(LONG value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return kv::Variant::Take(v);
}

kv::Variant Object(IDispatch* object) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    if (object) object->AddRef();
    return kv::Variant::Take(v);
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace kvtest
