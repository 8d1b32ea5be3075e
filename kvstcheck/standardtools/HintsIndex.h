#pragma once
// The nearest-name search of hints: the names of a kind nearest a query within a few edits, found
// through a trie of the names instead of a pass over all of them. Portable.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvstcheck {

// The names (letter case already folded) in a trie whose chains of single children are one edge. A
// search goes down it one row of the edit distance table per character and leaves a subtree as soon as
// no name in it can beat the best found so far: names that share a start share its rows, and a start
// too far from the query rules out every name under it at once.
class NearNameIndex {
public:
    static constexpr std::size_t kMostEdits = 3;  // the farthest a search looks
    static constexpr std::size_t kMostNames = std::size_t{1} << 28;

    // Throws std::length_error for kMostNames names or more (a standard file holds at most 32,767 of a kind).
    explicit NearNameIndex(const std::vector<std::wstring>& folded);

    // (distance, position) of the `count` names nearest the query within limit edits (at most
    // kMostEdits): the nearest first, of equals the first in the file; names for which `skip` is true
    // left out.
    std::vector<std::pair<std::size_t, std::size_t>> Nearest(std::wstring_view query, std::size_t limit,
                                                             std::size_t count,
                                                             const std::function<bool(std::size_t)>& skip) const;

private:
    // The children of a node lie side by side, with their heads apart, so that a search can leave most
    // of them without reading them.
    struct Node {
        std::uint32_t labelStart = 0;  // the edge's characters, in characters_
        std::uint32_t labelLength = 0;
        std::uint32_t depth = 0;  // characters from the root to the node's end
        std::uint32_t firstChild = 0;
        std::uint32_t childrenEnd = 0;
        std::uint32_t namesBegin = 0;  // the names ending here, in sortedPositions_ (in file order)
        std::uint32_t namesEnd = 0;
    };
    class Rows;
    class Best;

    void FillNode(Node& node, std::size_t first, std::size_t last, std::size_t shared) const;
    std::uint32_t FirstPosition(std::size_t first, std::size_t last) const;
    std::size_t EndOfSameCharacter(std::size_t begin, std::size_t last, std::size_t depth) const;
    std::wstring_view Sorted(std::size_t index) const {
        return std::wstring_view(characters_).substr(starts_[index], starts_[index + 1] - starts_[index]);
    }

    std::vector<std::uint32_t> sortedPositions_;  // the names' positions, by folded name, then by position
    std::wstring characters_;                     // the names in that order, one after another
    std::vector<std::size_t> starts_;             // where each sorted name begins, and where the last ends
    std::size_t shortest_ = SIZE_MAX;
    std::size_t longest_ = 0;
    std::vector<Node> nodes_;
    // What a search reads of every child it looks at, kept apart from the nodes: the first position in
    // the file of the names below it, and its first character (the root's: its label's, if any).
    struct Head {
        std::uint32_t firstPosition = 0;
        wchar_t character = L'\0';
    };
    std::vector<Head> heads_;
};

}  // namespace kvstcheck
