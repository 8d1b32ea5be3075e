// The registered plug-in, reached as a host reaches it: through the registry.
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "support/DispatchCall.h"
#include "support/StagedPlugin.h"

namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

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
