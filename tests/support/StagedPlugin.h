#pragma once
// A private copy of KVStVB7Default.dll in a fresh temporary folder, optionally with a standard
// file KVStPluginDefault.ini beside it, loaded with LoadLibrary and driven through its own
// exports, as COM would drive it; no registration is needed. Objects made through it must all
// be released before it goes (it checks, and keeps the module loaded if they are not).
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "KVStVB7Default.h"
#include "com/ComObject.h"
#include "com/Handle.h"
#include "support/TempFolder.h"

namespace kvtest {

// A file of the build tree, given as a Unix path by the build, as Windows programs see it.
std::wstring BuildTreePath(std::string_view unixPath);
// The build tree's KVStVB7Default.dll and KVStMgr.dll.
std::wstring BuiltPluginModule();
std::wstring BuiltHostModule();

// The signatures of the four exports of an in-process server.
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using ServerFunction = HRESULT(STDAPICALLTYPE*)();

// A function exported by module; throws std::runtime_error when the module lacks it.
template <class Function>
Function ExportOf(HMODULE module, const char* name) {
    FARPROC function = ::GetProcAddress(module, name);
    if (function == nullptr) throw std::runtime_error(std::string("the module does not export ") + name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(function));
}

class StagedPlugin {
public:
    StagedPlugin();
    // standardFile: the bytes of KVStPluginDefault.ini, written beside the copy.
    explicit StagedPlugin(std::string_view standardFile);
    StagedPlugin(const StagedPlugin&) = delete;
    StagedPlugin& operator=(const StagedPlugin&) = delete;
    ~StagedPlugin();

    const std::wstring& folder() const noexcept { return folder_.path(); }
    const std::wstring& modulePath() const noexcept { return modulePath_; }
    HMODULE module() const noexcept { return module_.get(); }

    // Frees the module now, as the destructor would; its exports and objects are gone after it.
    void Unload();

    // The copy's four exports.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;

    // A new object through the copy's class factory, in the requested interface.
    HRESULT CreateInstance(REFIID iid, void** object) const;
    // The same for IKVStPlugin; throws std::runtime_error when creation fails.
    kv::ComPtr<IKVStPlugin> Create() const;

private:
    void Load(std::optional<std::string_view> standardFile);

    TempFolder folder_;
    std::wstring modulePath_;
    kv::LoadedModule module_;
};

}  // namespace kvtest
