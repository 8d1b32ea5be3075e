// The owners of BSTR, VARIANT and interface pointers, and the object base's counts.
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Module.h"
#include "com/Variant.h"

struct IThing : IUnknown {};
__CRT_UUID_DECL(IThing, 0x6C1E2F55, 0x0B7A, 0x4B9E, 0x9E, 0x21, 0x3D, 0x3A, 0x9E, 0x1C, 0x70, 0x02)

struct IOther : IUnknown {};
__CRT_UUID_DECL(IOther, 0x6C1E2F55, 0x0B7A, 0x4B9E, 0x9E, 0x21, 0x3D, 0x3A, 0x9E, 0x1C, 0x70, 0x03)

namespace {

TEST(BstrTest, CopiesAreDeepAndEmbeddedNulsSurvive) {
    const std::wstring text(L"a\0b", 3);
    kv::Bstr original(text);
    kv::Bstr copy = original;
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(copy.view(), text);
    EXPECT_EQ(copy.view().size(), 3u);
}

TEST(BstrTest, AddressOfReleasesTheOldValue) {
    kv::Bstr owner(L"first");
    BSTR* slot = &owner;
    EXPECT_EQ(*slot, nullptr);
    *slot = ::SysAllocString(L"second");
    EXPECT_EQ(owner.view(), L"second");
}

TEST(BstrTest, CopyToRefusesANullOutParameter) {
    EXPECT_EQ(kv::CopyToBstr(L"x", nullptr), E_POINTER);
    BSTR out = nullptr;
    ASSERT_EQ(kv::CopyToBstr(L"", &out), S_OK);
    EXPECT_NE(out, nullptr);  // an empty string, not a null one
    ::SysFreeString(out);
}

TEST(VariantTest, CopiesOfArraysAreDeep) {
    kv::SafeArray array = kv::SafeArray::Vector(VT_VARIANT, 1);
    kv::PutElement(array.get(), 0, kv::Variant::FromString(L"AcadLayer"));
    VARIANT raw;
    ::VariantInit(&raw);
    raw.vt = VT_ARRAY | VT_VARIANT;
    raw.parray = array.release();
    kv::Variant original = kv::Variant::Take(raw);
    kv::Variant copy = original;
    EXPECT_NE(copy.get().parray, original.get().parray);
    LONG index = 0;
    kv::Variant element;
    ASSERT_EQ(::SafeArrayGetElement(copy.get().parray, &index, &element), S_OK);
    EXPECT_STREQ(element.get().bstrVal, L"AcadLayer");
}

class Thing final : public kv::ComObject<IThing, IOther> {
public:
    explicit Thing(bool& destroyed) : destroyed_(destroyed) {}
    ~Thing() override { destroyed_ = true; }

private:
    bool& destroyed_;
};

TEST(ComObjectTest, AnswersItsInterfacesWithOneIdentity) {
    bool destroyed = false;
    auto thing = kv::MakeObject<Thing>(destroyed);
    kv::ComPtr<IUnknown> viaOther, viaThing;
    kv::ComPtr<IOther> other;
    ASSERT_EQ(thing->QueryInterface(IID_PPV_ARGS(&other)), S_OK);
    ASSERT_EQ(other->QueryInterface(IID_PPV_ARGS(&viaOther)), S_OK);
    ASSERT_EQ(thing->QueryInterface(IID_PPV_ARGS(&viaThing)), S_OK);
    EXPECT_EQ(viaOther.Get(), viaThing.Get());
    kv::ComPtr<IDispatch> dispatch;
    EXPECT_EQ(thing->QueryInterface(IID_PPV_ARGS(&dispatch)), E_NOINTERFACE);
    EXPECT_EQ(dispatch.Get(), nullptr);
    EXPECT_EQ(thing->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(ComObjectTest, LastReleaseDestroysAndUncounts) {
    const LONG before = kv::module::ObjectCount();
    bool destroyed = false;
    IThing* raw = kv::MakeObject<Thing>(destroyed).Detach();
    EXPECT_EQ(kv::module::ObjectCount(), before + 1);
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(raw->Release(), 0u);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(kv::module::ObjectCount(), before);
}

}  // namespace
