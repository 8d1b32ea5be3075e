#pragma once
// An automation drawing served from four name lists. The drawing answers Layers, Linetypes,
// TextStyles and DimStyles; each collection answers _NewEnum (an IEnumVARIANT of entries), Count and
// Item(index from 0); each entry answers Name. The classes are open so that tests can make variants
// that fail or record.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "KVDrawing.h"
#include "com/ComObject.h"
#include "com/Dispatch.h"

namespace kv {
template <>
const DispatchTable& DispatchTableOf<IKVDrawing>() noexcept;
template <>
const DispatchTable& DispatchTableOf<IKVEntryCollection>() noexcept;
template <>
const DispatchTable& DispatchTableOf<IKVNamedEntry>() noexcept;
}  // namespace kv

namespace drawing {

using Names = std::vector<std::wstring>;
using SharedNames = std::shared_ptr<const Names>;

// The drawing's collections, in the order the drawing declares them.
enum class Table : std::size_t { Layers, Linetypes, TextStyles, DimStyles };
inline constexpr std::size_t kTableCount = 4;

struct DrawingNames {
    Names layers;
    Names linetypes;
    Names textStyles;
    Names dimStyles;
};

class NamedEntry : public kv::ComObject<kv::DispatchFor<IKVNamedEntry>> {
public:
    NamedEntry(SharedNames names, std::size_t index) noexcept;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;

private:
    SharedNames names_;
    std::size_t index_;
};

class EntryCollection : public kv::ComObject<kv::DispatchFor<IKVEntryCollection>> {
public:
    explicit EntryCollection(SharedNames names) noexcept;

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** value) override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override;
    HRESULT STDMETHODCALLTYPE Item(LONG index, IDispatch** value) override;

    std::size_t size() const noexcept { return names_->size(); }
    // The entry at index (below size()), as Item and the enumerators hand it out.
    virtual HRESULT MakeEntry(std::size_t index, IDispatch** entry);

protected:
    virtual HRESULT MakeEnumerator(IUnknown** enumerator);

    SharedNames names_;
};

// Walks a collection's entries; holds the collection for as long as it lives.
class EntryEnumerator : public kv::ComObject<IEnumVARIANT> {
public:
    explicit EntryEnumerator(kv::ComPtr<EntryCollection> collection, std::size_t position = 0) noexcept;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override;

protected:
    kv::ComPtr<EntryCollection> collection_;
    std::size_t position_;
};

class Drawing : public kv::ComObject<kv::DispatchFor<IKVDrawing>> {
public:
    explicit Drawing(DrawingNames names);

    HRESULT STDMETHODCALLTYPE get_Layers(IDispatch** value) override;
    HRESULT STDMETHODCALLTYPE get_Linetypes(IDispatch** value) override;
    HRESULT STDMETHODCALLTYPE get_TextStyles(IDispatch** value) override;
    HRESULT STDMETHODCALLTYPE get_DimStyles(IDispatch** value) override;

protected:
    // A new collection object over the table's names, on every read.
    virtual HRESULT MakeCollection(Table table, IDispatch** collection);
    const SharedNames& NamesOf(Table table) const noexcept { return names_[static_cast<std::size_t>(table)]; }

private:
    HRESULT Read(Table table, IDispatch** value);

    std::array<SharedNames, kTableCount> names_;
};

// A drawing object over names, as an automation client receives it; throws std::bad_alloc.
kv::ComPtr<IDispatch> MakeDrawing(DrawingNames names);

}  // namespace drawing
