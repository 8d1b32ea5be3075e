#include "HostErrorDouble.h"

#include <stdexcept>

#include "com/Bstr.h"

namespace audittest {

HRESULT RecordedError::GetTypeInfoCount(UINT* count) {
    KV_RETURN_IF_NULL(count);
    *count = 0;
    return S_OK;
}
HRESULT RecordedError::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    KV_RETURN_IF_NULL(info);
    *info = nullptr;
    return E_NOTIMPL;
}
HRESULT RecordedError::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT RecordedError::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT RecordedError::Set(const wchar_t* property, std::wstring& field, BSTR value) {
    setters.push_back(property);
    if (FAILED(setterResult_)) return setterResult_;
    field.assign(value ? value : L"", ::SysStringLen(value));
    return S_OK;
}

HRESULT RecordedError::put_EntryName(BSTR value) { return Set(L"EntryName", entryName, value); }
HRESULT RecordedError::get_EntryName(BSTR* value) { return kv::CopyToBstr(entryName, value); }
HRESULT RecordedError::put_KindLabel(BSTR value) { return Set(L"KindLabel", kindLabel, value); }
HRESULT RecordedError::get_KindLabel(BSTR* value) { return kv::CopyToBstr(kindLabel, value); }

FindingText ReadFinding(_KVStError* error) {
    if (error == nullptr) return {L"(no object)", L"(no object)"};
    kv::Bstr name, label;
    if (FAILED(error->get_EntryName(&name)) || FAILED(error->get_KindLabel(&label)))
        return {L"(unreadable)", L"(unreadable)"};
    return {name.str(), label.str()};
}

HRESULT ErrorClassDouble::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    KV_RETURN_IF_NULL(object);
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (failuresLeft > 0) {
        --failuresLeft;
        return failure;
    }
    kv::ComPtr<RecordedError> error = kv::MakeObject<RecordedError>(setterResult);
    KV_RETURN_IF_FAILED(error->QueryInterface(iid, object));
    ++created;
    last = error.Get();
    return S_OK;
}

HRESULT ErrorClassDouble::LockServer(BOOL lock) {
    ++lockCalls;
    locks += lock ? 1 : -1;
    return S_OK;
}

ErrorClassRegistration::ErrorClassRegistration(IUnknown* classObject) {
    if (FAILED(::CoRegisterClassObject(CLSID_KVStError, classObject, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                       &cookie_)))
        throw std::runtime_error("cannot register the error class double");
}

ErrorClassRegistration::~ErrorClassRegistration() { ::CoRevokeClassObject(cookie_); }

}  // namespace audittest
