#include "kvstcheck/standardtools/HintsIndex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>
#include <stdexcept>

namespace kvstcheck {

// The rows of the edit distance table between the query and a name, one per character of the name (its
// depth), each only the band of cells within limit of the diagonal (a cell outside it is beyond the
// limit anyway): column j of the row at depth d is lane j - d + limit. A row is one word of bit planes,
// one per distance t (byte t): bit o set when lane o's cell is at most t. So the next row takes a dozen
// word operations: a search computes thousands of them per query.
class NearNameIndex::Rows {
public:
    using Planes = std::uint32_t;  // kMostEdits + 1 planes of 2 * kMostEdits + 1 lanes

    // Its tables grow with the query's length, not with its number of different characters: the query
    // may be a name of thousands.
    Rows(std::wstring_view query, std::size_t limit)
        : length_(query.size()), limit_(limit), depths_(query.size() + limit + 1), cells_(depths_, 0),
          asciiMatches_(depths_ * kAscii, 0) {
        const Planes planes = static_cast<Planes>((std::uint64_t{1} << (8 * (limit + 1))) - 1);
        const bool beyondAscii = std::any_of(query.begin(), query.end(), [](wchar_t c) { return !IsAscii(c); });
        if (beyondAscii) compared_.assign(depths_ * kLanes, L'\0');
        for (std::size_t depth = 0; depth < depths_; ++depth) {
            // Lane o at this depth is column depth + o - limit: a cell of the table from 0 to the query's
            // length, where column j > 0 compares the query's character j - 1.
            Planes valid = 0;
            for (std::size_t lane = 0; lane <= 2 * limit; ++lane) {
                if (depth + lane < limit || depth + lane - limit > query.size()) continue;
                valid |= Planes{1} << lane;
                const std::size_t column = depth + lane - limit;
                if (column == 0) continue;
                const wchar_t c = query[column - 1];
                if (IsAscii(c)) asciiMatches_[depth * kAscii + static_cast<std::size_t>(c)] |= static_cast<std::uint8_t>(1u << lane);
                else compared_[depth * kLanes + lane] = c;
            }
            cells_[depth] = planes & (valid * 0x01010101u);
        }
        for (std::size_t column = 0; column <= limit && column <= query.size(); ++column)
            for (std::size_t t = column; t <= limit; ++t) first_ |= Planes{1} << (8 * t + column + limit);
    }

    Planes First() const { return first_; }

    // The lanes of the row at depth whose column holds c (none past the last row).
    std::uint8_t Matches(wchar_t c, std::size_t depth) const {
        if (depth >= depths_) return 0;
        if (IsAscii(c)) return asciiMatches_[depth * kAscii + static_cast<std::size_t>(c)];
        return compared_.empty() ? 0 : OtherMatches(c, depth);
    }

    // The row at depth below `above`, given the lanes where the name's character there matches: no cell
    // within the limit past the last row a name within it can reach.
    Planes Next(Planes above, std::size_t depth, std::uint8_t matches) const {
        if (depth >= depths_) return 0;
        const Planes match = static_cast<Planes>(matches) * 0x01010101u;
        // A cell is at most t when the one diagonally above is (and the characters match), or at most
        // t - 1 diagonally above, straight above, or to its left.
        Planes row = (above & match) | (above << 8) | (((above << 8) >> 1) & 0x7F7F7F7Fu);
        row |= ((row << 8) << 1) & 0xFEFEFEFEu;
        row |= ((row << 16) << 2) & 0xFCFCFCFCu;
        return row & cells_[depth];
    }

