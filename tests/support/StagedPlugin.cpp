#include "StagedPlugin.h"

#include <gtest/gtest.h>


namespace kvtest {
std::wstring BuildTreePath(std::string_view unixPath) {
    const std::wstring drivePath = L"Z:" + Wide(unixPath);
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(drivePath.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error("build tree path too long");
    return full;
}

std::wstring BuiltPluginModule() { return BuildTreePath(KV_PLUGIN_DLL); }
std::wstring BuiltHostModule() { return BuildTreePath(KV_HOST_DLL); }

StagedPlugin::StagedPlugin() { Load(std::nullopt); }
StagedPlugin::StagedPlugin(std::string_view standardFile) { Load(standardFile); }

void StagedPlugin::Load(std::optional<std::string_view> standardFile) {
    modulePath_ = folder_ / L"KVStVB7Default.dll";
    if (!::CopyFileW(BuiltPluginModule().c_str(), modulePath_.c_str(), TRUE))
        throw std::runtime_error("cannot copy KVStVB7Default.dll");
    if (standardFile) WriteFileBytes(folder_ / L"KVStPluginDefault.ini", *standardFile);
    module_.reset(::LoadLibraryW(modulePath_.c_str()));
    if (!module_) throw std::runtime_error("cannot load the staged KVStVB7Default.dll");
}

StagedPlugin::~StagedPlugin() { Unload(); }

void StagedPlugin::Unload() {
    if (!module_) return;
    // Unloading under a live object would leave it without code; keep the module instead.
    if (CanUnloadNow() != S_OK) {
        ADD_FAILURE() << "objects of the staged plug-in are still alive";
        module_.release();
    }
    module_.reset();
}

HRESULT StagedPlugin::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const {
    return ExportOf<GetClassObjectFunction>(module_.get(), "DllGetClassObject")(clsid, iid, object);
}

HRESULT StagedPlugin::CanUnloadNow() const { return ExportOf<ServerFunction>(module_.get(), "DllCanUnloadNow")(); }
HRESULT StagedPlugin::Register() const { return ExportOf<ServerFunction>(module_.get(), "DllRegisterServer")(); }
HRESULT StagedPlugin::Unregister() const { return ExportOf<ServerFunction>(module_.get(), "DllUnregisterServer")(); }

HRESULT StagedPlugin::CreateInstance(REFIID iid, void** object) const {
    KV_RETURN_IF_NULL(object);
    *object = nullptr;
    kv::ComPtr<IClassFactory> factory;
    KV_RETURN_IF_FAILED(GetClassObject(CLSID_KVStPluginDefault, IID_PPV_ARGS(&factory)));
    return factory->CreateInstance(nullptr, iid, object);
}

kv::ComPtr<IKVStPlugin> StagedPlugin::Create() const {
    kv::ComPtr<IKVStPlugin> plugin;
    const HRESULT hr = CreateInstance(IID_PPV_ARGS(&plugin));
    if (FAILED(hr)) throw std::runtime_error("the staged plug-in did not create an object: " + std::to_string(hr));
    return plugin;
}

}  // namespace kvtest
