#pragma once
// A stand-in for the host's error class, registered in the test's apartment: it counts the
// objects it makes, records what the plug-in sets on them, and fails on request.
#include <string>
#include <vector>

#include "KVStMgr.h"
#include "com/ComObject.h"

namespace audittest {

class RecordedError : public kv::ComObject<_KVStError> {
public:
    explicit RecordedError(HRESULT setterResult) noexcept : setterResult_(setterResult) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    HRESULT STDMETHODCALLTYPE put_EntryName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_EntryName(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_KindLabel(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_KindLabel(BSTR* value) override;

    std::wstring entryName = L"(unset)";
    std::wstring kindLabel = L"(unset)";
    std::vector<std::wstring> setters;  // property names, in the order they were set

private:
    HRESULT Set(const wchar_t* property, std::wstring& field, BSTR value);

    HRESULT setterResult_;
};

// Reads a finding's two values from any _KVStError through its getters.
struct FindingText {
    std::wstring entryName;
    std::wstring kindLabel;
    bool operator==(const FindingText&) const = default;
};
FindingText ReadFinding(_KVStError* error);

class ErrorClassDouble : public kv::ComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    int created = 0;
    int locks = 0;
    int lockCalls = 0;
    int failuresLeft = 0;             // the next creations that fail with failure
    HRESULT failure = E_OUTOFMEMORY;
    HRESULT setterResult = S_OK;      // what the setters of new objects answer
    RecordedError* last = nullptr;    // the latest object made (not owned)
};

// Registers a class object as the host's error class in this apartment for the life of the scope.
class ErrorClassRegistration {
public:
    explicit ErrorClassRegistration(IUnknown* classObject);
    ErrorClassRegistration(const ErrorClassRegistration&) = delete;
    ErrorClassRegistration& operator=(const ErrorClassRegistration&) = delete;
    ~ErrorClassRegistration();

private:
    DWORD cookie_ = 0;
};

}  // namespace audittest
