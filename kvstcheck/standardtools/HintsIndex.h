#pragma once
// The nearest-name search of hints: every name of a kind within a few edits of a query, found through
// an index instead of a pass over all the kind's names. Portable.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kvstcheck {

// Each name (letter case already folded) is cut into up to kSegments pieces. A name within d edits of a
// query keeps all but d of its pieces intact, each in the query shifted by at most d; so it holds one
// of any d + 1 of them. A search reads the names of the d + 1 pieces with the fewest names, and
// measures only those that keep enough pieces. Pieces are looked up by a hash: a collision adds a
// name to look at and never loses one.
class NearNameIndex {
public:
    static constexpr std::size_t kSegments = 6;

    explicit NearNameIndex(std::vector<std::wstring> folded);

    // (distance, position) of every name within limit edits of query, in no order.
    std::vector<std::pair<std::size_t, std::size_t>> Within(std::wstring_view query, std::size_t limit) const;

private:
    void Probe(std::wstring_view query, std::size_t length, std::size_t limit, std::vector<std::uint32_t>& candidates) const;

    std::vector<std::wstring> folded_;
    std::vector<std::vector<std::uint32_t>> byLength_;  // positions of names by length
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> pieces_;
    // Scratch of one search at a time: hints are asked for from one thread, the lock keeps it right.
    mutable std::mutex searching_;
    mutable std::vector<std::uint32_t> seen_;  // the search that last looked at each name
    mutable std::uint32_t queries_ = 0;
};

}  // namespace kvstcheck
