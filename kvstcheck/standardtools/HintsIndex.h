#pragma once
// The nearest-name search of hints: the names of a kind nearest a query within a few edits, found
// through an index instead of a pass over all the kind's names. Portable.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kvstcheck {

// Each name (letter case already folded) is cut into up to kSegments pieces. A name within d edits of a
// query keeps all but d of its pieces intact, each in the query shifted by at most d; so it holds one
// of any d + 1 of them. A search for the names at distance d reads, in file order, the names of the
// d + 1 pieces with the fewest names, measures only those that keep enough pieces, and stops once it
// has enough. Pieces are looked up by a hash: a collision adds a name to look at and never loses one.
class NearNameIndex {
public:
    static constexpr std::size_t kSegments = 6;

    explicit NearNameIndex(const std::vector<std::wstring>& folded);

    // (distance, position) of the `count` names nearest the query within limit edits: the nearest
    // first, of equals the first in the file; names for which `skip` is true left out.
    std::vector<std::pair<std::size_t, std::size_t>> Nearest(std::wstring_view query, std::size_t limit,
                                                             std::size_t count,
                                                             const std::function<bool(std::size_t)>& skip) const;

private:
    using Postings = std::vector<std::uint32_t>;  // positions of names, ascending
    // Per piece of a name of one length: the keys of the query's text at each place it may stand.
    using PlacedPieces = std::array<std::vector<std::uint32_t>, kSegments>;
    std::vector<const Postings*> RarestPieces(std::wstring_view query, std::size_t length, std::size_t distance,
                                              PlacedPieces& placed) const;
    bool KeepsEnoughPieces(std::size_t position, const PlacedPieces& placed, std::size_t distance) const;

    std::wstring_view Name(std::size_t position) const {
        return std::wstring_view(characters_).substr(starts_[position], starts_[position + 1] - starts_[position]);
    }

    // The names one after another, so that a search reading many of them stays in the cache.
    std::wstring characters_;
    std::vector<std::size_t> starts_;  // where each name begins, and where the last ends
    std::vector<Postings> byLength_;
    std::unordered_map<std::uint64_t, Postings> pieces_;
    std::vector<std::uint32_t> pieceKeys_;  // kSegments per name: its pieces' keys, cut to 32 bits
};

}  // namespace kvstcheck
