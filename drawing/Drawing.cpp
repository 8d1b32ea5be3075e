#include "Drawing.h"

#include "com/Bstr.h"

namespace drawing {

NamedEntry::NamedEntry(SharedNames names, std::size_t index) noexcept : names_(std::move(names)), index_(index) {}

HRESULT NamedEntry::get_Name(BSTR* value) { return kv::CopyToBstr((*names_)[index_], value); }

EntryCollection::EntryCollection(SharedNames names) noexcept : names_(std::move(names)) {}

HRESULT EntryCollection::get__NewEnum(IUnknown** value) {
    KV_RETURN_IF_NULL(value);
    *value = nullptr;
    return MakeEnumerator(value);
}

HRESULT EntryCollection::get_Count(LONG* value) {
    KV_RETURN_IF_NULL(value);
    *value = static_cast<LONG>(size());
    return S_OK;
}

HRESULT EntryCollection::Item(LONG index, IDispatch** value) {
    KV_RETURN_IF_NULL(value);
    *value = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= size()) return DISP_E_BADINDEX;
    return MakeEntry(static_cast<std::size_t>(index), value);
}

HRESULT EntryCollection::MakeEntry(std::size_t index, IDispatch** entry) {
    KV_RETURN_IF_NULL(entry);
    *entry = nullptr;
    return kv::Barrier([&] {
        *entry = kv::MakeObject<NamedEntry>(names_, index).Detach();
        return S_OK;
    });
}

HRESULT EntryCollection::MakeEnumerator(IUnknown** enumerator) {
    return kv::Barrier([&] {
        *enumerator = kv::MakeObject<EntryEnumerator>(kv::ComPtr<EntryCollection>(this)).Detach();
        return S_OK;
    });
}

EntryEnumerator::EntryEnumerator(kv::ComPtr<EntryCollection> collection, std::size_t position) noexcept
    : collection_(std::move(collection)), position_(position) {}

HRESULT EntryEnumerator::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (count == 0) return S_OK;
    KV_RETURN_IF_NULL(items);
    if (count > 1 && fetched == nullptr) return E_POINTER;
    ULONG filled = 0;
    while (filled < count && position_ < collection_->size()) {
        IDispatch* entry = nullptr;
        const HRESULT hr = collection_->MakeEntry(position_, &entry);
        if (FAILED(hr)) {
            // A failed call hands back nothing and leaves the position where it was.
            for (ULONG i = 0; i < filled; ++i) ::VariantClear(&items[i]);
            position_ -= filled;
            return hr;
        }
        ::VariantInit(&items[filled]);
        items[filled].vt = VT_DISPATCH;
        items[filled].pdispVal = entry;
        ++filled;
        ++position_;
    }
    if (fetched) *fetched = filled;
    return filled == count ? S_OK : S_FALSE;
}

HRESULT EntryEnumerator::Skip(ULONG count) {
    const std::size_t left = collection_->size() - position_;
    if (count > left) {
        position_ = collection_->size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT EntryEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT EntryEnumerator::Clone(IEnumVARIANT** copy) {
    KV_RETURN_IF_NULL(copy);
    *copy = nullptr;
    return kv::Barrier([&] {
        *copy = kv::MakeObject<EntryEnumerator>(collection_, position_).Detach();
        return S_OK;
    });
}

Drawing::Drawing(DrawingNames names)
    : names_{std::make_shared<const Names>(std::move(names.layers)),
             std::make_shared<const Names>(std::move(names.linetypes)),
             std::make_shared<const Names>(std::move(names.textStyles)),
             std::make_shared<const Names>(std::move(names.dimStyles))} {}

HRESULT Drawing::get_Layers(IDispatch** value) { return Read(Table::Layers, value); }
HRESULT Drawing::get_Linetypes(IDispatch** value) { return Read(Table::Linetypes, value); }
HRESULT Drawing::get_TextStyles(IDispatch** value) { return Read(Table::TextStyles, value); }
HRESULT Drawing::get_DimStyles(IDispatch** value) { return Read(Table::DimStyles, value); }

HRESULT Drawing::Read(Table table, IDispatch** value) {
    KV_RETURN_IF_NULL(value);
    *value = nullptr;
    return MakeCollection(table, value);
}

HRESULT Drawing::MakeCollection(Table table, IDispatch** collection) {
    return kv::Barrier([&] {
        *collection = kv::MakeObject<EntryCollection>(NamesOf(table)).Detach();
        return S_OK;
    });
}

kv::ComPtr<IDispatch> MakeDrawing(DrawingNames names) { return kv::MakeObject<Drawing>(std::move(names)); }

}  // namespace drawing

namespace kv {

template <>
const DispatchTable& DispatchTableOf<IKVDrawing>() noexcept {
    static constexpr DispatchMember members[] = {
        Member<&IKVDrawing::get_Layers>(1, L"Layers", MemberKind::PropertyGet),
        Member<&IKVDrawing::get_Linetypes>(2, L"Linetypes", MemberKind::PropertyGet),
        Member<&IKVDrawing::get_TextStyles>(3, L"TextStyles", MemberKind::PropertyGet),
        Member<&IKVDrawing::get_DimStyles>(4, L"DimStyles", MemberKind::PropertyGet),
    };
    static constexpr DispatchTable table(members);
    return table;
}

template <>
const DispatchTable& DispatchTableOf<IKVEntryCollection>() noexcept {
    static constexpr DispatchMember members[] = {
        Member<&IKVEntryCollection::get__NewEnum>(DISPID_NEWENUM, L"_NewEnum", MemberKind::PropertyGet),
        Member<&IKVEntryCollection::get_Count>(1, L"Count", MemberKind::PropertyGet),
        Member<&IKVEntryCollection::Item>(DISPID_VALUE, L"Item", MemberKind::Method),
    };
    static constexpr DispatchTable table(members);
    return table;
}

template <>
const DispatchTable& DispatchTableOf<IKVNamedEntry>() noexcept {
    static constexpr DispatchMember members[] = {
        Member<&IKVNamedEntry::get_Name>(1, L"Name", MemberKind::PropertyGet),
    };
    static constexpr DispatchTable table(members);
    return table;
}

}  // namespace kv
