// The resources of the built module, read back as Windows reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "com/Handle.h"
#include "support/StagedPlugin.h"
#include "support/TypeLibraryImage.h"

namespace {

constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        module.reset(
            ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module);
    }

    std::string_view Resource(const wchar_t* type, WORD language) const {
        HRSRC found = ::FindResourceExW(module.get(), type, MAKEINTRESOURCEW(1), language);
        if (found == nullptr) return {};
        HGLOBAL loaded = ::LoadResource(module.get(), found);
        return {static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module.get(), found)};
    }

    std::wstring path = kvtest::BuiltPluginModule();
    kv::LoadedModule module;
};

TEST_F(ResourceTest, InterfaceIdentifierResourceHoldsLengthThenGuid) {
    const std::string_view bytes = Resource(L"_IID_KVSTPLUGINDEFAULT", kNeutral);
    ASSERT_EQ(bytes.size(), 20u);
    const unsigned char length[] = {16, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), length, 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 4, &IID__KVStPluginDefault, 16), 0);
}

TEST_F(ResourceTest, TypeLibraryIsACompleteImageThatImportsTheHostByFileName) {
    const std::string_view image = Resource(L"TYPELIB", kNeutral);
    ASSERT_GT(image.size(), 32u);
    ASSERT_EQ(image.substr(0, 4), "MSFT");
    auto at = [&](std::size_t offset) {
        std::uint32_t value = 0;
        std::memcpy(&value, image.data() + offset, 4);
        return value;
    };
    EXPECT_EQ(at(12), 0x0409u) << "locale recorded in the image";
    EXPECT_EQ(at(16), 0u) << "locale under which the library registers";
    // An import entry ends with the file name, after its length shifted left by two.
    const std::string_view name = "KVStMgr.dll";
    const auto found = image.find(name);
    ASSERT_NE(found, std::string_view::npos);
    EXPECT_EQ(image.find(name, found + 1), std::string_view::npos);
    std::uint16_t size = 0;
    std::memcpy(&size, image.data() + found - 2, 2);
    EXPECT_EQ(size >> 2, name.size()) << "the recorded name carries a folder";
    EXPECT_NE(image.find("stdole2.tlb"), std::string_view::npos);
}

// The stored bytes, not what oleaut32 reports after loading them: it adds flags of its own.
TEST_F(ResourceTest, TypeLibraryImageStoresExactlyTheDeclaredFlagsForThisArchitecture) {
    const kvtest::StoredTypeLibrary library = kvtest::ReadStoredTypeLibrary(Resource(L"TYPELIB", kNeutral));
#ifdef _WIN64
    EXPECT_EQ(library.sysKind, static_cast<std::uint32_t>(SYS_WIN64));
#else
    EXPECT_EQ(library.sysKind, static_cast<std::uint32_t>(SYS_WIN32));
#endif
    EXPECT_EQ(library.libFlags, 0u) << "no library flags";
    EXPECT_EQ(library.lcid, 0x0409u);
    EXPECT_EQ(library.registeredLcid, 0u);

    const struct {
        const char* name;
        TYPEKIND kind;
        std::uint32_t flags;
        const GUID* guid;
    } expected[] = {
        // A dual interface is stored as its dispatch view.
        {"_KVStPluginDefault", TKIND_DISPATCH,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
         &IID__KVStPluginDefault},
        {"KVStPluginDefault", TKIND_COCLASS, TYPEFLAG_FCANCREATE, &CLSID_KVStPluginDefault},
    };
    ASSERT_EQ(library.types.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const kvtest::StoredType& type = library.types[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(type.name, expected[i].name);
        EXPECT_EQ(type.kind, static_cast<std::uint32_t>(expected[i].kind));
        EXPECT_EQ(type.flags, expected[i].flags);
        EXPECT_EQ(type.guid, std::string(reinterpret_cast<const char*>(expected[i].guid), sizeof(GUID)));
    }
}

TEST_F(ResourceTest, TypeLibraryImageReaderRefusesACutImage) {
    const std::string_view image = Resource(L"TYPELIB", kNeutral);
    ASSERT_NO_THROW(kvtest::ReadStoredTypeLibrary(image));
    // Cut inside the header, the type offsets, the segment directory and the type entries.
    for (std::size_t length : {std::size_t{0}, std::size_t{3}, std::size_t{0x20}, std::size_t{0x56},
                               std::size_t{0x60}, std::size_t{0x120}, std::size_t{0x200}})
        EXPECT_THROW(kvtest::ReadStoredTypeLibrary(image.substr(0, length)), std::runtime_error) << length;
}

TEST_F(ResourceTest, VersionResourceIsUsEnglishWithFixedVersionsOfADll) {
    EXPECT_FALSE(Resource(MAKEINTRESOURCEW(16), kUsEnglish).empty()) << "RT_VERSION 1 in language 0x0409";

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {
        {L"CompanyName", L"Marlen, Inc."},         {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},             {L"ProductName", L"KVStVB7Default"},
        {L"InternalName", L"KVStVB7Default"},     {L"OriginalFilename", L"KVStVB7Default.dll"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& entry : strings) {
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + entry.name;
        ASSERT_TRUE(::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << kvtest::Utf8(entry.name);
        EXPECT_STREQ(length ? value : L"", entry.value) << kvtest::Utf8(entry.name);
    }
}

}  // namespace
