#include "kvstcheck/standardtools/HintsIndex.h"

#include <algorithm>
#include <cstdlib>

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

// Whether the name keeps its pieces where a name within limit edits of the query must: all but limit.
bool KeepsEnoughPieces(std::wstring_view query, std::wstring_view name, std::size_t limit) {
    const std::size_t segments = SegmentsOf(name.size());
    std::size_t missing = 0;
    for (std::size_t segment = 0; segment < segments && missing <= limit; ++segment) {
        const std::size_t start = SegmentStart(name.size(), segment);
        const std::wstring_view piece = name.substr(start, SegmentStart(name.size(), segment + 1) - start);
        bool found = false;
        ForEachPlace(query, name.size(), start, piece.size(), limit,
                     [&](std::size_t at) { found = found || query.substr(at, piece.size()) == piece; });
        missing += found ? 0 : 1;
    }
    return missing <= limit;
}

}  // namespace

NearNameIndex::NearNameIndex(std::vector<std::wstring> folded) : folded_(std::move(folded)), seen_(folded_.size()) {
    for (std::size_t i = 0; i < folded_.size(); ++i) {
        const std::wstring_view name = folded_[i];
        if (byLength_.size() <= name.size()) byLength_.resize(name.size() + 1);
        byLength_[name.size()].push_back(static_cast<std::uint32_t>(i));
        for (std::size_t segment = 0; segment < SegmentsOf(name.size()); ++segment) {
            const std::size_t start = SegmentStart(name.size(), segment);
            const std::size_t end = SegmentStart(name.size(), segment + 1);
            pieces_[PieceKey(name.size(), segment, name.substr(start, end - start))].push_back(static_cast<std::uint32_t>(i));
        }
    }
}

// Names of one length that keep enough pieces. A name within the limit keeps all but at most limit of
// its pieces, so it holds one of any limit + 1 of them: only the postings of the limit + 1 pieces with
// the fewest names are read.
void NearNameIndex::Probe(std::wstring_view query, std::size_t length, std::size_t limit,
                          std::vector<std::uint32_t>& candidates) const {
    const std::size_t segments = SegmentsOf(length);
    if (segments <= limit) {  // no piece need survive: every name of the length is measured
        candidates.insert(candidates.end(), byLength_[length].begin(), byLength_[length].end());
        return;
    }
    struct Postings {
        std::size_t names = 0;
        std::vector<const std::vector<std::uint32_t>*> lists;
    };
    std::vector<Postings> bySegment(segments);
    for (std::size_t segment = 0; segment < segments; ++segment) {
        const std::size_t start = SegmentStart(length, segment);
        const std::size_t size = SegmentStart(length, segment + 1) - start;
        ForEachPlace(query, length, start, size, limit, [&](std::size_t at) {
            const auto posting = pieces_.find(PieceKey(length, segment, query.substr(at, size)));
            if (posting == pieces_.end()) return;
            bySegment[segment].names += posting->second.size();
            bySegment[segment].lists.push_back(&posting->second);
        });
    }
    std::partial_sort(bySegment.begin(), bySegment.begin() + static_cast<std::ptrdiff_t>(limit + 1), bySegment.end(),
                      [](const Postings& a, const Postings& b) { return a.names < b.names; });
    for (std::size_t chosen = 0; chosen <= limit; ++chosen) {
        for (const auto* list : bySegment[chosen].lists) {
            for (const std::uint32_t name : *list) {
                if (seen_[name] == queries_) continue;
                seen_[name] = queries_;
                if (KeepsEnoughPieces(query, folded_[name], limit)) candidates.push_back(name);
            }
        }
    }
}

std::vector<std::pair<std::size_t, std::size_t>> NearNameIndex::Within(std::wstring_view query,
                                                                       std::size_t limit) const {
    std::vector<std::uint32_t> candidates;
    {
        const std::lock_guard lock(searching_);
        if (++queries_ == 0) {  // after 2^32 searches the stamps start again from a clean slate
            std::fill(seen_.begin(), seen_.end(), 0);
            queries_ = 1;
        }
        const std::size_t shortest = query.size() > limit ? query.size() - limit : 0;
        for (std::size_t length = shortest; length <= query.size() + limit && length < byLength_.size(); ++length)
            if (!byLength_[length].empty()) Probe(query, length, limit, candidates);
    }
    std::vector<std::pair<std::size_t, std::size_t>> near;
    BandedEditDistance banded;
    const bool fitsAWord = query.size() <= WordEditDistance::kLongestPattern;
    const WordEditDistance word(fitsAWord ? query : std::wstring_view());
    for (const std::uint32_t candidate : candidates) {
        const std::size_t distance = fitsAWord ? word.To(folded_[candidate]) : banded.Between(query, folded_[candidate], limit);
        if (distance <= limit) near.emplace_back(distance, candidate);
    }
    return near;
}

}  // namespace kvstcheck
