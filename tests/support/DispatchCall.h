#pragma once
// Late-bound calls as an automation client makes them, for tests.
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "com/Variant.h"

namespace kvtest {

struct CallResult {
    HRESULT hr = E_FAIL;
    kv::Variant value;
    UINT argError = ~0u;
};

// Invokes id with the arguments in call order (first argument first).
CallResult Call(IDispatch* target, DISPID id, WORD flags, std::initializer_list<kv::Variant> arguments = {});
CallResult PropertyGet(IDispatch* target, DISPID id);
CallResult PropertyPut(IDispatch* target, DISPID id, const kv::Variant& value);
// Looks a member up by name; DISPID_UNKNOWN when the object does not answer it.
DISPID IdOfName(IDispatch* target, const std::wstring& name);

kv::Variant Str(const std::wstring& text);
kv::Variant Long(LONG value);
kv::Variant Object(IDispatch* object);  // holds its own reference

ULONG RefCount(IUnknown* object);  // the count after an AddRef/Release pair

}  // namespace kvtest
