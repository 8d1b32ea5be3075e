// The entry point and the four exports of an in-process server module, compiled into each
// module; the module's own ServedClasses() says what it serves and registers.
#include <windows.h>
#include <ole2.h>

#include "InprocServer.h"
#include "Module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        kv::module::RecordHandle(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** factory) {
    return kv::server::GetClassObject(kv::server::ServedClasses(), clsid, iid, factory);
}

STDAPI DllCanUnloadNow() { return kv::server::CanUnloadNow(); }

STDAPI DllRegisterServer() { return kv::server::Register(kv::server::ServedClasses()); }

STDAPI DllUnregisterServer() { return kv::server::Unregister(kv::server::ServedClasses()); }
