// What KVStMgr.dll serves and registers: the class KVStError. Registering also registers the
// host type library, and with it IKVStPlugin and _KVStError, which the plug-in's library imports.
#include "KVStError.h"
#include "com/InprocServer.h"

namespace {

const kv::server::ClassEntry kClasses[] = {
    {&CLSID_KVStError, &kvstmgr::KVStError::Create, L"KVStError", L"KVStMgr.KVStError"},
};

}  // namespace

std::span<const kv::server::ClassEntry> kv::server::ServedClasses() noexcept { return kClasses; }

const kv::server::ThreadState* kv::server::ModuleThreadState() noexcept { return nullptr; }
