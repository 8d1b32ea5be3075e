// The plug-in's registered type library, read back through oleaut32 as a host or a development
// tool reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/Bstr.h"
#include "support/StagedPlugin.h"

namespace {

// Owners of the attribute blocks that ITypeInfo and ITypeLib lend out.
struct TypeAttributes {
    kv::ComPtr<ITypeInfo> info;
    TYPEATTR* attributes = nullptr;
    explicit TypeAttributes(ITypeInfo* source) : info(source) { EXPECT_EQ(info->GetTypeAttr(&attributes), S_OK); }
    ~TypeAttributes() {
        if (attributes) info->ReleaseTypeAttr(attributes);
    }
    const TYPEATTR* operator->() const { return attributes; }
};

struct LibraryAttributes {
    kv::ComPtr<ITypeLib> library;
    TLIBATTR* attributes = nullptr;
    explicit LibraryAttributes(ITypeLib* source) : library(source) {
        EXPECT_EQ(library->GetLibAttr(&attributes), S_OK);
    }
    ~LibraryAttributes() {
        if (attributes) library->ReleaseTLibAttr(attributes);
    }
    const TLIBATTR* operator->() const { return attributes; }
};

std::wstring NameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL) {
    kv::Bstr name;
    EXPECT_EQ(info->GetDocumentation(member, &name, nullptr, nullptr, nullptr), S_OK);
    return name.str();
}

kv::ComPtr<ITypeInfo> Referenced(ITypeInfo* info, HREFTYPE reference) {
    kv::ComPtr<ITypeInfo> target;
    EXPECT_EQ(info->GetRefTypeInfo(reference, &target), S_OK);
    return target;
}

kv::ComPtr<ITypeInfo> ImplementedType(ITypeInfo* info, UINT index) {
    HREFTYPE reference = 0;
    EXPECT_EQ(info->GetRefTypeOfImplType(index, &reference), S_OK);
    return Referenced(info, reference);
}

GUID LibraryOf(ITypeInfo* info) {
    kv::ComPtr<ITypeLib> library;
    UINT index = 0;
    EXPECT_EQ(info->GetContainingTypeLib(&library, &index), S_OK);
    return LibraryAttributes(library.Get())->guid;
}

class TypeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::LoadRegTypeLib(LIBID_KVStVB7Default, 1, 0, LOCALE_NEUTRAL, &library), S_OK);
        ASSERT_EQ(library->GetTypeInfoCount(), 2u);
        ASSERT_EQ(library->GetTypeInfo(0, &defaultInterface), S_OK);
        ASSERT_EQ(library->GetTypeInfo(1, &creatable), S_OK);
        HREFTYPE vtableReference = 0;
        ASSERT_EQ(defaultInterface->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableReference), S_OK);
        vtable = Referenced(defaultInterface.Get(), vtableReference);
    }
    kv::ComPtr<ITypeLib> library;
    kv::ComPtr<ITypeInfo> defaultInterface, creatable;
    kv::ComPtr<ITypeInfo> vtable;  // the vtable part of the dual default interface
};

TEST_F(TypeLibraryTest, IsRegisteredUnderTheNeutralLocaleFromTheModule) {
    kv::Bstr path;
    ASSERT_EQ(::QueryPathOfRegTypeLib(LIBID_KVStVB7Default, 1, 0, LOCALE_NEUTRAL, &path), S_OK);
    EXPECT_EQ(path.view(), kvtest::BuiltPluginModule());

    LibraryAttributes attributes(library.Get());
    EXPECT_EQ(attributes->lcid, LOCALE_NEUTRAL);
#ifdef _WIN64
    EXPECT_EQ(attributes->syskind, SYS_WIN64);
#else
    EXPECT_EQ(attributes->syskind, SYS_WIN32);
#endif
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0) << "no library flags";
    kv::Bstr name, help, helpFile;
    ASSERT_EQ(library->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, &helpFile), S_OK);
    EXPECT_EQ(name.view(), L"KVStVB7Default");
    EXPECT_EQ(help.get(), nullptr);
    EXPECT_EQ(helpFile.get(), nullptr);
}

