#include "kvstcheck/fix/PairStream.h"

#include <algorithm>
#include <charconv>

#include "kvstcheck/readers/InputError.h"

namespace kvstcheck::fix {
namespace {

constexpr std::size_t kBinaryMarkerOffset = 7;
constexpr std::string_view kBinaryMarkerTail{" Binary DXF\r\n\x1A\0", 15};
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::size_t kFirstBufferSize = 64 * 1024;

constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string Shown(std::string_view text) {
    std::string shown;
    for (const char c : text.substr(0, 40)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    return "\"" + shown + (text.size() > 40 ? "...\"" : "\"");
}

// Most code lines are digits, padded on the left, and a line end: read those without the general parse.
bool ParseCode(std::string_view line, long long& code) noexcept {
    std::size_t at = 0;
    while (at < line.size() && line[at] == ' ') ++at;
    const std::size_t digits = at;
    long long value = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9' && at - digits < 6) value = value * 10 + (line[at++] - '0');
    std::size_t end = at;
    while (end < line.size() && (line[end] == '\r' || line[end] == '\n')) ++end;
    if (at > digits && end == line.size()) {
        code = value;
        return true;
    }
    return ParseDxfInt(line, code);
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) noexcept {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t end = text.size();
    while (end > first && IsBlank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

bool ParseDxfInt(std::string_view text, long long& value) noexcept {
    text = TrimBlanks(text);
    if (text.starts_with('+') && text.size() > 1 && text[1] != '-') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
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

UnitReader::UnitReader(DxfBytes& bytes) : bytes_(bytes), buffer_(kFirstBufferSize, '\0') {
    while (end_ < kBinaryMarkerOffset + kBinaryMarkerTail.size() && Fill()) {
    }
    const std::string_view head(buffer_.data(), end_);
    binary_ = head.size() >= kBinaryMarkerOffset + kBinaryMarkerTail.size() &&
              head.substr(kBinaryMarkerOffset, kBinaryMarkerTail.size()) == kBinaryMarkerTail;
    if (head.starts_with(kUtf8Mark)) {
        preamble_ = kUtf8Mark;
        start_ = kUtf8Mark.size();
    }
}

bool UnitReader::Fill() {
    if (atEnd_) return false;
    if (start_ > 0) {
        std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(start_),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(end_), buffer_.begin());
        end_ -= start_;
        start_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const std::size_t read = bytes_.ReadNext(buffer_.data() + end_, buffer_.size() - end_);
    if (read == 0) {
        atEnd_ = true;
        return false;
    }
    end_ += read;
    return true;
}

bool UnitReader::NextLine(std::string_view& line) {
    std::size_t scanned = 0;
    for (;;) {
        const std::string_view unread(buffer_.data() + start_, end_ - start_);
        // A loop of its own: DXF lines are short, and the C runtime's memchr costs a call per line.
        std::size_t end = scanned;
        while (end < unread.size() && unread[end] != '\n') ++end;
        if (end < unread.size()) {
            line = unread.substr(0, end + 1);
            break;
        }
        scanned = unread.size();
        if (scanned > kLongestDxfLine)
            throw InputError(static_cast<int>(line_ + 1), "a line over 1 MiB long: this is not a DXF file");
        if (!Fill()) {
            if (scanned == 0) return false;
            line = std::string_view(buffer_.data() + start_, end_ - start_);
            break;
        }
    }
    start_ += line.size();
    ++line_;
    return true;
}

bool UnitReader::ReadPair(std::string& into, RawPair& pair) {
    std::string_view codeLine;
    if (!NextLine(codeLine)) return false;
    long long code = 0;
    if (!ParseCode(codeLine, code) || code < 0 || code > 1071)
        throw InputError(static_cast<int>(line_), "expected a group code, found " + Shown(TrimBlanks(codeLine)));
    pair.code = static_cast<int>(code);
    into.append(codeLine);  // NextLine may move the buffer: keep the code line first
    std::string_view valueLine;
    if (!NextLine(valueLine))
        throw InputError(static_cast<int>(line_), "the file ends after a group code without its value: it is truncated");
    into.append(valueLine);
    pair.line = line_;
    pair.valueStart = codeLine.size();
    std::size_t valueSize = valueLine.size();
    if (valueSize > 0 && valueLine[valueSize - 1] == '\n') --valueSize;
    while (valueSize > 0 && valueLine[valueSize - 1] == '\r') --valueSize;
    pair.valueSize = valueSize;
    pair.raw = std::string_view();
    return true;
}

bool UnitReader::Next(Unit& unit) {
    unit.bytes_.clear();
    unit.pairs_.clear();
    starts_.clear();
    RawPair pair;
    if (hasPending_) {
        unit.bytes_ = pending_;
        pair = pendingPair_;
        hasPending_ = false;
    } else if (!ReadPair(unit.bytes_, pair)) {
        return false;
    }
    unit.pairs_.push_back(pair);
    starts_.push_back(0);
    for (;;) {
        const std::size_t start = unit.bytes_.size();
        if (!ReadPair(unit.bytes_, pair)) break;
        if (pair.code == 0) {  // the next unit's first pair
            pending_.assign(unit.bytes_, start);
            unit.bytes_.resize(start);
            pendingPair_ = pair;
            hasPending_ = true;
            break;
        }
        unit.pairs_.push_back(pair);
        starts_.push_back(start);
    }
    for (std::size_t i = 0; i < unit.pairs_.size(); ++i) {
        const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : unit.bytes_.size();
        unit.pairs_[i].raw = std::string_view(unit.bytes_).substr(starts_[i], end - starts_[i]);
    }
    Place(unit);
    return true;
}

void UnitReader::Place(Unit& unit) {
    const RawPair& first = unit.pairs_.front();
    place_.type = first.code == 0 ? std::string(first.keyword()) : std::string();
    if (place_.type == "SECTION") {
        const RawPair* name = unit.Find(2);
        place_.section = name ? std::string(name->keyword()) : std::string();
        place_.table.clear();
    } else if (place_.type == "TABLE") {
        const RawPair* name = unit.Find(2);
        place_.table = name ? std::string(name->keyword()) : std::string();
    }
    unit.place_ = place_;
    if (place_.type == "ENDTAB") place_.table.clear();
    if (place_.type == "ENDSEC" || place_.type == "EOF") {
        place_.section.clear();
        place_.table.clear();
    }
}

}  // namespace kvstcheck::fix
