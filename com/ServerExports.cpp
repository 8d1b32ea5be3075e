// The entry point and the four exports of an in-process server module, compiled into each
// module; the module's own ServedClasses() says what it serves and registers.
#include <windows.h>
#include <ole2.h>

#include "InprocServer.h"
#include "Module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
    const kv::server::ThreadState* threads = kv::server::ModuleThreadState();
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        kv::module::RecordHandle(instance);
        // A module whose thread state cannot start still serves, without it.
        if (threads != nullptr)
            threads->start();
        else
            ::DisableThreadLibraryCalls(instance);
        break;
    case DLL_THREAD_DETACH:
        if (threads != nullptr) threads->endThread();
        break;
    case DLL_PROCESS_DETACH:
        // A reserved pointer: the process is ending, not the module being unloaded.
        if (threads != nullptr) threads->stop(reserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** factory) {
    return kv::server::GetClassObject(kv::server::ServedClasses(), clsid, iid, factory);
}

STDAPI DllCanUnloadNow() { return kv::server::CanUnloadNow(); }

STDAPI DllRegisterServer() { return kv::server::Register(kv::server::ServedClasses()); }

STDAPI DllUnregisterServer() { return kv::server::Unregister(kv::server::ServedClasses()); }
