// The automation drawing object as a late-bound client reads it.
#include <gtest/gtest.h>

#include "com/Module.h"
#include "drawing/Drawing.h"
#include "support/DispatchCall.h"
#include "support/TempFolder.h"

namespace {

using kvtest::Call;
using kvtest::IdOfName;
using kvtest::PropertyGet;

drawing::DrawingNames Sample() { return {{L"0", L"Walls"}, {L"Continuous"}, {}, {L"ISO-25", L"标注"}}; }

kv::ComPtr<IDispatch> Member(IDispatch* drawing, const wchar_t* name) {
    const DISPID id = IdOfName(drawing, name);
    EXPECT_NE(id, DISPID_UNKNOWN) << kvtest::Utf8(name);
    auto result = PropertyGet(drawing, id);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.value.type(), VT_DISPATCH);
    return result.value.type() == VT_DISPATCH ? result.value.get().pdispVal : nullptr;
}

std::wstring NameOf(IDispatch* entry) {
    auto name = PropertyGet(entry, IdOfName(entry, L"Name"));
    EXPECT_EQ(name.hr, S_OK);
    EXPECT_EQ(name.value.type(), VT_BSTR);
    return name.value.type() == VT_BSTR ? std::wstring(name.value.get().bstrVal) : L"";
}

kv::ComPtr<IEnumVARIANT> EnumeratorOf(IDispatch* collection) {
    auto result = Call(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_EQ(result.hr, S_OK);
    kv::ComPtr<IEnumVARIANT> items;
    if (result.value.type() == VT_UNKNOWN) result.value.get().punkVal->QueryInterface(IID_PPV_ARGS(&items));
    EXPECT_NE(items.Get(), nullptr);
    return items;
}

// Names fetched through Next, count at a time, until it reports the end.
std::vector<std::wstring> Drain(IEnumVARIANT* items, ULONG count) {
    std::vector<std::wstring> names;
    for (;;) {
        std::vector<VARIANT> batch(count);
        for (VARIANT& v : batch) ::VariantInit(&v);
        ULONG fetched = 99;
        const HRESULT hr = items->Next(count, batch.data(), &fetched);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
        EXPECT_EQ(hr == S_OK, fetched == count);
        for (ULONG i = 0; i < fetched; ++i) {
            EXPECT_EQ(batch[i].vt, VT_DISPATCH);
            names.push_back(NameOf(batch[i].pdispVal));
            ::VariantClear(&batch[i]);
        }
        if (hr != S_OK) return names;
    }
}

TEST(DrawingTest, EveryCollectionIsReachedByNameAndEnumeratedInOrder) {
    const LONG objectsBefore = kv::module::ObjectCount();
    {
        auto subject = drawing::MakeDrawing(Sample());
        const drawing::DrawingNames expected = Sample();
        const std::pair<const wchar_t*, const drawing::Names*> members[] = {
            {L"Layers", &expected.layers},
            {L"LINETYPES", &expected.linetypes},
            {L"TextStyles", &expected.textStyles},
            {L"dimstyles", &expected.dimStyles},
        };
        for (const auto& [name, names] : members) {
            SCOPED_TRACE(kvtest::Utf8(name));
            auto collection = Member(subject.Get(), name);
            ASSERT_NE(collection.Get(), nullptr);
            auto count = PropertyGet(collection.Get(), IdOfName(collection.Get(), L"Count"));
            ASSERT_EQ(count.hr, S_OK);
            EXPECT_EQ(count.value.get().lVal, static_cast<LONG>(names->size()));
            EXPECT_EQ(Drain(EnumeratorOf(collection.Get()).Get(), 1), *names);
            EXPECT_EQ(Drain(EnumeratorOf(collection.Get()).Get(), 3), *names);
        }
        EXPECT_EQ(IdOfName(subject.Get(), L"Blocks"), DISPID_UNKNOWN);
    }
    EXPECT_EQ(kv::module::ObjectCount(), objectsBefore);
}

TEST(DrawingTest, ItemCountsFromZeroAndRefusesOtherIndices) {
    auto layers = Member(drawing::MakeDrawing(Sample()).Get(), L"Layers");
    const DISPID item = IdOfName(layers.Get(), L"Item");
    ASSERT_EQ(item, DISPID_VALUE);
    for (LONG index : {0, 1}) {
        auto entry = Call(layers.Get(), item, DISPATCH_METHOD, {kvtest::Long(index)});
        ASSERT_EQ(entry.hr, S_OK);
        EXPECT_EQ(NameOf(entry.value.get().pdispVal), Sample().layers[index]);
    }
    for (LONG index : {-1, 2})
        EXPECT_EQ(Call(layers.Get(), item, DISPATCH_METHOD, {kvtest::Long(index)}).hr, DISP_E_BADINDEX) << index;
}

TEST(DrawingTest, EnumeratorsSkipResetCloneAndKeepTheirCollection) {
    const LONG objectsBefore = kv::module::ObjectCount();
    {
        kv::ComPtr<IEnumVARIANT> items;
        {
            auto subject = drawing::MakeDrawing(Sample());
            items = EnumeratorOf(Member(subject.Get(), L"DimStyles").Get());
        }
        // The drawing and the collection's own reference are gone; the enumerator still works.
        EXPECT_EQ(items->Skip(1), S_OK);
        kv::ComPtr<IEnumVARIANT> copy;
        ASSERT_EQ(items->Clone(&copy), S_OK);
        EXPECT_EQ(Drain(items.Get(), 1), (std::vector<std::wstring>{L"标注"}));
        EXPECT_EQ(Drain(copy.Get(), 2), (std::vector<std::wstring>{L"标注"}));
        EXPECT_EQ(items->Skip(1), S_FALSE);
        ASSERT_EQ(items->Reset(), S_OK);
        EXPECT_EQ(items->Skip(5), S_FALSE);
        ASSERT_EQ(items->Reset(), S_OK);
        EXPECT_EQ(Drain(items.Get(), 2), Sample().dimStyles);
        VARIANT unused[2];
        EXPECT_EQ(items->Next(2, unused, nullptr), E_POINTER);
    }
    EXPECT_EQ(kv::module::ObjectCount(), objectsBefore);
}

TEST(DrawingTest, EachReadGivesANewCollectionOverTheSameNames) {
    auto subject = drawing::MakeDrawing(Sample());
    auto first = Member(subject.Get(), L"Layers");
    auto second = Member(subject.Get(), L"Layers");
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(Drain(EnumeratorOf(second.Get()).Get(), 2), Sample().layers);
    EXPECT_EQ(kvtest::RefCount(subject.Get()), 1u);
}

}  // namespace
