#include "kvstcheck/readers/DxfLines.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

#include "kvstcheck/readers/InputError.h"

namespace kvstcheck {
namespace {

// A binary DXF file opens with a 22-byte marker: seven bytes of the writing program's name, then
// " Binary DXF", CR, LF, 0x1A and a NUL. The fixed tail identifies the format.
constexpr std::size_t kBinaryMarkerOffset = 7;
constexpr std::string_view kBinaryMarkerTail{" Binary DXF\r\n\x1A\0", 15};
constexpr std::size_t kBinaryMarkerSize = kBinaryMarkerOffset + kBinaryMarkerTail.size();
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A small file costs a small buffer; a large one is read a mebibyte at a time.
constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kBlock = 1 << 20;

constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

InputError TooLong(std::size_t line) {
    return InputError(static_cast<int>(line), "a line over " + std::to_string(kLongestDxfLine >> 20) +
                                                  " MiB long: this is not a DXF file");
}

}  // namespace

DxfMemoryBytes::DxfMemoryBytes(std::string_view bytes, std::size_t pieceSize)
    : bytes_(bytes), pieceSize_(std::max<std::size_t>(pieceSize, 1)) {}

std::size_t DxfMemoryBytes::ReadNext(char* buffer, std::size_t size) {
    const std::size_t count = std::min({size, pieceSize_, bytes_.size() - next_});
    std::copy_n(bytes_.data() + next_, count, buffer);
    next_ += count;
    return count;
}

std::string DxfMemoryBytes::ReadTail(std::size_t count) {
    return std::string(bytes_.substr(bytes_.size() - std::min(count, bytes_.size())));
}

bool ParseDxfInt(std::string_view line, long long& value) noexcept {
    // Nearly every code line is a few digits padded on the left and a line end: read those at once.
    constexpr std::ptrdiff_t kMostDigits = 6;
    const char* at = line.data();
    const char* const end = at + line.size();
    while (at != end && *at == ' ') ++at;
    const char* const digits = at;
    unsigned number = 0;
    for (; at != end && static_cast<unsigned char>(*at - '0') < 10; ++at) number = number * 10 + static_cast<unsigned>(*at - '0');
    if (at != digits && at - digits <= kMostDigits) {
        while (at != end && (*at == '\r' || *at == '\n')) ++at;
        if (at == end) {
            value = number;
            return true;
        }
    }
    std::size_t first = 0, last = line.size();
    while (first < last && IsBlank(line[first])) ++first;
    while (last > first && IsBlank(line[last - 1])) --last;
    std::string_view text = line.substr(first, last - first);
    if (text.starts_with('+') && text.size() > 1 && text[1] != '-') text.remove_prefix(1);
    const auto [parsed, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && parsed == text.data() + text.size();
}

DxfLineReader::DxfLineReader(DxfBytes& bytes)
    : bytes_(bytes), buffer_(new char[kFirstBlock]), capacity_(kFirstBlock) {
    while (end_ < kBinaryMarkerSize && Fill()) {
    }
    const std::string_view head(buffer_.get(), std::min(end_, kBinaryMarkerSize));
    binary_ = head.size() == kBinaryMarkerSize && head.substr(kBinaryMarkerOffset) == kBinaryMarkerTail;
    if (head.starts_with(kUtf8Mark)) {
        preamble_ = kUtf8Mark;
        start_ = kUtf8Mark.size();
    }
}

bool DxfLineReader::Fill() {
    if (atEnd_) return false;
    const auto keep = static_cast<std::size_t>(std::min<std::uint64_t>(held_, offset()) - base_);
    const std::size_t kept = end_ - keep;
    // Grow while the file fills whole blocks, and when what is kept leaves less than half free.
    std::size_t capacity = capacity_;
    if (capacity < kBlock && end_ == capacity_) capacity *= 2;
    while (capacity - kept < capacity / 2) capacity *= 2;
    if (capacity != capacity_) {
        std::unique_ptr<char[]> grown(new char[capacity]);
        std::copy(buffer_.get() + keep, buffer_.get() + end_, grown.get());
        buffer_ = std::move(grown);
        capacity_ = capacity;
    } else if (keep > 0) {
        std::copy(buffer_.get() + keep, buffer_.get() + end_, buffer_.get());
    }
    base_ += keep;
    start_ -= keep;
    end_ = kept;
    const std::size_t read = bytes_.ReadNext(buffer_.get() + end_, capacity_ - end_);
    if (read == 0) {
        atEnd_ = true;
        return false;
    }
    end_ += read;
    return true;
}

std::size_t DxfLineReader::FindLineEnd(std::size_t at) const noexcept {
    // A word at a time, without the C runtime's memchr, which costs a call per line of a few bytes.
    using Word = std::size_t;
    constexpr Word kOnes = ~Word{0} / 0xFF, kHighBits = kOnes * 0x80, kLineFeeds = kOnes * '\n';
    const char* const bytes = buffer_.get();
    if constexpr (std::endian::native == std::endian::little) {
        for (; at + sizeof(Word) <= end_; at += sizeof(Word)) {
            Word word;
            std::memcpy(&word, bytes + at, sizeof word);
            word ^= kLineFeeds;  // a zero byte where an LF was
            if (const Word zeros = (word - kOnes) & ~word & kHighBits; zeros != 0)
                return at + static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
        }
    }
    while (at < end_ && bytes[at] != '\n') ++at;
    return at;
}

bool DxfLineReader::PairInBuffer(DxfPairLines& pair) noexcept {
    const std::size_t codeEnd = FindLineEnd(start_);
    if (codeEnd == end_ || codeEnd - start_ > kLongestDxfLine) return false;
    const std::size_t valueEnd = FindLineEnd(codeEnd + 1);
    if (valueEnd == end_ || valueEnd - codeEnd - 1 > kLongestDxfLine) return false;
    const std::string_view codeLine(buffer_.get() + start_, codeEnd + 1 - start_);
    pair.line = line_ + 1;
    pair.codeLine = codeLine;
    if (!ParseDxfInt(codeLine, pair.code)) return false;
    pair.valueLine = std::string_view(buffer_.get() + codeEnd + 1, valueEnd - codeEnd);
    start_ = valueEnd + 1;
    line_ += 2;
    return true;
}

bool DxfLineReader::NextLine(std::string_view& line) {
    std::size_t lineEnd = FindLineEnd(start_);
    while (lineEnd == end_) {
        const std::size_t scanned = end_ - start_;  // unread bytes known to hold no LF
        if (scanned > kLongestDxfLine) throw TooLong(line_ + 1);
        if (!Fill()) {
            if (scanned == 0) return false;
            lineEnd = end_;  // a last line without a line end (Fill may have moved it)
            break;
        }
        lineEnd = FindLineEnd(start_ + scanned);
    }
    if (lineEnd - start_ > kLongestDxfLine) throw TooLong(line_ + 1);
    const std::size_t next = lineEnd == end_ ? end_ : lineEnd + 1;
    line = std::string_view(buffer_.get() + start_, next - start_);
    start_ = next;
    ++line_;
    return true;
}

DxfPairRead DxfLineReader::NextPair(DxfPairLines& pair) {
    if (PairInBuffer(pair)) return DxfPairRead::Pair;
    const std::uint64_t codeStart = offset();
    std::string_view codeLine;
    if (!NextLine(codeLine)) return DxfPairRead::End;
    pair.line = line_;
    pair.codeLine = codeLine;
    pair.valueLine = {};
    if (!ParseDxfInt(codeLine, pair.code)) return DxfPairRead::BadCode;
    // The code line stays in the buffer while the value line is read.
    const std::uint64_t held = held_;
    held_ = std::min(held_, codeStart);
    const bool hasValue = NextLine(pair.valueLine);
    held_ = held;
    pair.codeLine = Bytes(codeStart, codeStart + codeLine.size());
    return hasValue ? DxfPairRead::Pair : DxfPairRead::Cut;
}

}  // namespace kvstcheck
