#pragma once
// The plug-in object: the class that the standards manager creates and drives through IKVStPlugin.
#include <memory>
#include <string>

#include "KVStVB7Default.h"
#include "vocabulary/Module.h"
#include "audit/ErrorObjects.h"
#include "audit/Walk.h"
#include "com/ComObject.h"
#include "com/Dispatch.h"
#include "com/Variant.h"
#include "standards/NameList.h"
#include "standards/NameStore.h"
#include "standards/StandardLoad.h"

namespace standards {
class clsIniFuncs;
}

namespace kv {
template <>
const DispatchTable& DispatchTableOf<_KVStPluginDefault>() noexcept;
template <>
const DispatchTable& DispatchTableOf<IKVStPlugin>() noexcept;
}  // namespace kv

namespace plugin {

using vocabulary::kStandardFileName;

class KVStPluginDefault final
    : public kv::ComObject<kv::DispatchFor<_KVStPluginDefault>, kv::DispatchFor<IKVStPlugin>> {
public:
    // Makes an initialized object and returns it in the requested interface; an initialization
    // that fails hands back no object.
    static HRESULT Create(REFIID iid, void** object) noexcept;

    // IKVStPlugin
    HRESULT STDMETHODCALLTYPE get_ProgID(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Author(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_HRef(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Icon(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Path(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_StandardFiles(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetCheckFilter(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE SetupForAudit(IDispatch* chkDb, BSTR chkPathName) override;
    HRESULT STDMETHODCALLTYPE CheckNext(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE GetError(_KVStError** value) override;
    HRESULT STDMETHODCALLTYPE Clear() override;

    // _KVStPluginDefault: the same operations under the class's own interface.
    HRESULT STDMETHODCALLTYPE IKVStPlugin_GetCheckFilter(VARIANT* value) override { return GetCheckFilter(value); }
    HRESULT STDMETHODCALLTYPE IKVStPlugin_SetupForAudit(IDispatch* chkDb, BSTR chkPathName) override {
        return SetupForAudit(chkDb, chkPathName);
    }
    HRESULT STDMETHODCALLTYPE IKVStPlugin_CheckNext(VARIANT_BOOL* value) override { return CheckNext(value); }
    HRESULT STDMETHODCALLTYPE IKVStPlugin_GetError(_KVStError** value) override { return GetError(value); }
    HRESULT STDMETHODCALLTYPE IKVStPlugin_Clear() override { return Clear(); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_Name(BSTR* value) override { return get_Name(value); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_Path(BSTR* value) override { return get_Path(value); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_Version(BSTR* value) override { return get_Version(value); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_Description(BSTR* value) override { return get_Description(value); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_StandardFiles(VARIANT* value) override {
        return get_StandardFiles(value);
    }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_Author(BSTR* value) override { return get_Author(value); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_HRef(BSTR* value) override { return get_HRef(value); }
    HRESULT STDMETHODCALLTYPE get_IKVStPlugin_Icon(LONG* value) override { return get_Icon(value); }

private:
    // Tests read the members through this seam; it is not part of any COM interface.
    friend struct PluginInternals;

    KVStPluginDefault();
    ~KVStPluginDefault() override;
    // Sets StdFilePath to the standard file beside the module, or empty when there is none.
    HRESULT LocateStandardFile();
    // Erases the eight name lists and the index of the standard ones.
    void EraseNameLists() noexcept;
    bool LoadStandardFile(const std::wstring& path) noexcept;

    // Members, in declaration order.
    std::unique_ptr<standards::clsIniFuncs> IniFuncs;
    kv::ComPtr<IDispatch> CheckDb;
    std::wstring CheckPathName;
    std::wstring StdFilePath;
    // The type names; the host's array of variants is built from them when it asks.
    standards::TypeNames CheckFilter;
    kv::ComPtr<_KVStError> CurrentError;
    standards::NameList DbLayerNames;
    standards::NameList DbLinetypeNames;
    standards::NameList DbDimStyleNames;
    standards::NameList DbTextStyleNames;
    // Views into their load's pooled store.
    standards::NameView StdLayerNames;
    standards::NameView StdLinetypeNames;
    standards::NameView StdDimStyleNames;
    standards::NameView StdTextStyleNames;
    audit::Cursor AuditCursor;

    // Beside the members: the standard lists hashed for lookups, and the host's error class.
    audit::StandardIndex StdNameIndex;
    audit::ErrorFactory ErrorObjects;
};

}  // namespace plugin
