// What KVStVB7Default.dll serves and registers: the class KVStPluginDefault.
#include "com/InprocServer.h"
#include "plugin/KVStPluginDefault.h"

namespace {

const kv::server::ClassEntry kClasses[] = {
    {&CLSID_KVStPluginDefault, &plugin::KVStPluginDefault::Create, L"KVStPluginDefault",
     L"KVStVB7Default.KVStPluginDefault"},
};

}  // namespace

std::span<const kv::server::ClassEntry> kv::server::ServedClasses() noexcept { return kClasses; }
