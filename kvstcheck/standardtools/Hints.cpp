#include "kvstcheck/standardtools/Hints.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "kvstcheck/standardtools/HintsDifferences.h"
#include "kvstcheck/standardtools/LetterCase.h"

namespace kvstcheck {

std::size_t HintDistanceLimit(std::size_t nameLength) noexcept { return std::min(NearNameIndex::kMostEdits, nameLength / 3); }

HintFinder::HintFinder(const LoadedStandard& standard) {
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        if (!standard.names[kind]) continue;
        KindIndex& index = kinds_[kind];
        std::unordered_set<std::wstring_view> seen;
        for (const std::wstring& name : *standard.names[kind]) {
            // Names left empty by a gap in the file are no name anyone meant.
            if (name.empty() || !seen.insert(name).second) continue;
            index.names.push_back(name);
        }
        std::vector<std::wstring> folded;
        folded.reserve(index.names.size());
        for (std::size_t i = 0; i < index.names.size(); ++i) {
            folded.push_back(FoldLetterCase(index.names[i]));
            index.firstOfFolded.emplace(folded.back(), i);
            if (std::wstring skeleton = FoldLetterCase(Skeleton(index.names[i])); !skeleton.empty())
                index.firstOfSkeleton.emplace(std::move(skeleton), i);
        }
        index.nearNames.emplace(folded);
    }
}

NameHints HintFinder::For(std::wstring_view kindLabel, std::wstring_view name) const {
    const auto kind = KindOfLabel(kindLabel);
    if (!kind) return {};
    const KindIndex& index = kinds_[static_cast<std::size_t>(*kind)];
    std::wstring folded = FoldLetterCase(name);
    if (const auto same = index.firstOfFolded.find(folded); same != index.firstOfFolded.end() && index.names[same->second] != name)
        return NameHints{{index.names[same->second]}, true};
    if (const std::wstring skeleton = Skeleton(name); skeleton != name) folded = FoldLetterCase(skeleton);
    if (const auto alike = index.firstOfSkeleton.find(folded);
        alike != index.firstOfSkeleton.end() && index.names[alike->second] != name) {
        const std::wstring& allowed = index.names[alike->second];
        return NameHints{{allowed}, false, InvisibleDifferences(name, allowed)};
    }

    const std::size_t limit = HintDistanceLimit(folded.size());
    if (limit == 0 || !index.nearNames) return {};
    // (distance, position in the file): the nearest first, and of equals the first written.
    const auto near = index.nearNames->Nearest(folded, limit, kMaxHintNames,
                                               [&](std::size_t position) { return index.names[position] == name; });
    NameHints hints;
    for (const auto& found : near) hints.names.push_back(index.names[found.second]);
    return hints;
}

}  // namespace kvstcheck