    // The row's least cell, limit + 1 when none is within the limit: no name below comes nearer. The
    // planes only grow with t, so it is the first plane with a bit.
    std::size_t Least(Planes row) const {
        const Planes nonEmptyPlanes = (((row & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | row) & 0x80808080u;
        return nonEmptyPlanes ? static_cast<std::size_t>(std::countr_zero(nonEmptyPlanes)) / 8 : limit_ + 1;
    }

    // The distance of the query to the name that ends with the row at depth: limit + 1 when beyond it.
    std::size_t DistanceAt(Planes row, std::size_t depth) const {
        const std::size_t lane = length_ + limit_ - depth;
        if (depth >= depths_ || lane > 2 * limit_) return limit_ + 1;
        std::size_t t = 0;
        while (t <= limit_ && !((row >> (8 * t + lane)) & 1u)) ++t;
        return t;
    }

private:
    static constexpr std::size_t kAscii = 128;
    static constexpr std::size_t kLanes = 2 * kMostEdits + 1;
    static bool IsAscii(wchar_t c) { return static_cast<std::size_t>(c) < kAscii; }
    std::uint8_t OtherMatches(wchar_t c, std::size_t depth) const;

    std::size_t length_;
    std::size_t limit_;
    std::size_t depths_;  // the rows a name can reach within the limit: up to the query's length + limit
    Planes first_ = 0;    // the row above any character: column j is j
    std::vector<Planes> cells_;  // per depth, the lanes that are cells of the table, in every plane
    // Per depth, the lanes whose column holds a character: for each ASCII character at hand; for
    // others, the characters compared (when the query has any).
    std::vector<std::uint8_t> asciiMatches_;
    std::vector<wchar_t> compared_;
};

std::uint8_t NearNameIndex::Rows::OtherMatches(wchar_t c, std::size_t depth) const {
    std::uint8_t lanes = 0;
    for (std::size_t lane = 0; lane < kLanes; ++lane)
        if (compared_[depth * kLanes + lane] == c) lanes |= static_cast<std::uint8_t>(1u << lane);
    return lanes;
}

namespace {

// Sorted names [first, last) that share their first `depth` characters, to become node `node`.
struct NameRange {
    std::size_t first, last, depth;
    std::uint32_t node;
};

std::uint32_t Narrow(std::size_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

NearNameIndex::NearNameIndex(const std::vector<std::wstring>& folded) {
    if (folded.size() >= kMostNames) throw std::length_error("too many names for the nearest-name index");
    sortedPositions_.resize(folded.size());
    std::iota(sortedPositions_.begin(), sortedPositions_.end(), 0u);
    std::stable_sort(sortedPositions_.begin(), sortedPositions_.end(),
                     [&folded](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });
    starts_.push_back(0);
    for (const std::uint32_t position : sortedPositions_) {
        characters_ += folded[position];
        starts_.push_back(characters_.size());
        shortest_ = std::min(shortest_, folded[position].size());
        longest_ = std::max(longest_, folded[position].size());
    }
    // Each range becomes a node holding what its names share; those that go on are cut into ranges by
    // their next character, whose nodes are made side by side at once and filled in later.
    nodes_.emplace_back();
    heads_.push_back({folded.empty() ? 0 : FirstPosition(0, folded.size()), folded.empty() || Sorted(0).empty() ? L'\0' : Sorted(0)[0]});
    std::vector<NameRange> pending{{0, folded.size(), 0, 0}};
    while (!pending.empty()) {
        const NameRange range = pending.back();
        pending.pop_back();
        FillNode(nodes_[range.node], range.first, range.last, range.depth);
        const Node node = nodes_[range.node];  // a copy: making the children moves the nodes
        nodes_[range.node].firstChild = Narrow(nodes_.size());
        for (std::size_t begin = node.namesEnd; begin < range.last;) {
            const std::size_t end = EndOfSameCharacter(begin, range.last, node.depth);
            pending.push_back({begin, end, node.depth, Narrow(nodes_.size())});
            heads_.push_back({FirstPosition(begin, end), Sorted(begin)[node.depth]});
            nodes_.emplace_back();
            begin = end;
        }
        nodes_[range.node].childrenEnd = Narrow(nodes_.size());
    }
}

std::uint32_t NearNameIndex::FirstPosition(std::size_t first, std::size_t last) const {
    return *std::min_element(sortedPositions_.begin() + static_cast<std::ptrdiff_t>(first),
                             sortedPositions_.begin() + static_cast<std::ptrdiff_t>(last));
}

// The node of sorted names [first, last), which share their first `shared` characters: it goes on as far
// as they all do, and holds those that end there (they sort first).
void NearNameIndex::FillNode(Node& node, std::size_t first, std::size_t last, std::size_t shared) const {
    const std::wstring_view a = Sorted(first);
    const std::wstring_view b = last > first ? Sorted(last - 1) : a;
    std::size_t depth = shared;
    while (depth < a.size() && depth < b.size() && a[depth] == b[depth]) ++depth;
    std::size_t goesOn = first;
    while (goesOn < last && Sorted(goesOn).size() == depth) ++goesOn;
    node.labelStart = Narrow(starts_[first] + shared);
    node.labelLength = Narrow(depth - shared);
    node.depth = Narrow(depth);
    node.namesBegin = Narrow(first);
    node.namesEnd = Narrow(goesOn);
}

// The end of the run of sorted names from `begin` with the same character at depth: sorted names that
// share what comes before it hold those characters in order, so a binary search finds it.
std::size_t NearNameIndex::EndOfSameCharacter(std::size_t begin, std::size_t last, std::size_t depth) const {
    const wchar_t character = Sorted(begin)[depth];
    std::size_t low = begin + 1;
    std::size_t high = last;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (Sorted(middle)[depth] == character) low = middle + 1;
        else high = middle;
    }
    return low;
}

// The `count` best (distance, position) pairs found so far, best first: a name or a subtree comes in
// only if it may beat the last of them once there are `count`, or is within the limit until then.
class NearNameIndex::Best {
public:
    Best(std::size_t limit, std::size_t count) : count_(count), threshold_(Key(limit + 1, 0)) { found_.reserve(count); }

    // Distance first, then position (below kMostNames): one comparison of keys orders pairs as pairs.
    static std::uint32_t Key(std::size_t distance, std::size_t position) {
        return static_cast<std::uint32_t>(distance << 28 | position);
    }

    bool MayEnter(std::uint32_t key) const { return key < threshold_; }
    void Add(std::size_t distance, std::size_t position) {
        if (found_.size() == count_) found_.pop_back();
        const std::pair<std::size_t, std::size_t> entry(distance, position);
        found_.insert(std::upper_bound(found_.begin(), found_.end(), entry), entry);
        if (found_.size() == count_) threshold_ = Key(found_.back().first, found_.back().second);
    }
    std::vector<std::pair<std::size_t, std::size_t>> Found() && { return std::move(found_); }

private:
    std::size_t count_;
    std::uint32_t threshold_;  // what a key must stay below to enter
    std::vector<std::pair<std::size_t, std::size_t>> found_;
};

// Nearest first: nodes wait by the least cell of the row of their first character (no name below them
// is nearer), so that the names near the query are found before those farther off narrow nothing. A
// node goes only if a name below it may beat the best so far (by that least cell and the first of its
// names in the file); a child that cannot is not even queued.
std::vector<std::pair<std::size_t, std::size_t>> NearNameIndex::Nearest(
    std::wstring_view query, std::size_t limit, std::size_t count, const std::function<bool(std::size_t)>& skip) const {
    limit = std::min(limit, kMostEdits);
    // A length change alone costs an edit per character.
    if (count == 0 || sortedPositions_.empty() || query.size() > longest_ + limit || query.size() + limit < shortest_) return {};
    const Rows rows(query, limit);
    Best best(limit, count);
    // Nodes queued by the least cell of their first row: a stack per least cell, linked through one list.
    struct Waiting {
        std::uint32_t key;
        std::uint32_t node;
        Rows::Planes row;    // the row of the node's first character
        std::uint32_t below;  // the entry under it on its stack
    };
    constexpr std::uint32_t kEmpty = ~std::uint32_t{0};
    std::vector<Waiting> waiting;
    waiting.reserve(256);
    std::array<std::uint32_t, kMostEdits + 1> tops;
    tops.fill(kEmpty);
    // Queues the children that may hold a name that beats the best so far.
    const auto offer = [&](std::uint32_t firstChild, std::uint32_t childrenEnd, Rows::Planes above, std::size_t depth) {
        for (std::uint32_t child = firstChild; child < childrenEnd; ++child) {
            const Head head = heads_[child];
            const Rows::Planes row = rows.Next(above, depth, rows.Matches(head.character, depth));
            const std::size_t least = rows.Least(row);
            if (const std::uint32_t key = Best::Key(least, head.firstPosition); best.MayEnter(key)) {
                waiting.push_back({key, child, row, tops[least]});
                tops[least] = static_cast<std::uint32_t>(waiting.size() - 1);
            }
        }
    };
    // Goes down a node's edge from the row at depth, takes its names and offers its children.
    const auto expand = [&](std::uint32_t index, Rows::Planes row, std::size_t depth) {
        const Node& node = nodes_[index];
        while (depth < node.depth) {
            ++depth;
            const wchar_t c = characters_[node.labelStart + node.labelLength - (node.depth - depth) - 1];
            row = rows.Next(row, depth, rows.Matches(c, depth));
            if (!best.MayEnter(Best::Key(rows.Least(row), heads_[index].firstPosition))) return;
        }
        if (node.namesBegin < node.namesEnd) {
            const std::size_t distance = rows.DistanceAt(row, node.depth);
            for (std::size_t name = node.namesBegin; name < node.namesEnd; ++name)
                if (best.MayEnter(Best::Key(distance, sortedPositions_[name])) && !skip(sortedPositions_[name]))
                    best.Add(distance, sortedPositions_[name]);
        }
        offer(node.firstChild, node.childrenEnd, row, node.depth + 1);
    };
    if (nodes_[0].labelLength == 0) expand(0, rows.First(), 0);
    else offer(0, 1, rows.First(), 1);
    // A child's least cell is never below its parent's: it joins this stack or a later one.
    for (std::size_t least = 0; least <= limit; ++least) {
        while (tops[least] != kEmpty) {
            const Waiting next = waiting[tops[least]];
            tops[least] = next.below;
            if (best.MayEnter(next.key)) expand(next.node, next.row, nodes_[next.node].depth - nodes_[next.node].labelLength + 1);
        }
    }
    return std::move(best).Found();
}

}  // namespace kvstcheck
