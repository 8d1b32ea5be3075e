#pragma once
// Hints for findings: the allowed names of the finding's kind that its author may have meant.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kvstcheck/reports/Report.h"
#include "kvstcheck/standardtools/HintsIndex.h"
#include "kvstcheck/standardtools/LoadedStandard.h"

namespace kvstcheck {

// At most this many names in a hint.
inline constexpr std::size_t kMaxHintNames = 3;

// How far (in edits, letter case aside) an allowed name may be from a name to be offered for it.
std::size_t HintDistanceLimit(std::size_t nameLength) noexcept;

class HintFinder {
public:
    explicit HintFinder(const LoadedStandard& standard);

    // The hints for a finding of this kind label and name; none for a label of no kind. A name that
    // looks like an allowed one gets that name and what a reader cannot see; else the nearest names,
    // by how the names read.
    NameHints For(std::wstring_view kindLabel, std::wstring_view name) const;

private:
    struct KindIndex {
        std::vector<std::wstring> names;  // in file order, each once, no empty name
        std::unordered_map<std::wstring, std::size_t> firstOfFolded;
        std::unordered_map<std::wstring, std::size_t> firstOfSkeleton;  // skeletons, letter case folded
        std::optional<NearNameIndex> nearNames;  // the names, letter case folded
    };
    audit::PerKind<KindIndex> kinds_;
};

}  // namespace kvstcheck