TEST_F(TypeLibraryTest, ClassIsCreatableWithItsOwnDefaultAndTheHostsInterface) {
    TypeAttributes attributes(creatable.Get());
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_EQ(NameOf(creatable.Get()), L"KVStPluginDefault");
    EXPECT_TRUE(::IsEqualGUID(attributes->guid, CLSID_KVStPluginDefault));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_FALSE(attributes->wTypeFlags & TYPEFLAG_FAPPOBJECT);
    ASSERT_EQ(attributes->cImplTypes, 2);

    const struct {
        INT flags;
        const IID* type;
        const GUID* library;
    } implemented[] = {{IMPLTYPEFLAG_FDEFAULT, &IID__KVStPluginDefault, &LIBID_KVStVB7Default},
                       {0, &IID_IKVStPlugin, &LIBID_KVStMgr}};
    for (UINT i = 0; i < 2; ++i) {
        INT flags = -1;
        ASSERT_EQ(creatable->GetImplTypeFlags(i, &flags), S_OK);
        EXPECT_EQ(flags, implemented[i].flags) << i;
        auto type = ImplementedType(creatable.Get(), i);
        EXPECT_TRUE(::IsEqualGUID(TypeAttributes(type.Get())->guid, *implemented[i].type)) << i;
        EXPECT_TRUE(::IsEqualGUID(LibraryOf(type.Get()), *implemented[i].library)) << i;
    }
    // The host's interface is referenced, not copied into this library.
    kv::ComPtr<ITypeInfo> copy;
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IKVStPlugin, &copy), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID__KVStError, &copy), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeLibraryTest, DefaultInterfaceIsAHiddenDualAutomationInterface) {
    EXPECT_EQ(NameOf(defaultInterface.Get()), L"_KVStPluginDefault");
    TypeAttributes dispatchView(defaultInterface.Get());
    EXPECT_EQ(dispatchView->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(::IsEqualGUID(dispatchView->guid, IID__KVStPluginDefault));
    EXPECT_EQ(dispatchView->wMajorVerNum, 1);
    EXPECT_EQ(dispatchView->wMinorVerNum, 0);

    TypeAttributes attributes(vtable.Get());
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    const WORD expected = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                          TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(attributes->wTypeFlags, expected);
    ASSERT_EQ(attributes->cImplTypes, 1);
    EXPECT_EQ(NameOf(ImplementedType(vtable.Get(), 0).Get()), L"IDispatch");
}

TEST_F(TypeLibraryTest, DefaultInterfaceHasTheThirteenMembersInVtableOrder) {
    const struct {
        const wchar_t* name;
        INVOKEKIND kind;
        MEMBERID id;
        SHORT parameters;
    } members[] = {
        {L"IKVStPlugin_GetCheckFilter", INVOKE_FUNC, 0x6003000B, 1},
        {L"IKVStPlugin_SetupForAudit", INVOKE_FUNC, 0x6003000C, 2},
        {L"IKVStPlugin_CheckNext", INVOKE_FUNC, 0x6003000D, 1},
        {L"IKVStPlugin_GetError", INVOKE_FUNC, 0x6003000F, 1},
        {L"IKVStPlugin_Clear", INVOKE_FUNC, 0x60030010, 0},
        {L"IKVStPlugin_Name", INVOKE_PROPERTYGET, 0x68030007, 1},
        {L"IKVStPlugin_Path", INVOKE_PROPERTYGET, 0x68030006, 1},
        {L"IKVStPlugin_Version", INVOKE_PROPERTYGET, 0x68030005, 1},
        {L"IKVStPlugin_Description", INVOKE_PROPERTYGET, 0x68030004, 1},
        {L"IKVStPlugin_StandardFiles", INVOKE_PROPERTYGET, 0x68030003, 1},
        {L"IKVStPlugin_Author", INVOKE_PROPERTYGET, 0x68030002, 1},
        {L"IKVStPlugin_HRef", INVOKE_PROPERTYGET, 0x68030001, 1},
        {L"IKVStPlugin_Icon", INVOKE_PROPERTYGET, 0x68030000, 1},
    };
    ASSERT_EQ(TypeAttributes(vtable.Get())->cFuncs, 13);
    for (UINT i = 0; i < 13; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &function), S_OK);
        SCOPED_TRACE(kvtest::Utf8(members[i].name));
        EXPECT_EQ(NameOf(vtable.Get(), function->memid), members[i].name);
        EXPECT_EQ(function->memid, members[i].id);
        EXPECT_EQ(function->invkind, members[i].kind);
        EXPECT_EQ(function->cParams, members[i].parameters);
        EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << "after IDispatch's seven";
        EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
        vtable->ReleaseFuncDesc(function);
    }
}

TEST_F(TypeLibraryTest, ProgIDIsNotAMemberAndGetErrorReturnsTheHostsErrorInterface) {
    MEMBERID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"IKVStPlugin_ProgID")};
    EXPECT_EQ(defaultInterface->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
    names[0] = const_cast<LPOLESTR>(L"IKVStPlugin_Version");
    ASSERT_EQ(defaultInterface->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, 0x68030005);

    FUNCDESC* getError = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(3, &getError), S_OK);
    ASSERT_EQ(getError->cParams, 1);
    const ELEMDESC& value = getError->lprgelemdescParam[0];
    EXPECT_TRUE(value.paramdesc.wParamFlags & PARAMFLAG_FOUT);
    EXPECT_TRUE(value.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    ASSERT_EQ(value.tdesc.vt, VT_PTR);
    ASSERT_EQ(value.tdesc.lptdesc->vt, VT_PTR);
    ASSERT_EQ(value.tdesc.lptdesc->lptdesc->vt, VT_USERDEFINED);
    auto error = Referenced(vtable.Get(), value.tdesc.lptdesc->lptdesc->hreftype);
    vtable->ReleaseFuncDesc(getError);
    EXPECT_TRUE(::IsEqualGUID(TypeAttributes(error.Get())->guid, IID__KVStError));
    EXPECT_TRUE(::IsEqualGUID(LibraryOf(error.Get()), LIBID_KVStMgr));
}

}  // namespace
