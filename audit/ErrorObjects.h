#pragma once
// The host's error objects: one new object of the registered class per call, made through the
// class object, which is obtained once and then kept (asking the platform per object costs far more).
#include "KVStMgr.h"
#include "Walk.h"
#include "com/ComObject.h"

namespace audit {

class ErrorFactory {
public:
    ErrorFactory() = default;
    ErrorFactory(const ErrorFactory&) = delete;
    ErrorFactory& operator=(const ErrorFactory&) = delete;
    ~ErrorFactory();

    // A new error object in error. When the class object cannot be obtained, the next call tries
    // again.
    HRESULT Create(kv::ComPtr<_KVStError>& error) noexcept;

private:
    kv::ComPtr<IClassFactory> factory_;  // locked for as long as it is kept
};

// Sets EntryName, then KindLabel. A setter that fails leaves its property as the object had it.
void Describe(_KVStError& error, const Finding& finding) noexcept;

}  // namespace audit
