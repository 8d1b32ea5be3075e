#pragma once
// The audit walk: every drawing name, kind by kind in walk order, looked up in the standard's
// names of its kind; each name that the standard does not list is one finding.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Kinds.h"
#include "standards/NameList.h"
#include "standards/NameStore.h"

namespace audit {

// Where the walk resumes. Kind and position are kept apart, so that no list length can carry the
// position of one kind into the next.
struct Cursor {
    std::uint8_t kind = 0;        // index in walk order; kKindCount once the walk is over
    std::uint32_t position = 0;   // index of the next name in the kind's drawing list
    bool operator==(const Cursor&) const = default;
};

using ListsByKind = PerKind<const standards::NameList*>;

// True when one of the entries 0 to count - 1 of list equals name exactly (case and spaces
// included); false for a count of 0 or less.
bool IsStandardName(std::wstring_view name, const standards::NameList& list, LONG count) noexcept;

// The standard's names of each kind, hashed once per load, so that a lookup does not scan them.
class StandardIndex {
public:
    // Indexes every entry of each list, as views: the names must outlive the index. A view that
    // carries its index already lends it. Throws std::bad_alloc and then keeps the index it had.
    void Build(const PerKind<const standards::NameList*>& standard) { BuildFrom(standard); }
    void Build(const PerKind<const standards::NameView*>& standard) { BuildFrom(standard); }
    void Clear() noexcept;
    // The same answer as IsStandardName(name, list, entries of list) for the kind's indexed list.
    bool Lists(Kind kind, const std::wstring& name) const noexcept;

private:
    using Index = std::shared_ptr<const standards::NameSet>;

    static Index IndexOf(const standards::NameView& names) {
        if (Index index = names.Index()) return index;
        return standards::HashedNames(names);
    }
    static Index IndexOf(const standards::NameList& names) { return standards::HashedNames(names); }
    template <class List>
    void BuildFrom(const PerKind<const List*>& standard) {
        PerKind<Index> built;
        for (std::size_t kind = 0; kind < kKindCount; ++kind) built[kind] = IndexOf(*standard[kind]);
        names_.swap(built);
    }

    PerKind<Index> names_;
};

struct Finding {
    Kind kind;
    const std::wstring* name;  // points into the drawing list it came from
};

// Examines names from cursor on and stops after the first one that the standard does not list,
// with the cursor just past it; without one, the cursor ends past the last kind.
std::optional<Finding> NextFinding(Cursor& cursor, const ListsByKind& drawing, const StandardIndex& standard) noexcept;

}  // namespace audit
