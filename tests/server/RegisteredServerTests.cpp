// The registered plug-in, reached as a host reaches it: through the registry.
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "support/DispatchCall.h"
#include "support/RegistryRead.h"
#include "support/StagedPlugin.h"

namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

TEST(RegisteredServerTest, RegistryNamesTheBuiltModuleAsAnApartmentServer) {
    const std::wstring classKey = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}";
    const struct {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {classKey + L"\\InprocServer32", nullptr, kvtest::BuiltPluginModule()},
        {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey + L"\\ProgID", nullptr, L"KVStVB7Default.KVStPluginDefault"},
        {classKey + L"\\TypeLib", nullptr, L"{34778468-C70C-41D8-B056-534670D04504}"},
        {L"KVStVB7Default.KVStPluginDefault\\CLSID", nullptr, L"{CD0257E4-6183-4688-9DB6-93270B232B36}"},
    };
    for (const auto& expected : values)
        EXPECT_EQ(kvtest::RegistryString(HKEY_CLASSES_ROOT, expected.key, expected.name), expected.value)
            << kvtest::Utf8(expected.key);
}

TEST(RegisteredServerTest, ProgIDCreatesThePluginWhichStillNamesItsOldProgID) {
    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(L"KVStVB7Default.KVStPluginDefault", &clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_KVStPluginDefault));

    kv::ComPtr<IKVStPlugin> plugin;
    ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)), S_OK);
    EXPECT_EQ(kvtest::RefCount(plugin.Get()), 1u);
    kv::Bstr progID, path;
    ASSERT_EQ(plugin->get_ProgID(&progID), S_OK);
    EXPECT_EQ(progID.view(), L"KVStVB6Default.KVStPluginDefault");
    ASSERT_EQ(plugin->get_Path(&path), S_OK);
    EXPECT_EQ(path.view(), FolderOf(kvtest::BuiltPluginModule()));
}

// Each dual interface describes itself: the plug-in's own from the module's library, the
// host's from the registered host library.
TEST(RegisteredServerTest, EachDispatchInterfaceHandsOutItsOwnTypeInformation) {
    kv::ComPtr<IKVStPlugin> plugin;
    ASSERT_EQ(::CoCreateInstance(CLSID_KVStPluginDefault, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)),
              S_OK);
    kv::ComPtr<_KVStPluginDefault> own;
    ASSERT_EQ(plugin.As(&own), S_OK);
    const struct {
        IDispatch* dispatch;
        const IID* type;
        const GUID* library;
    } cases[] = {{own.Get(), &IID__KVStPluginDefault, &LIBID_KVStVB7Default},
                 {plugin.Get(), &IID_IKVStPlugin, &LIBID_KVStMgr}};
    for (const auto& c : cases) {
        UINT count = 0;
        ASSERT_EQ(c.dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        kv::ComPtr<ITypeInfo> info;
        ASSERT_EQ(c.dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        EXPECT_TRUE(::IsEqualGUID(attributes->guid, *c.type));
        EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
        info->ReleaseTypeAttr(attributes);
        kv::ComPtr<ITypeLib> library;
        UINT index = 0;
        ASSERT_EQ(info->GetContainingTypeLib(&library, &index), S_OK);
        TLIBATTR* libraryAttributes = nullptr;
        ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
        EXPECT_TRUE(::IsEqualGUID(libraryAttributes->guid, *c.library));
        library->ReleaseTLibAttr(libraryAttributes);

        ITypeInfo* none = reinterpret_cast<ITypeInfo*>(1);
        EXPECT_EQ(c.dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none), DISP_E_BADINDEX);
        EXPECT_EQ(none, nullptr);
    }
}

}  // namespace
