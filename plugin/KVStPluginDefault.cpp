#include "KVStPluginDefault.h"

#include "audit/Snapshot.h"
#include "com/Bstr.h"
#include "com/Module.h"
#include "com/TypeInfo.h"
#include "standards/FileSearch.h"
#include "standards/StandardLoader.h"
#include "standards/clsIniFuncs.h"
#include "vocabulary/Module.h"

namespace plugin {
namespace {

constexpr wchar_t kName[] = L"默认标准检查插件";
constexpr wchar_t kVersion[] = L"1.0";
constexpr wchar_t kDescription[] = L"Default VB6 Plugin";
constexpr wchar_t kAuthor[] = L"Marlen, Inc.";
constexpr wchar_t kHRef[] = L"https://plugins.example.com/kvst/default/";
constexpr LONG kIcon = 2;

}  // namespace

KVStPluginDefault::KVStPluginDefault() = default;
KVStPluginDefault::~KVStPluginDefault() = default;

HRESULT KVStPluginDefault::Create(REFIID iid, void** object) noexcept {
    KV_RETURN_IF_NULL(object);
    *object = nullptr;
    return kv::Barrier([&] {
        kv::ComPtr<KVStPluginDefault> plugin = kv::Adopt(new KVStPluginDefault());
        // The cursor starts at the first name by construction; only the standard file is looked up.
        KV_RETURN_IF_FAILED(plugin->LocateStandardFile());
        return plugin->QueryInterface(iid, object);
    });
}

HRESULT KVStPluginDefault::LocateStandardFile() {
    std::wstring folder;
    KV_RETURN_IF_FAILED(kv::module::Folder(folder));
    StdFilePath = folder + L"\\" + kStandardFileName;
    bool found = false;
    KV_RETURN_IF_FAILED(standards::FindEntry(StdFilePath, standards::SearchMask::NormalFiles, found));
    if (!found) StdFilePath.clear();
    return S_OK;
}

bool KVStPluginDefault::LoadStandardFile(const std::wstring& path) noexcept {
    return standards::Apply(standards::LoadStandardFile(path, IniFuncs),
                            {CheckFilter, {&StdLayerNames, &StdLinetypeNames, &StdTextStyleNames, &StdDimStyleNames}});
}

// The host recognises a plug-in by comparing this property with the ProgID that the earlier "6"
// build of this project registered, so it keeps that word; the class itself is registered, and
// created, under the "7" ProgID (server/Server.cpp), which the host never reads from here.
HRESULT KVStPluginDefault::get_ProgID(BSTR* value) { return kv::CopyToBstr(vocabulary::kAnsweredProgId, value); }
HRESULT KVStPluginDefault::get_Name(BSTR* value) { return kv::CopyToBstr(kName, value); }
HRESULT KVStPluginDefault::get_Version(BSTR* value) { return kv::CopyToBstr(kVersion, value); }
HRESULT KVStPluginDefault::get_Description(BSTR* value) { return kv::CopyToBstr(kDescription, value); }
HRESULT KVStPluginDefault::get_Author(BSTR* value) { return kv::CopyToBstr(kAuthor, value); }
HRESULT KVStPluginDefault::get_HRef(BSTR* value) { return kv::CopyToBstr(kHRef, value); }

HRESULT KVStPluginDefault::get_Icon(LONG* value) {
    KV_RETURN_IF_NULL(value);
    *value = kIcon;
    return S_OK;
}

HRESULT KVStPluginDefault::get_Path(BSTR* value) {
    KV_RETURN_IF_NULL(value);
    *value = nullptr;
    return kv::Barrier([&] {
        std::wstring folder;
        KV_RETURN_IF_FAILED(kv::module::Folder(folder));
        return kv::CopyToBstr(folder, value);
    });
}

HRESULT KVStPluginDefault::get_StandardFiles(VARIANT* value) {
    KV_RETURN_IF_NULL(value);
    ::VariantInit(value);
    return kv::Barrier([&] {
        kv::SafeArray files = kv::SafeArray::Vector(VT_VARIANT, 1);
        kv::PutElement(files.get(), 0, kv::Variant::FromString(kStandardFileName));
        kv::Variant::FromArray(std::move(files)).DetachTo(value);
        return S_OK;
    });
}

HRESULT KVStPluginDefault::GetCheckFilter(VARIANT* value) {
    KV_RETURN_IF_NULL(value);
    ::VariantInit(value);
    if (CheckFilter.empty()) return S_OK;
    try {
        // Element i holds the type name of section i + 1, or stays Empty where loading stopped.
        kv::SafeArray filter = kv::SafeArray::Vector(VT_VARIANT, static_cast<ULONG>(CheckFilter.size()));
        for (std::size_t index = 0; index < CheckFilter.size(); ++index)
            if (CheckFilter[index])
                kv::PutElement(filter.get(), static_cast<LONG>(index), kv::Variant::FromString(*CheckFilter[index]));
        kv::Variant::FromArray(std::move(filter)).DetachTo(value);
    } catch (...) {
        // An array that cannot be built leaves the result Empty; the call still succeeds.
        ::VariantInit(value);
    }
    return S_OK;
}

HRESULT KVStPluginDefault::SetupForAudit(IDispatch* chkDb, BSTR chkPathName) {
    if (chkDb == nullptr) return S_OK;
    return kv::Barrier([&] {
        CheckDb = chkDb;
        CheckPathName = kv::ViewOf(chkPathName);
        // Every audit starts as on a new object: nothing of an earlier drawing or load survives.
        AuditCursor = {};
        CurrentError.Reset();
        standards::TypeNames().swap(CheckFilter);
        EraseNameLists();
        if (StdFilePath.empty()) KV_RETURN_IF_FAILED(LocateStandardFile());
        if (!LoadStandardFile(StdFilePath)) return S_OK;
        StdNameIndex.Build({&StdLayerNames, &StdLinetypeNames, &StdTextStyleNames, &StdDimStyleNames});
        if (audit::NamesFirstType(CheckFilter))
            audit::SnapshotDrawing(*CheckDb.Get(),
                                   {&DbLayerNames, &DbLinetypeNames, &DbTextStyleNames, &DbDimStyleNames});
        return S_OK;
    });
}

HRESULT KVStPluginDefault::CheckNext(VARIANT_BOOL* value) {
    KV_RETURN_IF_NULL(value);
    *value = VARIANT_FALSE;
    // An object already handed to the host is never written again: each call makes a new one.
    CurrentError.Reset();
    kv::ComPtr<_KVStError> error;
    KV_RETURN_IF_FAILED(ErrorObjects.Create(error));
    const auto finding = audit::NextFinding(
        AuditCursor, {&DbLayerNames, &DbLinetypeNames, &DbTextStyleNames, &DbDimStyleNames}, StdNameIndex);
    if (!finding) return S_OK;
    audit::Describe(*error.Get(), *finding);
    CurrentError = std::move(error);
    *value = VARIANT_TRUE;
    return S_OK;
}

HRESULT KVStPluginDefault::GetError(_KVStError** value) {
    KV_RETURN_IF_NULL(value);
    return CurrentError.CopyTo(value);
}

HRESULT KVStPluginDefault::Clear() {
    CheckDb.Reset();
    CurrentError.Reset();
    CheckPathName.clear();
    StdFilePath.clear();
    standards::TypeNames().swap(CheckFilter);
    EraseNameLists();
    return S_OK;
}

void KVStPluginDefault::EraseNameLists() noexcept {
    for (standards::NameList* list : {&DbLayerNames, &DbLinetypeNames, &DbDimStyleNames, &DbTextStyleNames})
        standards::NameList().swap(*list);
    for (standards::NameView* list : {&StdLayerNames, &StdLinetypeNames, &StdDimStyleNames, &StdTextStyleNames})
        *list = {};
    StdNameIndex.Clear();
}

}  // namespace plugin

