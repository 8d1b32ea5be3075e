// kvstreg's scopes: a module registered through its own exports into a user's classes key gets
// exactly what it gets through HKEY_CLASSES_ROOT, unregisters exactly that, and rolls a failed
// step back there. The user's classes key is a private one here, so that no registration that
// other tests use is touched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/Handle.h"
#include "kvstreg/Registrar.h"
#include "server/typelib/PrivateClassesRoot.h"
#include "support/PluginKeys.h"
#include "support/RegistryRead.h"
#include "support/StagedPlugin.h"

namespace {

using kvstreg::Action;
using kvstreg::CallServerEntry;
using kvstreg::CallServerEntryIn;
using kvtest::kClassKey;
using kvtest::kLibraryKey;
using kvtest::kLibraryPlatform;
using kvtest::kProgID;

// A fresh key under HKEY_CURRENT_USER that stands for the user's Software\Classes.
class UserClassesKey {
public:
    UserClassesKey() {
        static LONG sequence = 0;
        path_ = L"Software\\kvtest-user-classes-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::InterlockedIncrement(&sequence));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key_.put(), nullptr),
                  ERROR_SUCCESS);
    }
    UserClassesKey(const UserClassesKey&) = delete;
    UserClassesKey& operator=(const UserClassesKey&) = delete;
    ~UserClassesKey() {
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }

    HKEY get() const noexcept { return key_.get(); }
    std::vector<std::wstring> Everything() const { return kvtest::RegistryTree(key_.get(), L""); }
    void SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& data,
                  DWORD options = REG_OPTION_NON_VOLATILE) const {
        kv::RegistryKey key;
        ASSERT_EQ(::RegCreateKeyExW(key_.get(), path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                                    key.put(), nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::wstring path_;
    kv::RegistryKey key_;
};

class UserScopeTest : public ::testing::Test {
protected:
    UserScopeTest() {
        for (const wchar_t* parent : {L"CLSID", L"Interface", L"TypeLib"}) user.SetValue(parent, L"kvtest", L"");
    }

    UserClassesKey user;
    kvtest::StagedPlugin staged;
};

TEST_F(UserScopeTest, WritesWhatTheMachineScopeWritesIntoTheUsersClasses) {
    std::vector<std::wstring> machineTree;
    {
        // The machine scope, as regsvr32 runs it, against a private HKEY_CLASSES_ROOT with the same parents.
        const kv::PrivateClassesRoot machine(L"kvtest-machine-classes");
        for (const wchar_t* parent : {L"CLSID", L"Interface", L"TypeLib"}) {
            kv::RegistryKey key;
            ::RegCreateKeyExW(HKEY_CLASSES_ROOT, parent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
            ::RegSetValueExW(key.get(), L"kvtest", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
        }
        ASSERT_EQ(CallServerEntry(staged.modulePath(), Action::Register), S_OK);
        machineTree = kvtest::RegistryTree(HKEY_CLASSES_ROOT, L"");
    }

    ASSERT_EQ(CallServerEntryIn(user.get(), staged.modulePath(), Action::Register), S_OK);
    EXPECT_EQ(user.Everything(), machineTree);
    EXPECT_GT(machineTree.size(), 20u);
    EXPECT_EQ(kvtest::RegistryString(user.get(), std::wstring(kClassKey) + L"\\InprocServer32"),
              staged.modulePath());
    EXPECT_EQ(kvtest::RegistryString(user.get(), std::wstring(kLibraryKey) + L"\\1.0\\0\\" + kLibraryPlatform),
              staged.modulePath());
    // Nothing of the staged copy reached the machine's classes.
    EXPECT_NE(kvtest::RegistryString(HKEY_LOCAL_MACHINE,
                                     L"Software\\Classes\\" + std::wstring(kClassKey) + L"\\InprocServer32"),
              staged.modulePath());
}

TEST_F(UserScopeTest, UnregisteringRemovesExactlyWhatWasWrittenThere) {
    user.SetValue(std::wstring(kProgID), L"Owner", L"another program");
    user.SetValue(std::wstring(kClassKey) + L"\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}",
                  nullptr, L"");
    const auto before = user.Everything();

    ASSERT_EQ(CallServerEntryIn(user.get(), staged.modulePath(), Action::Register), S_OK);
    EXPECT_GT(user.Everything().size(), before.size() + 10);
    ASSERT_EQ(CallServerEntryIn(user.get(), staged.modulePath(), Action::Unregister), S_OK);
    EXPECT_EQ(user.Everything(), before);
    // A second time finds nothing to remove and is no error.
    EXPECT_EQ(CallServerEntryIn(user.get(), staged.modulePath(), Action::Unregister), S_OK);
    EXPECT_EQ(user.Everything(), before);
}

TEST_F(UserScopeTest, AFailedStepRollsBackInTheUsersClasses) {
    // A lasting key cannot be made below a volatile one: the ProgID's CLSID subkey fails after the
    // type library and the class key have been written.
    user.SetValue(kProgID, L"Owner", L"another program", REG_OPTION_VOLATILE);
    const auto before = user.Everything();

    EXPECT_EQ(CallServerEntryIn(user.get(), staged.modulePath(), Action::Register),
              HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(user.Everything(), before);
    EXPECT_FALSE(kvtest::RegistryKeyExists(user.get(), kClassKey));
    EXPECT_FALSE(kvtest::RegistryKeyExists(user.get(), kLibraryKey));
}

TEST(ServerEntry, AMissingModuleOrExportIsReportedAndNothingIsWritten) {
    const UserClassesKey user;
    const auto before = user.Everything();
    struct Case {
        std::wstring module;
        HRESULT expected;
    } cases[] = {
        {L"C:\\no such folder\\KVStVB7Default.dll", HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        // A DLL that is no COM server.
        {L"version.dll", HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)},
    };
    for (const Case& c : cases) {
        for (Action action : {Action::Register, Action::Unregister})
            EXPECT_EQ(CallServerEntryIn(user.get(), c.module, action), c.expected) << kvtest::Utf8(c.module);
    }
    EXPECT_EQ(user.Everything(), before);
}

TEST(ServerEntry, TheOverrideEndsWithItsScope) {
    const UserClassesKey user;
    {
        const kvstreg::ClassesRootOverride override(user.get());
        ASSERT_EQ(override.result(), S_OK);
        kv::RegistryKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"kvtest-marker", 0, nullptr, REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    EXPECT_TRUE(kvtest::RegistryKeyExists(user.get(), L"kvtest-marker"));
    EXPECT_FALSE(kvtest::RegistryKeyExists(HKEY_CLASSES_ROOT, L"kvtest-marker"));
}

}  // namespace
