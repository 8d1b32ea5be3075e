#include "kvstcheck/standardtools/EditDistance.h"

#include <algorithm>

namespace kvstcheck {

std::size_t BandedEditDistance::Between(std::wstring_view a, std::wstring_view b, std::size_t limit) {
    const std::size_t beyond = limit + 1;
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > limit) return beyond;
    // A common start and end cost no edit: names of one standard mostly share them ("A-WALL-").
    while (!a.empty() && a.front() == b.front()) {
        a.remove_prefix(1);
        b.remove_prefix(1);
    }
    while (!a.empty() && a.back() == b.back()) {
        a.remove_suffix(1);
        b.remove_suffix(1);
    }
    // previous[j]: the distance of a's first i - 1 characters to b's first j; cells outside the
    // band keep "beyond".
    auto& previous = previous_;
    auto& current = current_;
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

std::size_t BoundedEditDistance(std::wstring_view a, std::wstring_view b, std::size_t limit) {
    return BandedEditDistance().Between(a, b, limit);
}

}  // namespace kvstcheck
