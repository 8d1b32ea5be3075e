#include "ProfileImage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace standards {
namespace {

// The blanks that the platform trims from both ends of lines, names, values and requested names.
constexpr bool IsBlank(char c) noexcept {
    return (c >= '\t' && c <= '\r') || c == '\x1a' || c == ' ';
}

// The helpers of every read are inline: the 64-bit calling convention passes and returns a view
// through memory, and a call per helper costs more than its work.
inline std::string_view TrimStart(std::string_view text) noexcept {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    return text.substr(start);
}

inline std::string_view TrimEnd(std::string_view text) noexcept {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

inline std::string_view Trim(std::string_view text) noexcept { return TrimEnd(TrimStart(text)); }

// The platform keeps names and values as C strings: what follows a NUL is never seen. A loop of
// its own: the texts are short, and a call to the library's search costs more than they do.
inline std::string_view UpToNul(std::string_view text) noexcept {
    std::size_t size = 0;
    while (size < text.size() && text[size] != '\0') ++size;
    return text.substr(0, size);
}

// Classes of bytes that the quick pass over a file looks for.
constexpr unsigned kAbove127 = 1, kNul = 2, kPageFeedOrEof = 4, kLineEnd = 8, kUnpinnedEdge = 16;
constexpr auto kByteClass = [] {
    std::array<unsigned char, 256> classes{};
    for (int byte = 128; byte < 256; ++byte) classes[byte] = kAbove127;
    classes[0] = kNul;
    classes['\v'] = classes['\f'] = classes['\x1a'] = kPageFeedOrEof;
    classes['\r'] = classes['\n'] = kLineEnd;
    // Control bytes that are no blank: Wine keeps them at the ends, Windows' trimming is not pinned.
    for (int byte = 0x01; byte <= 0x1F; ++byte)
        if (!IsBlank(static_cast<char>(byte))) classes[byte] = kUnpinnedEdge;
    classes[0x7F] = kUnpinnedEdge;
    classes[0xA0] = kAbove127 | kUnpinnedEdge;
    return classes;
}();

// Past the run of bytes from 0x20 to 0x7E at position, a machine word at a time: none of them
// ends a line or needs noting.
std::size_t SkipPlainText(std::string_view bytes, std::size_t position) noexcept {
    using Word = std::uintptr_t;
    constexpr Word kOnes = ~Word{0} / 0xFF;
    constexpr Word kHighBits = kOnes * 0x80;
    while (bytes.size() - position >= sizeof(Word)) {
        Word word;
        std::memcpy(&word, bytes.data() + position, sizeof word);
        // A byte below 0x20 or above 0x7F sets its high bit here, and so does a DEL (0x7F) in the second term.
        const Word del = word ^ (kOnes * 0x7F);
        if (((((word - kOnes * 0x20) & ~word) | word) | ((del - kOnes) & ~del)) & kHighBits) break;
        position += sizeof(Word);
    }
    return position;
}

constexpr char FoldAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Names are short, and most often asked for as they are written: four bytes at a time while they
// agree, then byte by byte with letter case folded (a loop of its own; the library's compare is a
// call per name).
inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (; i + 4 <= a.size(); i += 4) {
        std::uint32_t x, y;
        std::memcpy(&x, a.data() + i, 4);
        std::memcpy(&y, b.data() + i, 4);
        if (x != y) break;
    }
    for (; i < a.size(); ++i)
        if (a[i] != b[i] && FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// A hash that names equal but for ASCII letter case share: four bytes at a time, each with its 0x20
// bit set (which also pairs some other bytes, such as '@' and '`'; the comparison tells them apart).
std::uint32_t FoldedHash(std::string_view text) noexcept {
    std::uint32_t hash = 2166136261u ^ static_cast<std::uint32_t>(text.size());
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        std::uint32_t word;
        std::memcpy(&word, text.data() + i, 4);
        hash = (hash ^ (word | 0x20202020u)) * 16777619u;
        hash ^= hash >> 15;
    }
    for (; i < text.size(); ++i) hash = (hash ^ (static_cast<unsigned char>(text[i]) | 0x20u)) * 16777619u;
    // Names that differ only in their last digits must not crowd into neighbouring slots.
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    hash ^= hash >> 13;
    return hash;
}

// A power of two, at most two thirds full: a probe rarely goes past its first slot, and a section of
// 32,767 names (and its Type and NameCount) takes 65,536 slots, not twice as many.
std::size_t TableSizeFor(std::size_t count) {
    std::size_t size = 8;
    while (size < count + count / 2) size *= 2;
    return size;
}

// Bytes that Wine keeps at the ends of names and values and Windows may trim.
constexpr bool IsUnpinnedEdgeByte(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0xA0 || byte == 0x7F || (byte >= 0x01 && byte <= 0x1F && !IsBlank(c));
}

bool HasUnpinnedEdge(std::string_view text) noexcept {
    return !text.empty() && (IsUnpinnedEdgeByte(text.front()) || IsUnpinnedEdgeByte(text.back()));
}

inline bool IsQuote(char c) noexcept { return c == '"' || c == '\''; }

inline bool IsQuoted(std::string_view value) noexcept {
    return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

// What the platform copies into a buffer of bufferSize characters: one pair of matching quotes
// comes off, and a quoted value that fits all but its closing quote loses one character more.
// Always a part of value.
// value is already cut at its first NUL.
inline std::string_view CopyEntry(std::string_view value, std::size_t bufferSize) noexcept {
    const bool quoted = IsQuoted(value);
    if (quoted) value.remove_prefix(1);
    std::string_view copy = value.substr(0, bufferSize - 1);
    if (quoted && bufferSize >= value.size() && !copy.empty()) copy.remove_suffix(1);
    return copy;
}

}  // namespace

ProfileImage::ProfileImage(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() > kLargestProfileImage) throw std::length_error("a profile image of more than 256 MiB");
    Parse();
    Index();
    NoteDoubts();
}

std::span<const ProfileEntry> ProfileImage::EntriesOf(const ProfileSection& section) const noexcept {
    return std::span<const ProfileEntry>(entries_).subspan(section.firstEntry, section.entryCount);
}

void ProfileImage::Parse() {
    const std::string_view bytes(bytes_);
    sections_.push_back(ProfileSection{});
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        encoding_ = ProfileEncoding::Utf8ByteOrderMark;
        return;
    }
    if (bytes.starts_with("\xFF\xFE")) {
        encoding_ = ProfileEncoding::Utf16LeByteOrderMark;
        return;
    }
    if (bytes.starts_with("\xFE\xFF")) {
        encoding_ = ProfileEncoding::Utf16BeByteOrderMark;
        return;
    }
    // Lines of standard files are some 20 to 40 bytes long.
    entries_.reserve(bytes.size() / 24 + 8);
    // Any run of CR and LF ends a line for the platform; the numbers count line breaks as an
    // editor shows them.
    std::uint32_t lineNumber = 1;
    std::size_t position = 0;
    unsigned seen = 0;
    while (position < bytes.size()) {
        const std::size_t start = position;
        position = SkipPlainText(bytes, position);
        for (; position < bytes.size(); ++position) {
            const unsigned byteClass = kByteClass[static_cast<unsigned char>(bytes[position])];
            if (byteClass & kLineEnd) break;
            seen |= byteClass;
        }
        AddLine(start, position, lineNumber);
        while (position < bytes.size() && (bytes[position] == '\r' || bytes[position] == '\n')) {
            const bool crBeforeLf = bytes[position] == '\r' && position + 1 < bytes.size() && bytes[position + 1] == '\n';
            if (!crBeforeLf) ++lineNumber;
            ++position;
        }
    }
    hasBytesAbove127_ = (seen & kAbove127) != 0;
    hasNul_ = (seen & kNul) != 0;
    hasPageFeedOrEof_ = (seen & kPageFeedOrEof) != 0;
    hasUnpinnedEdgeBytes_ = (seen & kUnpinnedEdge) != 0;
}

