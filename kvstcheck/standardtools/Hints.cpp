#include "kvstcheck/standardtools/Hints.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "kvstcheck/standardtools/LetterCase.h"

namespace kvstcheck {

namespace {

// Two rows of the distance table, kept between calls so that a search allocates once.
struct DistanceRows {
    std::vector<std::size_t> previous;
    std::vector<std::size_t> current;
};

std::size_t BandedDistance(std::wstring_view a, std::wstring_view b, std::size_t limit, DistanceRows& rows) {
    const std::size_t beyond = limit + 1;
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > limit) return beyond;
    // previous[j]: the distance of a's first i - 1 characters to b's first j; cells outside the
    // band keep "beyond".
    auto& previous = rows.previous;
    auto& current = rows.current;
    previous.assign(b.size() + 1, beyond);
    current.assign(b.size() + 1, beyond);
    for (std::size_t j = 0; j <= std::min(b.size(), limit); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        const std::size_t from = i > limit ? i - limit : 1;
        const std::size_t to = std::min(b.size(), i + limit);
        // The cell left of the band: the first column inside the limit, else out of the band (this
        // buffer may still hold a cell of two rows before).
        current[from - 1] = (from == 1 && i <= limit) ? i : beyond;
        std::size_t rowBest = current[from - 1];
        for (std::size_t j = from; j <= to; ++j) {
            const std::size_t substitute = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            const std::size_t cell = std::min({substitute, previous[j] + 1, current[j - 1] + 1, beyond});
            current[j] = cell;
            rowBest = std::min(rowBest, cell);
        }
        if (rowBest > limit) return beyond;
        std::swap(previous, current);
    }
    return std::min(previous[b.size()], beyond);
}

}  // namespace

std::size_t BoundedEditDistance(std::wstring_view a, std::wstring_view b, std::size_t limit) {
    DistanceRows rows;
    return BandedDistance(a, b, limit, rows);
}

std::size_t HintDistanceLimit(std::size_t nameLength) noexcept { return std::min<std::size_t>(3, nameLength / 3); }

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
        for (std::size_t i = 0; i < index.names.size(); ++i) {
            std::wstring folded = FoldLetterCase(index.names[i]);
            index.firstOfFolded.emplace(folded, i);
            if (index.byLength.size() <= folded.size()) index.byLength.resize(folded.size() + 1);
            index.byLength[folded.size()].push_back(i);
            index.folded.push_back(std::move(folded));
        }
    }
}

NameHints HintFinder::For(std::wstring_view kindLabel, std::wstring_view name) const {
    const auto kind = KindOfLabel(kindLabel);
    if (!kind) return {};
    const KindIndex& index = kinds_[static_cast<std::size_t>(*kind)];
    const std::wstring folded = FoldLetterCase(name);

    if (const auto same = index.firstOfFolded.find(folded);
        same != index.firstOfFolded.end() && index.names[same->second] != name)
        return NameHints{{index.names[same->second]}, true};

    const std::size_t limit = HintDistanceLimit(folded.size());
    if (limit == 0) return {};
    // (distance, position in the file): the nearest first, and of equals the first written.
    std::vector<std::pair<std::size_t, std::size_t>> near;
    DistanceRows rows;
    const std::size_t shortest = folded.size() > limit ? folded.size() - limit : 0;
    const std::size_t longest = std::min(folded.size() + limit, index.byLength.empty() ? 0 : index.byLength.size() - 1);
    for (std::size_t length = shortest; length <= longest && length < index.byLength.size(); ++length) {
        for (const std::size_t candidate : index.byLength[length]) {
            if (index.names[candidate] == name) continue;
            const std::size_t distance = BandedDistance(folded, index.folded[candidate], limit, rows);
            if (distance <= limit) near.emplace_back(distance, candidate);
        }
    }
    const std::size_t kept = std::min(near.size(), kMaxHintNames);
    std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(kept), near.end());
    NameHints hints;
    for (std::size_t i = 0; i < kept; ++i) hints.names.push_back(index.names[near[i].second]);
    return hints;
}

}  // namespace kvstcheck
