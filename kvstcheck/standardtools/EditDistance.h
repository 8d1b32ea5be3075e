#pragma once
// Edit distances between names (insertions, deletions and substitutions of UTF-16 code units),
// bounded so that a search through tens of thousands of names stays fast. Portable.
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>
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

// The edit distance of one name (the pattern, at most one bit per character of a machine word) to
// many others, a whole column of the distance table per character in one word (bit-parallel, after
// Myers and Hyyrö).
class WordEditDistance {
public:
    using Word = std::size_t;  // the machine's own word: a wider one costs two on a 32-bit machine
    static constexpr std::size_t kLongestPattern = sizeof(Word) * 8;

    explicit WordEditDistance(std::wstring_view pattern);
    std::size_t To(std::wstring_view text) const;

private:
    Word PositionsOf(wchar_t c) const;

    std::size_t length_;
    std::array<Word, 256> lowPositions_{};  // characters below 256
    std::vector<std::pair<wchar_t, Word>> otherPositions_;
};

}  // namespace kvstcheck