// The line is bytes_[start, end), without its line break.
void ProfileImage::AddLine(std::size_t start, std::size_t end, std::uint32_t lineNumber) {
    const char* const bytes = bytes_.data();
    // The line as the file holds it: blanks at its ends count towards its length.
    if (end - start > kLongestPinnedLine) doubts_.push_back({PlatformDoubt::VeryLongLine, lineNumber});
    while (start < end && IsBlank(bytes[start])) ++start;
    while (end > start && IsBlank(bytes[end - 1])) --end;
    if (start == end) return;
    if (bytes[start] == '[') {
        if (AddSection(std::string_view(bytes + start, end - start), lineNumber)) return;
        // A '[' line without a later ']' is an ordinary line here, a header on Windows.
        doubts_.push_back({PlatformDoubt::UnclosedSectionHeader, lineNumber});
    }
    ProfileEntry entry;
    entry.line = lineNumber;
    entry.nameStart = static_cast<std::uint32_t>(start);
    std::size_t equals = start;
    bool quote = false;
    for (; equals < end && bytes[equals] != '='; ++equals) quote |= IsQuote(bytes[equals]);
    hasQuoteInName_ |= quote;
    std::size_t nameEnd = equals;
    while (nameEnd > start && IsBlank(bytes[nameEnd - 1])) --nameEnd;
    entry.nameSize = static_cast<std::uint32_t>(nameEnd - start);
    if (equals < end) {
        std::size_t valueStart = equals + 1;
        while (valueStart < end && IsBlank(bytes[valueStart])) ++valueStart;
        entry.hasValue = 1;
        entry.valueStart = static_cast<std::uint32_t>(valueStart);
        entry.valueSize = static_cast<std::uint32_t>(end - valueStart);
        hasQuoteDoubt_ |= (entry.valueSize == 1 || entry.valueSize >= kStandardReadBufferSize) && IsQuote(bytes[valueStart]);
    } else {
        hasBareLine_ |= bytes[start] != ';' && bytes[start] != '[';
    }
    if (entry.nameSize == 0) entry.dropped = lastKept_ != kNone && UpToNul(Name(entries_[lastKept_])).empty();
    if (!entry.dropped) lastKept_ = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(entry);
    ++sections_.back().entryCount;
}

