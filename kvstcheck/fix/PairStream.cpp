#include "kvstcheck/fix/PairStream.h"

#include <algorithm>

#include "kvstcheck/readers/InputError.h"

namespace kvstcheck::fix {
namespace {

// Codes run from 0 to 1071; anything else is no DXF group.
constexpr long long kLastGroupCode = 1071;

constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string Shown(std::string_view text) {
    std::string shown;
    for (const char c : text.substr(0, 40)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    return "\"" + shown + (text.size() > 40 ? "...\"" : "\"");
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) noexcept {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t end = text.size();
    while (end > first && IsBlank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

const RawPair* Unit::Find(int code) const noexcept {
    for (const RawPair& pair : pairs_) {
        if (pair.code == 1001) return nullptr;
        if (pair.code == code) return &pair;
    }
    return nullptr;
}

std::string_view Unit::Handle() const noexcept {
    // In a DIMSTYLE entry, group 5 is an arrow block's name (R12); its handle is group 105.
    const RawPair* handle = Find(place_.type == "DIMSTYLE" ? 105 : 5);
    return handle == nullptr ? std::string_view() : handle->keyword();
}

bool UnitReader::ReadPair(RawPair& pair) {
    DxfPairLines lines;
    const DxfPairRead read = lines_.NextPair(lines);
    if (read == DxfPairRead::End) return false;
    const auto line = static_cast<int>(lines.line);
    if (read == DxfPairRead::BadCode || lines.code < 0 || lines.code > kLastGroupCode)
        throw InputError(line, "expected a group code, found " + Shown(TrimBlanks(lines.codeLine)));
    if (read == DxfPairRead::Cut) throw InputError(line, "the file ends after a group code without its value: it is truncated");
    pair.code = static_cast<int>(lines.code);
    pair.line = lines.line + 1;
    // The two lines follow each other in the buffer; Next points the view again once the unit is read.
    pair.raw = std::string_view(lines.codeLine.data(), lines.codeLine.size() + lines.valueLine.size());
    pair.valueStart = lines.codeLine.size();
    pair.valueSize = lines.value().size();
    return true;
}

bool UnitReader::Next(Unit& unit) {
    std::vector<RawPair>& pairs = unit.pairs_;
    pairs.clear();
    std::uint64_t first = lines_.offset();
    if (hasPending_) {
        first = pendingStart_;
        pairs.push_back(pending_);
        hasPending_ = false;
    } else if (ended_ || !ReadPair(pairs.emplace_back())) {
        ended_ = true;
        pairs.clear();
        return false;
    }
    lines_.Hold(first);  // the unit before goes
    for (;;) {
        const std::uint64_t start = lines_.offset();
        RawPair& pair = pairs.emplace_back();
        if (!ReadPair(pair)) {
            pairs.pop_back();
            ended_ = true;
            break;
        }
        if (pair.code == 0) {  // the next unit's first pair
            pending_ = pair;
            pendingStart_ = start;
            hasPending_ = true;
            pairs.pop_back();
            break;
        }
    }
    // The buffer may have moved while the unit was read: its views are made now.
    std::uint64_t at = first;
    for (RawPair& pair : pairs) {
        pair.raw = lines_.Bytes(at, at + pair.raw.size());
        at += pair.raw.size();
    }
    unit.bytes_ = lines_.Bytes(first, at);
    Place(unit);
    return true;
}

void UnitReader::Place(Unit& unit) {
    if (leaveTable_) table_.clear();
    if (leaveSection_) section_.clear();
    const RawPair& first = unit.pairs_.front();
    const std::string_view type = first.code == 0 ? first.keyword() : std::string_view();
    if (type == "SECTION" || type == "TABLE") {
        const RawPair* name = unit.Find(2);
        (type == "SECTION" ? section_ : table_) = name ? name->keyword() : std::string_view();
        if (type == "SECTION") table_.clear();
    }
    unit.place_ = UnitPlace{section_, table_, type};
    leaveTable_ = type == "ENDTAB" || type == "ENDSEC" || type == "EOF";
    leaveSection_ = type == "ENDSEC" || type == "EOF";
}

}  // namespace kvstcheck::fix
