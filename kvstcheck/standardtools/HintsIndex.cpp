#include "kvstcheck/standardtools/HintsIndex.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <optional>
#include <utility>

#include "kvstcheck/standardtools/EditDistance.h"

namespace kvstcheck {
namespace {

std::size_t SegmentsOf(std::size_t length) { return std::min(length, NearNameIndex::kSegments); }
std::size_t SegmentStart(std::size_t length, std::size_t segment) { return segment * length / SegmentsOf(length); }

// FNV-1a over the name's length, the piece's number and its characters.
std::uint64_t PieceKey(std::size_t length, std::size_t segment, std::wstring_view piece) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](std::uint64_t value) {
        hash ^= value;
        hash *= 1099511628211ull;
    };
    mix(length);
    mix(segment);
    for (const wchar_t c : piece) mix(static_cast<std::uint64_t>(c));
    return hash;
}

// Calls visit with each place at which a piece of a name of this length may stand in the query when the
// name is within limit edits: the edits before the piece shift it, those after it make up the rest of
// the length change.
template <class Visit>
void ForEachPlace(std::wstring_view query, std::size_t length, std::size_t start, std::size_t size, std::size_t limit,
                  Visit visit) {
    const long change = static_cast<long>(query.size()) - static_cast<long>(length);
    const long most = static_cast<long>(limit);
    for (long shift = -most; shift <= most; ++shift) {
        if (std::abs(shift) + std::abs(change - shift) > most) continue;
        const long at = static_cast<long>(start) + shift;
        if (at >= 0 && at + static_cast<long>(size) <= static_cast<long>(query.size())) visit(static_cast<std::size_t>(at));
    }
}

// The positions of several lists in ascending order, each once: marked in a bitmap of all the kind's
// positions (a few kilobytes), then read word by word.
class PositionsInOrder {
public:
    PositionsInOrder(const std::vector<const std::vector<std::uint32_t>*>& lists, std::size_t names)
        : words_(names / 64 + 1) {
        for (const auto* list : lists)
            for (const std::uint32_t position : *list) words_[position / 64] |= std::uint64_t{1} << (position % 64);
    }

    std::optional<std::uint32_t> Next() {
        for (; word_ < words_.size(); ++word_) {
            if (words_[word_] == 0) continue;
            const int bit = std::countr_zero(words_[word_]);
            words_[word_] &= words_[word_] - 1;
            return static_cast<std::uint32_t>(word_ * 64 + static_cast<std::size_t>(bit));
        }
        return std::nullopt;
    }

private:
    std::vector<std::uint64_t> words_;
    std::size_t word_ = 0;
};

}  // namespace

NearNameIndex::NearNameIndex(const std::vector<std::wstring>& folded) : pieceKeys_(folded.size() * kSegments) {
    starts_.push_back(0);
    for (const std::wstring& name : folded) {
        characters_ += name;
        starts_.push_back(characters_.size());
    }
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const std::wstring_view name = folded[i];
        if (byLength_.size() <= name.size()) byLength_.resize(name.size() + 1);
        byLength_[name.size()].push_back(static_cast<std::uint32_t>(i));
        for (std::size_t segment = 0; segment < SegmentsOf(name.size()); ++segment) {
            const std::size_t start = SegmentStart(name.size(), segment);
            const std::size_t end = SegmentStart(name.size(), segment + 1);
            const std::uint64_t key = PieceKey(name.size(), segment, name.substr(start, end - start));
            pieces_[key].push_back(static_cast<std::uint32_t>(i));
            pieceKeys_[i * kSegments + segment] = static_cast<std::uint32_t>(key);
        }
    }
}

