// What KVStVB7Default.dll serves and registers: the class KVStPluginDefault.
#include "com/InprocServer.h"
#include "plugin/KVStPluginDefault.h"
#include "standards/ThreadImageCache.h"
#include "vocabulary/Module.h"

namespace {

const kv::server::ClassEntry kClasses[] = {
    {&CLSID_KVStPluginDefault, &plugin::KVStPluginDefault::Create, vocabulary::kClassName,
     vocabulary::kRegisteredProgId},
};

// Each thread keeps the last standard file image it made, for the next load of the same bytes.
const kv::server::ThreadState kThreadState = {
    &standards::thread_image_cache::Start,
    &standards::thread_image_cache::EndThread,
    &standards::thread_image_cache::Stop,
};

}  // namespace

std::span<const kv::server::ClassEntry> kv::server::ServedClasses() noexcept { return kClasses; }

const kv::server::ThreadState* kv::server::ModuleThreadState() noexcept { return &kThreadState; }
