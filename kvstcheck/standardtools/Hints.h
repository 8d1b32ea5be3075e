#pragma once
// Hints for findings: the allowed names of the finding's kind that its author may have meant.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kvstcheck/reports/Report.h"
#include "kvstcheck/standardtools/LoadedStandard.h"

namespace kvstcheck {

// At most this many names in a hint.
inline constexpr std::size_t kMaxHintNames = 3;

// The edit distance of a and b when it is at most limit, else limit + 1. Only the band of width
// 2 * limit + 1 around the diagonal is computed, and the work stops once every cell of a row
// exceeds the limit.
std::size_t BoundedEditDistance(std::wstring_view a, std::wstring_view b, std::size_t limit);

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

// How far (in edits, letter case aside) an allowed name may be from a name to be offered for it.
std::size_t HintDistanceLimit(std::size_t nameLength) noexcept;

class HintFinder {
public:
    explicit HintFinder(const LoadedStandard& standard);

    // The hints for a finding of this kind label and name; none for a label of no kind.
    NameHints For(std::wstring_view kindLabel, std::wstring_view name) const;

private:
    struct KindIndex {
        std::vector<std::wstring> names;   // in file order, each once, no empty name
        std::vector<std::wstring> folded;  // the same in upper case
        std::unordered_map<std::wstring, std::size_t> firstOfFolded;
        std::vector<std::vector<std::size_t>> byLength;  // indices of names by folded length
    };
    audit::PerKind<KindIndex> kinds_;
};

}  // namespace kvstcheck
