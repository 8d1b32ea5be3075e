// The plug-in object: its descriptive properties, its life cycle and its two dual interfaces.
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "com/Module.h"
#include "support/DispatchCall.h"
#include "support/TempFolder.h"
#include "tests/audit/HostErrorDouble.h"
#include "tests/plugin/PluginInternals.h"

namespace {

using plugin::PluginInternals;

kv::ComPtr<IKVStPlugin> NewPlugin() {
    kv::ComPtr<IKVStPlugin> object;
    EXPECT_EQ(plugin::KVStPluginDefault::Create(IID_PPV_ARGS(&object)), S_OK);
    return object;
}

std::wstring ModuleFolder() {
    std::wstring folder;
    EXPECT_EQ(kv::module::Folder(folder), S_OK);
    return folder;
}

std::wstring StandardFileBesideModule() { return ModuleFolder() + L"\\KVStPluginDefault.ini"; }

// The single string element of a one-element VT_ARRAY|VT_VARIANT value.
std::wstring OnlyString(const kv::Variant& value) {
    EXPECT_EQ(value.type(), VT_ARRAY | VT_VARIANT);
    if (value.type() != (VT_ARRAY | VT_VARIANT)) return L"<not an array>";
    SAFEARRAY* array = value.get().parray;
    LONG lower = -1, upper = -1;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(::SafeArrayGetDim(array), 1u);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 0);
    kv::Variant element;
    LONG index = 0;
    EXPECT_EQ(::SafeArrayGetElement(array, &index, &element), S_OK);
    EXPECT_EQ(element.type(), VT_BSTR);
    return element.type() == VT_BSTR ? std::wstring(element.get().bstrVal) : L"";
}

TEST(PluginPropertiesTest, DescriptiveValuesThroughTheHostInterface) {
    auto plugin = NewPlugin();
    struct Case {
        HRESULT (STDMETHODCALLTYPE IKVStPlugin::*get)(BSTR*);
        std::wstring expected;
    } cases[] = {
        {&IKVStPlugin::get_ProgID, L"KVStVB6Default.KVStPluginDefault"},
        {&IKVStPlugin::get_Name, L"默认标准检查插件"},
        {&IKVStPlugin::get_Version, L"1.0"},
        {&IKVStPlugin::get_Description, L"Default VB6 Plugin"},
        {&IKVStPlugin::get_Author, L"Marlen, Inc."},
        {&IKVStPlugin::get_Path, ModuleFolder()},
    };
    for (const Case& c : cases) {
        kv::Bstr value;
        ASSERT_EQ((plugin.Get()->*c.get)(&value), S_OK);
        EXPECT_EQ(value.view(), c.expected) << kvtest::Utf8(c.expected);
    }
    kv::Bstr href;
    ASSERT_EQ(plugin->get_HRef(&href), S_OK);
    EXPECT_EQ(href.view().substr(0, 8), L"https://");
    EXPECT_NE(href.view().find(L".example.com/"), std::wstring_view::npos);
    LONG icon = 0;
    ASSERT_EQ(plugin->get_Icon(&icon), S_OK);
    EXPECT_EQ(icon, 2);
}

TEST(PluginPropertiesTest, StandardFilesIsTheBareFileNameWhetherOrNotItExists) {
    auto plugin = NewPlugin();
    kv::Variant files;
    ASSERT_EQ(plugin->get_StandardFiles(&files), S_OK);
    EXPECT_EQ(OnlyString(files), L"KVStPluginDefault.ini");
    EXPECT_TRUE(PluginInternals::StdFilePath(plugin.Get()).empty());
}

TEST(PluginPropertiesTest, NullOutParametersAreRefused) {
    auto plugin = NewPlugin();
    EXPECT_EQ(plugin->get_ProgID(nullptr), E_POINTER);
    EXPECT_EQ(plugin->get_Path(nullptr), E_POINTER);
    EXPECT_EQ(plugin->get_Icon(nullptr), E_POINTER);
    EXPECT_EQ(plugin->get_StandardFiles(nullptr), E_POINTER);
    EXPECT_EQ(plugin->GetCheckFilter(nullptr), E_POINTER);
    EXPECT_EQ(plugin->CheckNext(nullptr), E_POINTER);
    EXPECT_EQ(plugin->GetError(nullptr), E_POINTER);
}

