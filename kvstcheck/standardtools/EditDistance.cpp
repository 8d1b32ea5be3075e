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

WordEditDistance::WordEditDistance(std::wstring_view pattern) : length_(pattern.size()) {
    for (std::size_t i = 0; i < pattern.size() && i < kLongestPattern; ++i) {
        const Word bit = Word{1} << i;
        const wchar_t c = pattern[i];
        if (c < 256) {
            lowPositions_[c] |= bit;
            continue;
        }
        const auto known = std::find_if(otherPositions_.begin(), otherPositions_.end(),
                                        [c](const auto& entry) { return entry.first == c; });
        if (known != otherPositions_.end())
            known->second |= bit;
        else
            otherPositions_.emplace_back(c, bit);
    }
}

WordEditDistance::Word WordEditDistance::PositionsOf(wchar_t c) const {
    if (c < 256) return lowPositions_[c];
    for (const auto& [character, positions] : otherPositions_)
        if (character == c) return positions;
    return 0;
}

std::size_t WordEditDistance::To(std::wstring_view text) const {
    if (length_ == 0) return text.size();
    // Pv, Mv: the column's vertical steps of +1 and -1; the score is the column's last cell.
    const Word last = Word{1} << (length_ - 1);
    Word plusVertical = ~Word{0};
    Word minusVertical = 0;
    std::size_t score = length_;
    for (const wchar_t c : text) {
        const Word equal = PositionsOf(c);
        const Word xv = equal | minusVertical;
        const Word xh = (((equal & plusVertical) + plusVertical) ^ plusVertical) | equal;
        Word plusHorizontal = minusVertical | ~(xh | plusVertical);
        Word minusHorizontal = plusVertical & xh;
        if (plusHorizontal & last)
            ++score;
        else if (minusHorizontal & last)
            --score;
        // The first row grows by one per character: a step of +1 enters at the top.
        plusHorizontal = (plusHorizontal << 1) | 1;
        minusHorizontal <<= 1;
        plusVertical = minusHorizontal | ~(xv | plusHorizontal);
        minusVertical = plusHorizontal & xv;
    }
    return score;
}

}  // namespace kvstcheck