// A header: the name between '[' and the last ']'. False for a line without a later ']'.
bool ProfileImage::AddSection(std::string_view line, std::uint32_t lineNumber) {
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos || close == 0) return false;
    sections_.push_back(ProfileSection{Trim(line.substr(1, close - 1)), lineNumber,
                                       static_cast<std::uint32_t>(entries_.size()), 0});
    lastKept_ = kNone;
    return true;
}

void ProfileImage::NoteDoubts() {
    switch (encoding_) {
    case ProfileEncoding::Ansi:
        break;
    case ProfileEncoding::Utf8ByteOrderMark:
        doubts_.push_back({PlatformDoubt::Utf8ByteOrderMark, 1});
        return;
    case ProfileEncoding::Utf16LeByteOrderMark:
    case ProfileEncoding::Utf16BeByteOrderMark:
        doubts_.push_back({PlatformDoubt::Utf16ByteOrderMark, 1});
        return;
    }

    // The parse noted which rare bytes are there; only then a pass for their line numbers. NULs
    // are harmless only as a run that ends the file after its last line break.
    const std::string_view bytes(bytes_);
    if (hasNul_ || hasPageFeedOrEof_) {
        const std::size_t firstNul = bytes.find('\0');
        const bool trailingNulsOnly = firstNul != std::string_view::npos && firstNul > 0 &&
                                      (bytes[firstNul - 1] == '\n' || bytes[firstNul - 1] == '\r') &&
                                      bytes.find_first_not_of('\0', firstNul) == std::string_view::npos;
        bool nulNoted = false;
        std::uint32_t lineNumber = 1;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\n' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) ++lineNumber;
            if (c == '\v' || c == '\f' || c == '\x1a') doubts_.push_back({PlatformDoubt::PageOrFormFeedOrEof, lineNumber});
            if (c == '\0' && !trailingNulsOnly && !nulNoted) {
                doubts_.push_back({PlatformDoubt::NulByte, lineNumber});
                nulNoted = true;
            }
        }
    }

    for (std::size_t s = 1; s < sections_.size(); ++s) {
        const ProfileSection& section = sections_[s];
        if (Effective(section.name).empty()) doubts_.push_back({PlatformDoubt::EmptySectionName, section.line});
        if (section.name.find(']') != std::string_view::npos)
            doubts_.push_back({PlatformDoubt::SeveralClosingBrackets, section.line});
        if (hasUnpinnedEdgeBytes_ && HasUnpinnedEdge(section.name)) doubts_.push_back({PlatformDoubt::UntrimmedEdgeByte, section.line});
    }
    // Most files have none of the lines the pass over the entries looks for.
    if (hasUnpinnedEdgeBytes_ || hasQuoteInName_ || hasBareLine_ || hasQuoteDoubt_) NoteEntryDoubts();
    std::stable_sort(doubts_.begin(), doubts_.end(),
                     [](const DoubtAt& a, const DoubtAt& b) { return a.line < b.line; });
}

