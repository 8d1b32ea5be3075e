// The plug-in's two dual interfaces and the host's error object answer late-bound calls from their
// dispatch tables alone: each table must list exactly what the type information that the live
// object hands out tells a caller, member for member.
#include <gtest/gtest.h>

#include "KVStMgr.h"
#include "kvstmgr/KVStError.h"
#include "plugin/KVStPluginDefault.h"
#include "support/DispatchFacts.h"
#include "support/StagedPlugin.h"

namespace {

template <class Interface>
kv::ComPtr<ITypeInfo> ServedTypeInfo(IUnknown* object) {
    kv::ComPtr<Interface> dual;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&dual)), S_OK);
    kv::ComPtr<ITypeInfo> info;
    if (dual) {
        EXPECT_EQ(dual->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    }
    return info;
}

TEST(DispatchTableTest, EveryServedDualInterfaceListsExactlyItsTypeInformation) {
    const kvtest::StagedPlugin staged;
    const kv::ComPtr<IKVStPlugin> plugin = staged.Create();
    kv::ComPtr<IUnknown> error;
    ASSERT_EQ(::CoCreateInstance(CLSID_KVStError, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&error)), S_OK);
    struct Case {
        const char* interfaceName;
        kv::ComPtr<ITypeInfo> info;
        const kv::DispatchTable& table;
    } cases[] = {
        {"IKVStPlugin", ServedTypeInfo<IKVStPlugin>(plugin.Get()), kv::DispatchTableOf<IKVStPlugin>()},
        {"_KVStPluginDefault", ServedTypeInfo<_KVStPluginDefault>(plugin.Get()),
         kv::DispatchTableOf<_KVStPluginDefault>()},
        {"_KVStError", ServedTypeInfo<_KVStError>(error.Get()), kv::DispatchTableOf<_KVStError>()},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.info, nullptr) << c.interfaceName;
        const auto served = kvtest::FactsOf(c.info.Get());
        EXPECT_FALSE(served.empty()) << c.interfaceName;
        EXPECT_EQ(kvtest::Differences(served, kvtest::FactsOf(c.table.members())), "") << c.interfaceName;
    }
}

}  // namespace
