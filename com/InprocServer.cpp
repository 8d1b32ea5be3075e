#include "InprocServer.h"

#include <unknwn.h>

#include "ComObject.h"
#include "Module.h"

namespace kv::server {
namespace {

// Serves one class. A factory counts as a live object of the module, so that the module stays
// loaded while a client holds one even without LockServer.
class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(Creator create) noexcept : create_(create) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        KV_RETURN_IF_NULL(object);
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (!lock) return module::Unlock() ? S_OK : E_UNEXPECTED;
        module::Lock();
        return S_OK;
    }

private:
    Creator create_;
};

}  // namespace

HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** factory) noexcept {
    KV_RETURN_IF_NULL(factory);
    *factory = nullptr;
    for (const ClassEntry& entry : classes) {
        if (::IsEqualCLSID(*entry.clsid, clsid))
            return Barrier([&] { return MakeObject<ClassFactory>(entry.create)->QueryInterface(iid, factory); });
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() noexcept { return module::CanUnload() ? S_OK : S_FALSE; }

}  // namespace kv::server