void ProfileImage::NoteEntryDoubts() {
    for (const ProfileEntry& entry : entries_) {
        const std::optional<std::string_view> rawValue = Value(entry);
        if (hasUnpinnedEdgeBytes_ && (HasUnpinnedEdge(Name(entry)) || (rawValue && HasUnpinnedEdge(*rawValue))))
            doubts_.push_back({PlatformDoubt::UntrimmedEdgeByte, entry.line});
        if (entry.dropped) continue;
        const std::string_view name = Effective(Name(entry));
        if (hasQuoteInName_ && !name.starts_with(';') &&
            (name.find('"') != std::string_view::npos || name.find('\'') != std::string_view::npos))
            doubts_.push_back({PlatformDoubt::QuoteInKeyName, entry.line});
        // Only the entry a read finds is ever answered from.
        if (!entry.found) continue;
        if (!rawValue) {
            // Lines that begin with ';' are comments to Windows: no read of the standard file names
            // them; a '[' line is told as a header.
            if (!name.empty() && !name.starts_with(';') && !name.starts_with('[')) doubts_.push_back({PlatformDoubt::BareLineReadAsKey, entry.line, name});
            continue;
        }
        const std::string_view value = Effective(*rawValue);
        if (value.size() >= kStandardReadBufferSize + 1 && IsQuoted(value))
            doubts_.push_back({PlatformDoubt::QuotedValueFillsBuffer, entry.line});
        else if (value.size() == 1 && IsQuote(value.front()))
            doubts_.push_back({PlatformDoubt::LoneQuoteValue, entry.line});
        else if (value.size() >= kStandardReadBufferSize && IsQuote(value.front()) &&
                 value.substr(1, kStandardReadBufferSize - 1).find(value.front()) == std::string_view::npos)
            doubts_.push_back({PlatformDoubt::UnclosedLongQuote, entry.line});
    }
}

void ProfileImage::Index() {
    sectionSlots_.assign(TableSizeFor(sections_.size()), 0);
    const std::size_t sectionMask = sectionSlots_.size() - 1;
    sectionSearched_.assign(sections_.size(), 0);
    for (std::uint32_t s = 0; s < sections_.size(); ++s) {
        const std::string_view name = Effective(sections_[s].name);
        for (std::size_t slot = FoldedHash(name) & sectionMask;; slot = (slot + 1) & sectionMask) {
            if (sectionSlots_[slot] == 0) {
                sectionSlots_[slot] = s + 1;
                sectionSearched_[s] = 1;
                break;
            }
            if (EqualIgnoringAsciiCase(Effective(sections_[sectionSlots_[slot] - 1].name), name)) break;
        }
    }
    // Only the first section of a name is ever searched, and in it the first entry of a name.
    entryTables_.assign(sections_.size(), EntryTable{});
    std::size_t slots = 0;
    for (std::uint32_t s = 0; s < sections_.size(); ++s) {
        if (!sectionSearched_[s]) continue;
        const auto size = static_cast<std::uint32_t>(TableSizeFor(sections_[s].entryCount));
        entryTables_[s] = {static_cast<std::uint32_t>(slots), size - 1};
        slots += size;
    }
    entrySlots_ = std::make_unique_for_overwrite<EntrySlot[]>(slots);
    for (std::uint32_t s = 0; s < sections_.size(); ++s)
        if (sectionSearched_[s]) IndexEntries(s);
}

void ProfileImage::IndexEntries(std::uint32_t section) {
    const ProfileSection& owner = sections_[section];
    const EntryTable table = entryTables_[section];
    EntrySlot* const slots = entrySlots_.get() + table.start;
    std::fill(slots, slots + table.mask + 1, EntrySlot{});
    // Each name's hash is taken a few entries ahead and its slot fetched meanwhile: a large
    // section's table does not stay in the cache while the entries and their bytes stream past.
    constexpr std::uint32_t kAhead = 8;
    std::uint32_t hashes[kAhead];
    const std::uint32_t end = owner.firstEntry + owner.entryCount;
    const auto hashAhead = [&](std::uint32_t e) {
        if (e >= end) return;
        hashes[e % kAhead] = FoldedHash(Effective(Name(entries_[e])));
        __builtin_prefetch(slots + (hashes[e % kAhead] & table.mask));
    };
    for (std::uint32_t e = owner.firstEntry; e < owner.firstEntry + kAhead; ++e) hashAhead(e);
    for (std::uint32_t e = owner.firstEntry; e < end; ++e) {
        const std::uint32_t hash = hashes[e % kAhead];
        hashAhead(e + kAhead);
        if (!entries_[e].dropped) Insert(slots, table.mask, e, hash);
    }
}