TEST(PluginLifeCycleTest, FreshObjectHasNoErrorAndNoFilter) {
    auto plugin = NewPlugin();
    _KVStError* error = reinterpret_cast<_KVStError*>(1);
    ASSERT_EQ(plugin->GetError(&error), S_OK);
    EXPECT_EQ(error, nullptr);
    kv::Variant filter;
    ASSERT_EQ(plugin->GetCheckFilter(&filter), S_OK);
    EXPECT_EQ(filter.type(), VT_EMPTY);
    EXPECT_EQ(PluginInternals::AuditCursor(plugin.Get()), audit::Cursor{});
}

TEST(PluginLifeCycleTest, GetCheckFilterHandsOutADeepCopy) {
    auto plugin = NewPlugin();
    PluginInternals::CheckFilter(plugin.Get()) = {L"AcadLayer", std::nullopt};

    kv::Variant copy;
    ASSERT_EQ(plugin->GetCheckFilter(&copy), S_OK);
    ASSERT_EQ(copy.type(), VT_ARRAY | VT_VARIANT);
    LONG index = 0;
    ASSERT_EQ(::SafeArrayPutElement(copy.get().parray, &index, const_cast<VARIANT*>(&kvtest::Str(L"x").get())), S_OK);
    kv::Variant again;
    ASSERT_EQ(plugin->GetCheckFilter(&again), S_OK);
    ASSERT_EQ(again.type(), VT_ARRAY | VT_VARIANT);
    EXPECT_NE(again.get().parray, copy.get().parray);
    LONG lower = -1, upper = -1;
    ::SafeArrayGetLBound(again.get().parray, 1, &lower);
    ::SafeArrayGetUBound(again.get().parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 1);
    kv::Variant kept, stopped;
    ASSERT_EQ(::SafeArrayGetElement(again.get().parray, &index, &kept), S_OK);
    EXPECT_STREQ(kept.get().bstrVal, L"AcadLayer");
    index = 1;
    ASSERT_EQ(::SafeArrayGetElement(again.get().parray, &index, &stopped), S_OK);
    EXPECT_EQ(stopped.type(), VT_EMPTY) << "a section loading did not reach";
}

TEST(PluginLifeCycleTest, ClearEmptiesTheAuditStateButKeepsTheCursor) {
    auto plugin = NewPlugin();
    PluginInternals::AuditCursor(plugin.Get()) = audit::Cursor{2, 5};
    PluginInternals::CheckFilter(plugin.Get()) = {L"AcadLayer"};
    PluginInternals::FillLists(plugin.Get(), {L"name", L"name", L"name"});
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(plugin->Clear(), S_OK);
        EXPECT_EQ(PluginInternals::AuditCursor(plugin.Get()), (audit::Cursor{2, 5}));
        EXPECT_TRUE(PluginInternals::StdFilePath(plugin.Get()).empty());
        EXPECT_TRUE(PluginInternals::CheckPathName(plugin.Get()).empty());
        EXPECT_TRUE(PluginInternals::CheckFilter(plugin.Get()).empty());
        EXPECT_EQ(PluginInternals::CheckDb(plugin.Get()).Get(), nullptr);
        for (const standards::NameList& list : PluginInternals::Lists(plugin.Get())) EXPECT_TRUE(list.empty());
        kv::Variant filter;
        ASSERT_EQ(plugin->GetCheckFilter(&filter), S_OK);
        EXPECT_EQ(filter.type(), VT_EMPTY);
    }
}

