// The host's error class, created through the registry as the plug-in creates it.
#include <gtest/gtest.h>

#include "KVStMgr.h"
#include "com/Bstr.h"
#include "support/DispatchCall.h"
#include "support/RegistryRead.h"
#include "support/StagedPlugin.h"

namespace {

constexpr DISPID kEntryName = 0x68030001, kKindLabel = 0x68030000;

kv::ComPtr<_KVStError> NewError() {
    kv::ComPtr<_KVStError> error;
    EXPECT_EQ(::CoCreateInstance(CLSID_KVStError, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&error)), S_OK);
    return error;
}

// The registered module, as COM loaded it into this process.
HMODULE HostModule() {
    NewError();
    return ::GetModuleHandleW(kvtest::BuiltHostModule().c_str());
}

std::wstring Get(_KVStError* error, HRESULT (STDMETHODCALLTYPE _KVStError::*getter)(BSTR*)) {
    kv::Bstr value;
    EXPECT_EQ((error->*getter)(&value), S_OK);
    EXPECT_NE(value.get(), nullptr);
    return value.str();
}

TEST(KVStErrorRegistrationTest, ClassAndLibraryAreRegisteredFromTheBuiltModule) {
    const std::wstring classKey = L"CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}";
    const struct {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
    } values[] = {
        {classKey + L"\\InprocServer32", nullptr, kvtest::BuiltHostModule()},
        {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey + L"\\ProgID", nullptr, L"KVStMgr.KVStError"},
        {L"KVStMgr.KVStError\\CLSID", nullptr, L"{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}"},
        // The host library's interfaces are registered with it, so the plug-in's import resolves.
        {L"Interface\\{3FCC709D-48D7-4093-9C5A-19958B7446F1}\\TypeLib", nullptr,
         L"{5AD9730A-AC1B-43F5-B402-D1459B883132}"},
        {L"Interface\\{5E6BC576-18D1-4158-AB1F-98784B5B59A9}\\TypeLib", nullptr,
         L"{5AD9730A-AC1B-43F5-B402-D1459B883132}"},
    };
    for (const auto& expected : values)
        EXPECT_EQ(kvtest::RegistryString(HKEY_CLASSES_ROOT, expected.key, expected.name), expected.value)
            << kvtest::Utf8(expected.key);
    kv::Bstr path;
    ASSERT_EQ(::QueryPathOfRegTypeLib(LIBID_KVStMgr, 95, 0, LOCALE_NEUTRAL, &path), S_OK);
    EXPECT_EQ(path.view(), kvtest::BuiltHostModule());
}

TEST(KVStErrorTest, CreatedByClassIdentityAndByProgIDWithEmptyProperties) {
    CLSID byProgID{};
    ASSERT_EQ(::CLSIDFromProgID(L"KVStMgr.KVStError", &byProgID), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(byProgID, CLSID_KVStError));
    for (const CLSID* clsid : {&CLSID_KVStError, static_cast<const CLSID*>(&byProgID)}) {
        kv::ComPtr<_KVStError> error;
        ASSERT_EQ(::CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&error)), S_OK);
        EXPECT_EQ(kvtest::RefCount(error.Get()), 1u);
        EXPECT_EQ(Get(error.Get(), &_KVStError::get_EntryName), L"");
        EXPECT_EQ(Get(error.Get(), &_KVStError::get_KindLabel), L"");
    }
}

TEST(KVStErrorTest, PropertiesRoundTripEarlyBound) {
    auto error = NewError();
    const std::wstring values[] = {L"Layer 7", L"图层", std::wstring(L"a\0b", 3), L""};
    for (const std::wstring& value : values) {
        kv::Bstr text(value);
        ASSERT_EQ(error->put_EntryName(text.get()), S_OK);
        ASSERT_EQ(error->put_KindLabel(text.get()), S_OK);
        EXPECT_EQ(Get(error.Get(), &_KVStError::get_EntryName), value);
        EXPECT_EQ(Get(error.Get(), &_KVStError::get_KindLabel), value);
    }
    ASSERT_EQ(error->put_EntryName(kv::Bstr(L"kept").get()), S_OK);
    ASSERT_EQ(error->put_KindLabel(nullptr), S_OK);
    EXPECT_EQ(Get(error.Get(), &_KVStError::get_KindLabel), L"");
    EXPECT_EQ(Get(error.Get(), &_KVStError::get_EntryName), L"kept") << "the properties are independent";
    EXPECT_EQ(error->get_EntryName(nullptr), E_POINTER);
}

TEST(KVStErrorTest, PropertiesRoundTripLateBoundByName) {
    auto error = NewError();
    IDispatch* dispatch = error.Get();
    ASSERT_EQ(kvtest::IdOfName(dispatch, L"EntryName"), kEntryName);
    ASSERT_EQ(kvtest::IdOfName(dispatch, L"kindlabel"), kKindLabel);

    ASSERT_EQ(kvtest::PropertyPut(dispatch, kEntryName, kvtest::Str(L"Dim 2")).hr, S_OK);
    ASSERT_EQ(kvtest::PropertyPut(dispatch, kKindLabel, kvtest::Long(42)).hr, S_OK);
    EXPECT_EQ(Get(error.Get(), &_KVStError::get_EntryName), L"Dim 2");
    auto label = kvtest::PropertyGet(dispatch, kKindLabel);
    ASSERT_EQ(label.hr, S_OK);
    ASSERT_EQ(label.value.type(), VT_BSTR);
    EXPECT_STREQ(label.value.get().bstrVal, L"42");

    auto wrongType = kvtest::PropertyPut(dispatch, kEntryName, kvtest::Object(dispatch));
    EXPECT_EQ(wrongType.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Get(error.Get(), &_KVStError::get_EntryName), L"Dim 2");
    EXPECT_EQ(kvtest::RefCount(error.Get()), 1u) << "a refused argument keeps no reference";
}

TEST(KVStErrorTest, ReferenceCountsAreExactAndTheModuleCountsItsObjects) {
    HMODULE module = HostModule();
    ASSERT_NE(module, nullptr);
    auto canUnloadNow = kvtest::ExportOf<kvtest::ServerFunction>(module, "DllCanUnloadNow");
    EXPECT_EQ(canUnloadNow(), S_OK);

    _KVStError* error = NewError().Detach();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    kv::ComPtr<IUnknown> unknown;
    kv::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(error->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
    ASSERT_EQ(error->QueryInterface(IID_PPV_ARGS(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<IDispatch*>(error), dispatch.Get());
    EXPECT_EQ(kvtest::RefCount(error), 3u);
    kv::ComPtr<IKVStPlugin> notImplemented;
    EXPECT_EQ(error->QueryInterface(IID_PPV_ARGS(&notImplemented)), E_NOINTERFACE);
    unknown.Reset();
    dispatch.Reset();
    EXPECT_EQ(error->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST(KVStErrorTest, TypeInformationComesFromTheModulesOwnLibrary) {
    auto error = NewError();
    UINT count = 0;
    ASSERT_EQ(error->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    kv::ComPtr<ITypeInfo> info;
    ASSERT_EQ(error->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(::IsEqualGUID(attributes->guid, IID__KVStError));
    info->ReleaseTypeAttr(attributes);
    MEMBERID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"KindLabel")};
    ASSERT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, kKindLabel);
}

}  // namespace