// Marks entry e found unless the table holds an entry of its name already.
void ProfileImage::Insert(EntrySlot* slots, std::uint32_t mask, std::uint32_t e, std::uint32_t hash) {
    const std::string_view name = Effective(Name(entries_[e]));
    for (std::uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
        if (slots[slot].entry == 0) {
            slots[slot] = {e + 1, hash};
            entries_[e].found = 1;
            return;
        }
        if (slots[slot].hash == hash && EqualIgnoringAsciiCase(Effective(Name(entries_[slots[slot].entry - 1])), name))
            return;
    }
}

const ProfileSection* ProfileImage::FindSection(std::string_view trimmedName) const noexcept {
    // Reads come section by section: the last section found is tried first.
    const std::uint32_t last = lastSection_.load(std::memory_order_relaxed);
    if (last < sections_.size() && sectionSearched_[last] && EqualIgnoringAsciiCase(Effective(sections_[last].name), trimmedName))
        return &sections_[last];
    const std::size_t mask = sectionSlots_.size() - 1;
    for (std::size_t slot = FoldedHash(trimmedName) & mask; sectionSlots_[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t s = sectionSlots_[slot] - 1;
        if (EqualIgnoringAsciiCase(Effective(sections_[s].name), trimmedName)) {
            lastSection_.store(s, std::memory_order_relaxed);
            return &sections_[s];
        }
    }
    return nullptr;
}

const ProfileEntry* ProfileImage::Find(std::string_view section, std::string_view key) const noexcept {
    if (encoding_ != ProfileEncoding::Ansi) return nullptr;
    const ProfileSection* found = FindSection(Trim(UpToNul(section)));
    if (!found) return nullptr;
    const std::string_view name = Trim(UpToNul(key));
    // Reads come in file order: the entry after the last one found is tried first, and taken when
    // it is the one the table holds for its name.
    const std::uint32_t next = lastEntry_.load(std::memory_order_relaxed) + 1;
    if (next >= found->firstEntry && next < found->firstEntry + found->entryCount && entries_[next].found &&
        EqualIgnoringAsciiCase(Effective(Name(entries_[next])), name)) {
        lastEntry_.store(next, std::memory_order_relaxed);
        return &entries_[next];
    }
    const EntryTable table = entryTables_[static_cast<std::size_t>(found - sections_.data())];
    const EntrySlot* const slots = entrySlots_.get() + table.start;
    const std::uint32_t hash = FoldedHash(name);
    for (std::uint32_t slot = hash & table.mask; slots[slot].entry != 0; slot = (slot + 1) & table.mask) {
        const std::uint32_t e = slots[slot].entry - 1;
        if (slots[slot].hash == hash && EqualIgnoringAsciiCase(Effective(Name(entries_[e])), name)) {
            lastEntry_.store(e, std::memory_order_relaxed);
            return &entries_[e];
        }
    }
    return nullptr;
}

std::string_view ProfileImage::Answer(std::string_view section, std::string_view key, std::string_view fallback,
                                      std::size_t bufferSize) const noexcept {
    // Wine's ANSI function allocates a wide buffer of bufferSize characters first; a huge size fails.
    if (bufferSize == 0 || bufferSize >= 0x40000000) return {};
    if (const ProfileEntry* entry = Find(section, key); entry && entry->hasValue)
        return CopyEntry(Effective(*Value(*entry)), bufferSize);
    // The default loses its trailing spaces, though never its first character.
    fallback = UpToNul(fallback);
    std::size_t end = fallback.size();
    while (end > 1 && fallback[end - 1] == ' ') --end;
    return CopyEntry(fallback.substr(0, end), bufferSize);
}

std::string ProfileImage::ReadString(std::string_view section, std::string_view key, std::string_view fallback,
                                     std::size_t bufferSize) const {
    return std::string(Answer(section, key, fallback, bufferSize));
}

}  // namespace standards
