#include "ErrorObjects.h"

#include <string_view>

#include "com/Bstr.h"

namespace audit {
namespace {

void SetText(_KVStError& error, HRESULT (STDMETHODCALLTYPE _KVStError::*setter)(BSTR),
             std::wstring_view text) noexcept {
    kv::Bstr value;
    if (FAILED(kv::CopyToBstr(text, &value))) return;
    (error.*setter)(value.get());
}

}  // namespace

ErrorFactory::~ErrorFactory() {
    if (factory_) factory_->LockServer(FALSE);
}

HRESULT ErrorFactory::Create(kv::ComPtr<_KVStError>& error) noexcept {
    error.Reset();
    if (!factory_) {
        kv::ComPtr<IClassFactory> factory;
        KV_RETURN_IF_FAILED(::CoGetClassObject(CLSID_KVStError, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr,
                                               IID_PPV_ARGS(&factory)));
        // The lock keeps the class's server loaded for as long as the factory is kept.
        KV_RETURN_IF_FAILED(factory->LockServer(TRUE));
        factory_ = std::move(factory);
    }
    KV_RETURN_IF_FAILED(factory_->CreateInstance(nullptr, IID_PPV_ARGS(&error)));
    return error ? S_OK : E_NOINTERFACE;
}

void Describe(_KVStError& error, const Finding& finding) noexcept {
    SetText(error, &_KVStError::put_EntryName, *finding.name);
    SetText(error, &_KVStError::put_KindLabel, NamesOf(finding.kind).label);
}

}  // namespace audit
