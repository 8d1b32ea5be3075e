// A plug-in module whose objects fault as they are made, as a broken plug-in may: the end-to-end tests
// audit through it to see how kvstcheck ends.
#include <cstdint>

#include "com/InprocServer.h"
#include "KVStVB7Default.h"

namespace {

HRESULT Fault(REFIID, void** object) {
    // An address the compiler cannot see, so that the write is made and faults here, in this module.
    volatile std::uintptr_t unmapped = 8;
    *reinterpret_cast<volatile int*>(unmapped) = 0;
    *object = nullptr;
    return E_UNEXPECTED;
}

const kv::server::ClassEntry kClasses[] = {
    {&CLSID_KVStPluginDefault, &Fault, L"KVStPluginDefault", L"KVStVB7Default.KVStPluginDefault"},
};

}  // namespace

std::span<const kv::server::ClassEntry> kv::server::ServedClasses() noexcept { return kClasses; }

const kv::server::ThreadState* kv::server::ModuleThreadState() noexcept { return nullptr; }
