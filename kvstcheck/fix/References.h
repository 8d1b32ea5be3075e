#pragma once
// Which pairs of a drawing name a layer, linetype, text style or dimension style: a small table of
// (section, object type, group code) -> kind, with the places that hold other names or no name.
// Portable.
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/fix/PairStream.h"
#include "kvstcheck/fix/Rewrite.h"

namespace kvstcheck::fix {

enum class PlaceRole {
    NoName,     // not a name at all (text, a file, a number, a handle, structure)
    Reference,  // names an entry of kind
    EntryName,  // the table entry's own name, of kind
    Other,      // a name of something else (a block, a tag, a key): reason says what
    Unknown,    // a string the fix cannot tell: it may name an entry
};

struct PlaceMeaning {
    PlaceRole role = PlaceRole::NoName;
    FixKind kind = FixKind::Layers;
    std::string_view reason;  // for Other and Unknown
};

// Where a pair sits: its unit, the header variable it belongs to, whether it is extended data.
struct PairContext {
    const UnitPlace* place = nullptr;
    std::string_view variable;  // in the HEADER section: the last group 9
    bool extendedData = false;  // after group 1001 in its unit
};

PlaceMeaning MeaningOf(const PairContext& context, int code);

// Calls visit(pair, index, context) for each pair of the unit after its first.
template <typename Visit>
void ForEachPair(const Unit& unit, Visit&& visit) {
    PairContext context{&unit.place(), {}, false};
    const auto& pairs = unit.pairs();
    for (std::size_t i = 1; i < pairs.size(); ++i) {
        const RawPair& pair = pairs[i];
        if (pair.code == 1001) context.extendedData = true;
        if (pair.code == 9) context.variable = pair.keyword();
        if (pair.code != kCommentCode) visit(pair, i, context);
    }
}

// Values that point at an object by its handle.
bool IsHandleCode(int code) noexcept;

// The table of a kind ("LAYER", ...), and the kind of a table name.
std::string_view TableOf(FixKind kind) noexcept;
std::optional<FixKind> KindOfTable(std::string_view table) noexcept;
std::string_view KindWord(FixKind kind) noexcept;  // "layer", "linetype", ...

// 0, Defpoints, ByLayer, ByBlock, Continuous, Standard: never renamed or removed (folded).
bool IsReservedName(std::wstring_view folded) noexcept;
// What R12 allows in a name: up to 31 of A-Z, a-z, 0-9, $, - and _.
bool FitsR12(std::wstring_view name) noexcept;

// Group 70 of a table entry: the entry comes from an external reference.
inline constexpr long long kDependentFlag = 16;

}  // namespace kvstcheck::fix