TEST(PluginLifeCycleTest, ObjectIsDestroyedOnItsLastRelease) {
    const LONG before = kv::module::ObjectCount();
    IKVStPlugin* plugin = NewPlugin().Detach();
    EXPECT_EQ(kv::module::ObjectCount(), before + 1);
    kv::ComPtr<IUnknown> unknown;
    kv::ComPtr<_KVStPluginDefault> byDefault;
    ASSERT_EQ(plugin->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
    ASSERT_EQ(plugin->QueryInterface(IID_PPV_ARGS(&byDefault)), S_OK);
    EXPECT_EQ(kvtest::RefCount(plugin), 3u);
    unknown.Reset();
    byDefault.Reset();
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(kv::module::ObjectCount(), before);
}

TEST(PluginLifeCycleTest, InterfacesShareOneIdentityAndIDispatchIsTheDefault) {
    auto plugin = NewPlugin();
    kv::ComPtr<IUnknown> fromHost, fromDefault;
    kv::ComPtr<_KVStPluginDefault> byDefault;
    kv::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(plugin.As(&byDefault), S_OK);
    ASSERT_EQ(plugin.As(&dispatch), S_OK);
    ASSERT_EQ(plugin.As(&fromHost), S_OK);
    ASSERT_EQ(byDefault.As(&fromDefault), S_OK);
    EXPECT_EQ(fromHost.Get(), fromDefault.Get());
    EXPECT_EQ(static_cast<IDispatch*>(byDefault.Get()), dispatch.Get());
    EXPECT_NE(static_cast<IDispatch*>(plugin.Get()), dispatch.Get());
}

// The standard file beside the module decides StdFilePath at creation; each case leaves the
// folder as it found it.
class StandardFilePresenceTest : public ::testing::Test {
protected:
    void TearDown() override {
        const std::wstring path = StandardFileBesideModule();
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        ::RemoveDirectoryW(path.c_str());
    }
    std::wstring path = StandardFileBesideModule();
};

TEST_F(StandardFilePresenceTest, AnOrdinaryFileIsFound) {
    kvtest::WriteFileBytes(path, "[Common]\r\nTypeCount=1\r\n");
    EXPECT_EQ(PluginInternals::StdFilePath(NewPlugin().Get()), path);
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(PluginInternals::StdFilePath(NewPlugin().Get()), path);
}

TEST_F(StandardFilePresenceTest, ADirectoryOfThatNameCountsAsMissing) {
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
    EXPECT_TRUE(PluginInternals::StdFilePath(NewPlugin().Get()).empty());
}

TEST_F(StandardFilePresenceTest, HiddenOrSystemFilesCountAsMissing) {
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        kvtest::WriteFileBytes(path, "[Common]\r\n");
        ::SetFileAttributesW(path.c_str(), attribute);
        if ((::GetFileAttributesW(path.c_str()) & attribute) == 0)
            GTEST_SKIP() << "this file system does not keep the hidden and system attributes";
        EXPECT_TRUE(PluginInternals::StdFilePath(NewPlugin().Get()).empty()) << attribute;
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// Both dual interfaces reach every operation by their own dispatch identifiers.
class PluginDispatchTest : public ::testing::Test {
protected:
    // CheckNext makes one of the host's error objects on every call.
    kv::ComPtr<audittest::ErrorClassDouble> errors = kv::MakeObject<audittest::ErrorClassDouble>();
    audittest::ErrorClassRegistration registration{errors->unknown()};
    kv::ComPtr<IKVStPlugin> plugin = NewPlugin();
    kv::ComPtr<_KVStPluginDefault> byDefault;
    void SetUp() override { ASSERT_EQ(plugin.As(&byDefault), S_OK); }
    IDispatch* host() { return plugin.Get(); }
    IDispatch* own() { return byDefault.Get(); }
};

struct DispatchCase {
    DISPID id;
    const wchar_t* name;
    VARTYPE type;
};

constexpr DispatchCase kHostMembers[] = {
    {0x68030008, L"ProgID", VT_BSTR},         {0x68030007, L"Name", VT_BSTR},
    {0x68030006, L"Version", VT_BSTR},        {0x68030005, L"Description", VT_BSTR},
    {0x68030004, L"Author", VT_BSTR},         {0x68030003, L"HRef", VT_BSTR},
    {0x68030002, L"Icon", VT_I4},             {0x68030001, L"Path", VT_BSTR},
    {0x68030000, L"StandardFiles", VT_ARRAY | VT_VARIANT},
    {0x60030009, L"GetCheckFilter", VT_EMPTY}, {0x6003000B, L"CheckNext", VT_BOOL},
    {0x6003000C, L"GetError", VT_DISPATCH},   {0x6003000D, L"Clear", VT_EMPTY},
};

constexpr DispatchCase kDefaultMembers[] = {
    {0x6003000B, L"IKVStPlugin_GetCheckFilter", VT_EMPTY}, {0x6003000D, L"IKVStPlugin_CheckNext", VT_BOOL},
    {0x6003000F, L"IKVStPlugin_GetError", VT_DISPATCH},    {0x60030010, L"IKVStPlugin_Clear", VT_EMPTY},
    {0x68030007, L"IKVStPlugin_Name", VT_BSTR},            {0x68030006, L"IKVStPlugin_Path", VT_BSTR},
    {0x68030005, L"IKVStPlugin_Version", VT_BSTR},         {0x68030004, L"IKVStPlugin_Description", VT_BSTR},
    {0x68030003, L"IKVStPlugin_StandardFiles", VT_ARRAY | VT_VARIANT},
    {0x68030002, L"IKVStPlugin_Author", VT_BSTR},          {0x68030001, L"IKVStPlugin_HRef", VT_BSTR},
    {0x68030000, L"IKVStPlugin_Icon", VT_I4},
};

void ExpectMembers(IDispatch* dispatch, const DispatchCase* begin, const DispatchCase* end) {
    for (const DispatchCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(kvtest::Utf8(c->name));
        EXPECT_EQ(kvtest::IdOfName(dispatch, c->name), c->id);
        auto result = kvtest::Call(dispatch, c->id, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.value.type(), c->type);
        EXPECT_EQ(kvtest::Call(dispatch, c->id, DISPATCH_METHOD, {kvtest::Long(1), kvtest::Long(2), kvtest::Long(3)}).hr,
                  DISP_E_BADPARAMCOUNT);
    }
}

TEST_F(PluginDispatchTest, HostInterfaceAnswersEveryOperation) {
    ExpectMembers(host(), std::begin(kHostMembers), std::end(kHostMembers));
    EXPECT_EQ(kvtest::Call(host(), 0x6003000A, DISPATCH_METHOD, {kvtest::Object(nullptr), kvtest::Str(L"a.dwg")}).hr,
              S_OK);
}

TEST_F(PluginDispatchTest, DefaultInterfaceAnswersEveryOperationButProgID) {
    ExpectMembers(own(), std::begin(kDefaultMembers), std::end(kDefaultMembers));
    EXPECT_EQ(kvtest::Call(own(), 0x6003000C, DISPATCH_METHOD, {kvtest::Object(nullptr), kvtest::Str(L"a.dwg")}).hr,
              S_OK);
    EXPECT_EQ(kvtest::IdOfName(own(), L"ProgID"), DISPID_UNKNOWN);
    EXPECT_EQ(kvtest::IdOfName(own(), L"IKVStPlugin_ProgID"), DISPID_UNKNOWN);
    EXPECT_EQ(kvtest::PropertyGet(own(), 0x68030008).hr, DISP_E_MEMBERNOTFOUND);
}

TEST_F(PluginDispatchTest, TheSameIdentifierMeansDifferentThingsOnEachInterface) {
    auto files = kvtest::PropertyGet(host(), 0x68030000);
    ASSERT_EQ(files.hr, S_OK);
    EXPECT_EQ(OnlyString(files.value), L"KVStPluginDefault.ini");
    auto icon = kvtest::PropertyGet(own(), 0x68030000);
    ASSERT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.value.type(), VT_I4);
    EXPECT_EQ(icon.value.get().lVal, 2);

    PluginInternals::CheckFilter(plugin.Get()) = {L"AcadLayer"};
    ASSERT_EQ(kvtest::Call(host(), 0x6003000D, DISPATCH_METHOD).hr, S_OK);  // Clear
    EXPECT_TRUE(PluginInternals::CheckFilter(plugin.Get()).empty());
    auto next = kvtest::Call(own(), 0x6003000D, DISPATCH_METHOD);  // CheckNext
    ASSERT_EQ(next.hr, S_OK);
    EXPECT_EQ(next.value.type(), VT_BOOL);
}

TEST_F(PluginDispatchTest, UnknownIdentifiersAreRejectedOnBothInterfaces) {
    for (IDispatch* dispatch : {host(), own()}) {
        for (DISPID id : {DISPID(0), DISPID(0x6003000E), DISPID(0x68030009), DISPID(-1)})
            EXPECT_EQ(kvtest::Call(dispatch, id, DISPATCH_METHOD).hr, DISP_E_MEMBERNOTFOUND) << id;
        EXPECT_EQ(kvtest::PropertyPut(dispatch, 0x68030007, kvtest::Str(L"x")).hr, DISP_E_MEMBERNOTFOUND);
    }
}

}  // namespace
