// DllRegisterServer and DllUnregisterServer of a private copy of the module, against a private
// HKEY_CLASSES_ROOT, so that the registration that other tests use is never touched.
#include <gtest/gtest.h>

#include <algorithm>

#include "com/Handle.h"
#include "server/typelib/PrivateClassesRoot.h"
#include "support/PluginKeys.h"
#include "support/RegistryRead.h"
#include "support/StagedPlugin.h"

namespace {

using kvtest::RegistryString;
using kvtest::RegistryTree;
using kvtest::kClassKey;
using kvtest::kLibraryKey;
using kvtest::kLibraryPlatform;
using kvtest::kProgID;

constexpr wchar_t kInterfaceKey[] = L"Interface\\{703692C1-A175-460F-802A-00212E97798C}";

class RegistrationTest : public ::testing::Test {
protected:
    RegistrationTest() {
        // The parents that every real HKEY_CLASSES_ROOT has.
        for (const wchar_t* parent : {L"CLSID", L"Interface", L"TypeLib"}) CreateKey(parent);
    }

    static kv::RegistryKey CreateKey(const std::wstring& path, DWORD options = REG_OPTION_NON_VOLATILE) {
        kv::RegistryKey key;
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                                    key.put(), nullptr),
                  ERROR_SUCCESS)
            << kvtest::Utf8(path);
        return key;
    }
    static void SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& data) {
        const kv::RegistryKey key = CreateKey(path);
        ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    static std::vector<std::wstring> Everything() { return RegistryTree(HKEY_CLASSES_ROOT, L""); }

    kv::PrivateClassesRoot root{L"kvtest-classes"};
    kvtest::StagedPlugin staged;
};

TEST_F(RegistrationTest, RegisteringWritesClassProgIDAndTypeLibrary) {
    ASSERT_EQ(staged.Register(), S_OK);
    const std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
    struct Expected {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {server, nullptr, staged.modulePath()},
        {server, L"ThreadingModel", L"Apartment"},
        {std::wstring(kClassKey) + L"\\ProgID", nullptr, kProgID},
        {std::wstring(kClassKey) + L"\\TypeLib", nullptr, L"{34778468-C70C-41D8-B056-534670D04504}"},
        {std::wstring(kProgID) + L"\\CLSID", nullptr, L"{CD0257E4-6183-4688-9DB6-93270B232B36}"},
        // Registered under the neutral locale, with the module's full path.
        {std::wstring(kLibraryKey) + L"\\1.0\\0\\" + kLibraryPlatform, nullptr, staged.modulePath()},
        {std::wstring(kInterfaceKey) + L"\\TypeLib", nullptr, L"{34778468-C70C-41D8-B056-534670D04504}"},
    };
    for (const Expected& expected : values)
        EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, expected.key, expected.name), expected.value)
            << kvtest::Utf8(expected.key);
    // The host's interfaces belong to the host library's registration, not to this one.
    EXPECT_FALSE(kvtest::RegistryKeyExists(HKEY_CLASSES_ROOT, L"Interface\\{3FCC709D-48D7-4093-9C5A-19958B7446F1}"));
}

TEST_F(RegistrationTest, UnregisteringRemovesExactlyWhatRegisteringWrote) {
    // Another program's value under the class key, and one beside the ProgID, must survive.
    SetValue(std::wstring(kClassKey) + L"\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}",
             nullptr, L"");
    SetValue(kProgID, L"Owner", L"another program");
    const auto before = Everything();

    ASSERT_EQ(staged.Register(), S_OK);
    EXPECT_GT(Everything().size(), before.size() + 10);
    ASSERT_EQ(staged.Unregister(), S_OK);
    EXPECT_EQ(Everything(), before);
    // Unregistering what is not registered is not an error.
    EXPECT_EQ(staged.Unregister(), S_OK);
    EXPECT_EQ(Everything(), before);
}

TEST_F(RegistrationTest, RegisteringAgainOverwritesAndStaysConsistent) {
    ASSERT_EQ(staged.Register(), S_OK);
    const auto once = Everything();
    ASSERT_EQ(staged.Register(), S_OK);
    EXPECT_EQ(Everything(), once);
    ASSERT_EQ(staged.Unregister(), S_OK);
    EXPECT_FALSE(kvtest::RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

TEST_F(RegistrationTest, AFailedStepLeavesNoHalfRegisteredClass) {
    // Windows refuses a lasting key below a volatile one: the ProgID's CLSID subkey cannot be
    // written, after the type library and the class key have been.
    CreateKey(kProgID, REG_OPTION_VOLATILE);
    SetValue(kProgID, L"Owner", L"another program");
    const auto before = Everything();

    EXPECT_EQ(staged.Register(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(Everything(), before);
    EXPECT_FALSE(kvtest::RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(kvtest::RegistryKeyExists(HKEY_CLASSES_ROOT, kLibraryKey));
    EXPECT_FALSE(kvtest::RegistryKeyExists(HKEY_CLASSES_ROOT, kInterfaceKey));
}

}  // namespace
