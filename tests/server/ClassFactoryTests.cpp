// The module's class table, class factory and unload test, on a private copy of the module.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "com/Bstr.h"
#include "support/DispatchCall.h"
#include "support/StagedPlugin.h"
#include "tests/plugin/PluginInternals.h"

namespace {

using kvtest::StagedPlugin;
using plugin::PluginInternals;

constexpr char kStandardFile[] = "[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=1\r\nName1=0\r\n";

kv::ComPtr<IClassFactory> FactoryOf(const StagedPlugin& staged) {
    kv::ComPtr<IClassFactory> factory;
    EXPECT_EQ(staged.GetClassObject(CLSID_KVStPluginDefault, IID_PPV_ARGS(&factory)), S_OK);
    return factory;
}

TEST(ClassObjectTest, ServesOnlyThePluginClass) {
    StagedPlugin staged;
    const GUID unknownClasses[] = {CLSID_NULL, CLSID_KVStError, IID__KVStPluginDefault, IID_IKVStPlugin,
                                   LIBID_KVStVB7Default};
    for (const GUID& clsid : unknownClasses) {
        void* factory = reinterpret_cast<void*>(1);
        EXPECT_EQ(staged.GetClassObject(clsid, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(factory, nullptr);
    }
    EXPECT_EQ(staged.GetClassObject(CLSID_KVStPluginDefault, IID_IClassFactory, nullptr), E_POINTER);
}

TEST(ClassObjectTest, FactoryIsAClassFactoryAndNothingElse) {
    StagedPlugin staged;
    kv::ComPtr<IUnknown> unknown;
    ASSERT_EQ(staged.GetClassObject(CLSID_KVStPluginDefault, IID_PPV_ARGS(&unknown)), S_OK);
    EXPECT_EQ(kvtest::RefCount(unknown.Get()), 1u);
    kv::ComPtr<IClassFactory> factory;
    ASSERT_EQ(unknown.As(&factory), S_OK);
    kv::ComPtr<IDispatch> dispatch;
    EXPECT_EQ(unknown.As(&dispatch), E_NOINTERFACE);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(staged.GetClassObject(CLSID_KVStPluginDefault, IID_IKVStPlugin, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST(ClassFactoryTest, MakesAnInitializedObjectInEachOfItsInterfaces) {
    StagedPlugin staged(kStandardFile);
    const IID interfaces[] = {IID_IUnknown, IID_IDispatch, IID__KVStPluginDefault, IID_IKVStPlugin};
    for (const IID& iid : interfaces) {
        kv::ComPtr<IUnknown> object;
        ASSERT_EQ(staged.CreateInstance(iid, reinterpret_cast<void**>(object.GetAddressOf())), S_OK);
        EXPECT_EQ(kvtest::RefCount(object.Get()), 1u);
        // Initialization ran in the copy: the standard file beside it was found.
        EXPECT_EQ(PluginInternals::StdFilePath(object.Get()), staged.folder() + L"\\KVStPluginDefault.ini");
        EXPECT_EQ(PluginInternals::AuditCursor(object.Get()), audit::Cursor{});
    }
    auto plugin = staged.Create();
    kv::Bstr path;
    ASSERT_EQ(plugin->get_Path(&path), S_OK);
    EXPECT_EQ(path.view(), staged.folder());
}

TEST(ClassFactoryTest, RefusesAggregationAndUnknownInterfaces) {
    StagedPlugin staged;
    auto factory = FactoryOf(staged);
    auto outer = staged.Create();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IKVStPlugin, nullptr), E_POINTER);
}

TEST(ClassFactoryTest, EachRequestMakesAnObjectThatSharesNothing) {
    StagedPlugin staged(kStandardFile);
    auto factory = FactoryOf(staged);
    kv::ComPtr<IKVStPlugin> first, second;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&first)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&second)), S_OK);
    EXPECT_NE(first.Get(), second.Get());

    PluginInternals::AuditCursor(first.Get()) = audit::Cursor{1, 50};
    PluginInternals::CheckFilter(first.Get()) = {L"AcadLayer"};
    PluginInternals::DrawingLists(first.Get())[0]->assign(2, L"0");
    ASSERT_EQ(second->Clear(), S_OK);

    EXPECT_EQ(PluginInternals::AuditCursor(second.Get()), audit::Cursor{});
    EXPECT_TRUE(PluginInternals::CheckFilter(second.Get()).empty());
    EXPECT_TRUE(PluginInternals::Lists(second.Get())[0].empty());
    EXPECT_TRUE(PluginInternals::StdFilePath(second.Get()).empty());
    EXPECT_EQ(PluginInternals::StdFilePath(first.Get()), staged.folder() + L"\\KVStPluginDefault.ini");
    EXPECT_EQ(PluginInternals::Lists(first.Get())[0].size(), 2u);
}

TEST(UnloadTest, ModuleStaysWhileAnObjectAFactoryOrALockLives) {
    StagedPlugin staged;
    EXPECT_EQ(staged.CanUnloadNow(), S_OK);

    IKVStPlugin* plugin = staged.Create().Detach();
    EXPECT_EQ(staged.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(staged.CanUnloadNow(), S_OK);

    auto factory = FactoryOf(staged);
    EXPECT_EQ(staged.CanUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory.Reset(), 0u);
    EXPECT_EQ(staged.CanUnloadNow(), S_FALSE);

    factory = FactoryOf(staged);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(staged.CanUnloadNow(), S_FALSE);
    factory.Reset();
    EXPECT_EQ(staged.CanUnloadNow(), S_OK);
}

TEST(UnloadTest, AnUnbalancedUnlockIsRefusedAndDoesNotCancelALaterLock) {
    StagedPlugin staged;
    auto factory = FactoryOf(staged);
    EXPECT_EQ(factory->LockServer(FALSE), E_UNEXPECTED);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(staged.CanUnloadNow(), S_FALSE);
    factory = FactoryOf(staged);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(staged.CanUnloadNow(), S_OK);
}

TEST(UnloadTest, CountsStayRightWhenApartmentsOnManyThreadsCreateAndRelease) {
    StagedPlugin staged;
    constexpr int kThreads = 4, kObjects = 100;
    std::vector<HRESULT> outcomes(kThreads, E_FAIL);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&staged, &outcome = outcomes[t]] {
            if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
            outcome = S_OK;
            {
                std::vector<kv::ComPtr<IKVStPlugin>> held;
                for (int i = 0; i < kObjects && SUCCEEDED(outcome); ++i) {
                    kv::ComPtr<IKVStPlugin> plugin;
                    outcome = staged.CreateInstance(IID_PPV_ARGS(&plugin));
                    held.push_back(plugin);
                }
            }
            ::CoUninitialize();
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (HRESULT outcome : outcomes) EXPECT_EQ(outcome, S_OK);
    EXPECT_EQ(staged.CanUnloadNow(), S_OK);
}

}  // namespace
