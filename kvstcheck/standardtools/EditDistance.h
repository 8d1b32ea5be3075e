#pragma once
// Edit distances between names (insertions, deletions and substitutions of UTF-16 code units),
// bounded so that a search through tens of thousands of names stays fast. Portable.
#include <cstddef>
#include <string_view>
#include <vector>

namespace kvstcheck {

// The edit distance of a and b when it is at most limit, else limit + 1. Only the band of width
// 2 * limit + 1 around the diagonal is computed, and the work stops once every cell of a row
// exceeds the limit.
std::size_t BoundedEditDistance(std::wstring_view a, std::wstring_view b, std::size_t limit);

// The same, keeping its rows between calls so that a search allocates once.
class BandedEditDistance {
public:
    std::size_t Between(std::wstring_view a, std::wstring_view b, std::size_t limit);

private:
    std::vector<std::size_t> previous_;
    std::vector<std::size_t> current_;
};

}  // namespace kvstcheck