// The postings of the distance + 1 pieces with the fewest names, at every place in the query where a
// name of this length within that distance may hold them; every name of the length when it has too
// few pieces for one to survive.
std::vector<const NearNameIndex::Postings*> NearNameIndex::RarestPieces(std::wstring_view query, std::size_t length,
                                                                        std::size_t distance, PlacedPieces& placed) const {
    const std::size_t segments = SegmentsOf(length);
    if (segments <= distance) return {&byLength_[length]};
    struct Piece {
        std::size_t names = 0;
        std::vector<const Postings*> lists;
    };
    std::vector<Piece> bySegment(segments);
    for (std::size_t segment = 0; segment < segments; ++segment) {
        const std::size_t start = SegmentStart(length, segment);
        const std::size_t size = SegmentStart(length, segment + 1) - start;
        ForEachPlace(query, length, start, size, distance, [&](std::size_t at) {
            const auto posting = pieces_.find(PieceKey(length, segment, query.substr(at, size)));
            if (posting == pieces_.end()) return;
            placed[segment].push_back(static_cast<std::uint32_t>(posting->first));
            bySegment[segment].names += posting->second.size();
            bySegment[segment].lists.push_back(&posting->second);
        });
    }
    std::partial_sort(bySegment.begin(), bySegment.begin() + static_cast<std::ptrdiff_t>(distance + 1), bySegment.end(),
                      [](const Piece& a, const Piece& b) { return a.names < b.names; });
    std::vector<const Postings*> rarest;
    for (std::size_t chosen = 0; chosen <= distance; ++chosen)
        rarest.insert(rarest.end(), bySegment[chosen].lists.begin(), bySegment[chosen].lists.end());
    return rarest;
}

// Whether the name keeps its pieces where a name within distance edits of the query must: all but
// distance of them. Pieces compare by their keys: a collision lets a name through to be measured.
bool NearNameIndex::KeepsEnoughPieces(std::size_t position, const PlacedPieces& placed, std::size_t distance) const {
    const std::size_t segments = SegmentsOf(starts_[position + 1] - starts_[position]);
    std::size_t missing = 0;
    for (std::size_t segment = 0; segment < segments && missing <= distance; ++segment) {
        const std::uint32_t key = pieceKeys_[position * kSegments + segment];
        missing += std::find(placed[segment].begin(), placed[segment].end(), key) == placed[segment].end() ? 1 : 0;
    }
    return missing <= distance;
}

std::vector<std::pair<std::size_t, std::size_t>> NearNameIndex::Nearest(
    std::wstring_view query, std::size_t limit, std::size_t count, const std::function<bool(std::size_t)>& skip) const {
    std::vector<std::pair<std::size_t, std::size_t>> nearest;
    BandedEditDistance banded;
    const bool fitsAWord = query.size() <= WordEditDistance::kLongestPattern;
    const WordEditDistance word(fitsAWord ? query : std::wstring_view());
    // Distance by distance: within one, file order is the order of the answer, so a search stops as
    // soon as it has enough.
    for (std::size_t distance = 0; distance <= limit && nearest.size() < count; ++distance) {
        std::vector<const Postings*> lists;
        const std::size_t shortest = query.size() > distance ? query.size() - distance : 0;
        std::vector<PlacedPieces> placed(2 * distance + 1);  // by length, from the shortest
        for (std::size_t length = shortest; length <= query.size() + distance && length < byLength_.size(); ++length) {
            if (byLength_[length].empty()) continue;
            const auto rarest = RarestPieces(query, length, distance, placed[length - shortest]);
            lists.insert(lists.end(), rarest.begin(), rarest.end());
        }
        PositionsInOrder positions(lists, starts_.size() - 1);
        while (nearest.size() < count) {
            const auto position = positions.Next();
            if (!position) break;
            const std::wstring_view name = Name(*position);
            if (!KeepsEnoughPieces(*position, placed[name.size() - shortest], distance) || skip(*position)) continue;
            const std::size_t measured = fitsAWord ? word.To(name) : banded.Between(query, name, distance);
            if (measured == distance) nearest.emplace_back(distance, *position);
        }
    }
    return nearest;
}

}  // namespace kvstcheck