namespace kv {

using plugin::KVStPluginDefault;

template <>
const DispatchTable& DispatchTableOf<IKVStPlugin>() noexcept {
    static constexpr DispatchMember members[] = {
        Member<&IKVStPlugin::get_ProgID>(0x68030008, L"ProgID", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_Name>(0x68030007, L"Name", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_Version>(0x68030006, L"Version", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_Description>(0x68030005, L"Description", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_Author>(0x68030004, L"Author", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_HRef>(0x68030003, L"HRef", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_Icon>(0x68030002, L"Icon", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_Path>(0x68030001, L"Path", MemberKind::PropertyGet),
        Member<&IKVStPlugin::get_StandardFiles>(0x68030000, L"StandardFiles", MemberKind::PropertyGet),
        Member<&IKVStPlugin::GetCheckFilter>(0x60030009, L"GetCheckFilter", MemberKind::Method),
        Member<&IKVStPlugin::SetupForAudit>(0x6003000A, L"SetupForAudit", MemberKind::Method),
        Member<&IKVStPlugin::CheckNext>(0x6003000B, L"CheckNext", MemberKind::Method),
        Member<&IKVStPlugin::GetError>(0x6003000C, L"GetError", MemberKind::Method),
        Member<&IKVStPlugin::Clear>(0x6003000D, L"Clear", MemberKind::Method),
    };
    // The host's interface is described by the host library, once that is registered.
    static constexpr DispatchTable table(members, &TypeInfoFromRegistered<IKVStPlugin, LIBID_KVStMgr, 95, 0>);
    return table;
}

template <>
const DispatchTable& DispatchTableOf<_KVStPluginDefault>() noexcept {
    using I = _KVStPluginDefault;
    static constexpr DispatchMember members[] = {
        Member<&I::IKVStPlugin_GetCheckFilter>(0x6003000B, L"IKVStPlugin_GetCheckFilter", MemberKind::Method),
        Member<&I::IKVStPlugin_SetupForAudit>(0x6003000C, L"IKVStPlugin_SetupForAudit", MemberKind::Method),
        Member<&I::IKVStPlugin_CheckNext>(0x6003000D, L"IKVStPlugin_CheckNext", MemberKind::Method),
        Member<&I::IKVStPlugin_GetError>(0x6003000F, L"IKVStPlugin_GetError", MemberKind::Method),
        Member<&I::IKVStPlugin_Clear>(0x60030010, L"IKVStPlugin_Clear", MemberKind::Method),
        Member<&I::get_IKVStPlugin_Name>(0x68030007, L"IKVStPlugin_Name", MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_Path>(0x68030006, L"IKVStPlugin_Path", MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_Version>(0x68030005, L"IKVStPlugin_Version", MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_Description>(0x68030004, L"IKVStPlugin_Description", MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_StandardFiles>(0x68030003, L"IKVStPlugin_StandardFiles",
                                                  MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_Author>(0x68030002, L"IKVStPlugin_Author", MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_HRef>(0x68030001, L"IKVStPlugin_HRef", MemberKind::PropertyGet),
        Member<&I::get_IKVStPlugin_Icon>(0x68030000, L"IKVStPlugin_Icon", MemberKind::PropertyGet),
    };
    static constexpr DispatchTable table(members, &TypeInfoFromModule<_KVStPluginDefault>);
    return table;
}

}  // namespace kv
