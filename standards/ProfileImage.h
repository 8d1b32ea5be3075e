#pragma once
// ProfileImage: the bytes of an INI file parsed once, the way the platform's ANSI profile
// functions parse them, so that GetPrivateProfileStringA's answers come from memory.
// Portable C++20 with no Windows calls: it builds natively as well, to be fuzzed.
//
// Read-only API, for the loader and for tools that explain a standard file:
//   ProfileImage image(bytes);     the file's bytes, copied in; any content is accepted
//   image.Encoding()               Ansi, or the byte order mark the platform would decode (no sections then)
//   image.Sections()               in file order, duplicates included; element 0 is the text before the
//                                  first header (unnamed, line 0), present even when empty
//   image.EntriesOf(section)       the section's other lines in file order: key=value lines, lines
//                                  without '=', duplicates and ';' lines included;
//                                  image.Name(entry) and image.Value(entry) read them
//   image.Doubts()                 lines whose answer the platforms may give differently (see PlatformDoubt)
//   image.HasBytesAbove127()       a code page that does not keep every byte as one character changes answers
//   image.ReadString(section, key, fallback, bufferSize), or Answer(...) as a view
//                                  the bytes GetPrivateProfileStringA writes before its NUL
// Section names, and the names and values Name and Value give, are views into the image's own bytes,
// in the file's code page; they stay valid as long as the image. Line numbers are 1-based, counting CRLF, LF and a lone CR as one line break each.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace standards {

// The read buffer of the standard file's reader, in bytes including the terminating NUL.
inline constexpr std::size_t kStandardReadBufferSize = 255;

enum class ProfileEncoding {
    Ansi,                 // no byte order mark: the system code page
    Utf8ByteOrderMark,    // EF BB BF
    Utf16LeByteOrderMark, // FF FE
    Utf16BeByteOrderMark, // FE FF
};

// One line of a section other than its header, as the platform stores it. Its name and value are
// offsets into the image's bytes (ProfileImage::Name and Value give them), so that an entry stays
// small: a large standard file holds a hundred thousand of them.
struct ProfileEntry {
    // Before the first '=', whitespace-trimmed; the whole trimmed line when there is no '='.
    std::uint32_t nameStart = 0;
    std::uint32_t nameSize = 0;
    // After the first '=', whitespace-trimmed, quotes still on; only when hasValue.
    std::uint32_t valueStart = 0;
    std::uint32_t valueSize = 0;
    std::uint32_t line : 29 = 0;
    std::uint32_t hasValue : 1 = 0;
    // The platform drops an empty name that directly follows another empty name.
    std::uint32_t dropped : 1 = 0;
    // A read of its name finds it: the first kept entry of its name in the first section of its name.
    std::uint32_t found : 1 = 0;
};

struct ProfileSection {
    // Between '[' and the last ']' of the header line, whitespace-trimmed; empty for the text
    // before the first header.
    std::string_view name;
    std::uint32_t line = 0;  // the header's line; 0 for the text before the first header
    std::uint32_t firstEntry = 0;
    std::uint32_t entryCount = 0;
};

// Content for which the platforms disagree, or may: a reader that must give the platform's own
// answer leaves such a file to the platform's functions.
enum class PlatformDoubt {
    Utf8ByteOrderMark,       // decoded by Wine, read as text by Windows
    Utf16ByteOrderMark,      // decoded, then converted back with the code page's best-fit mapping
    NulByte,                 // a NUL before the end of the text (Windows not pinned)
    PageOrFormFeedOrEof,     // VT, FF or ^Z: Wine trims them as blanks (Windows not pinned)
    QuoteInKeyName,          // Windows was seen not to find such keys
    QuotedValueFillsBuffer,  // a read quoted value of bufferSize-1 bytes or more inside its quotes
    BareLineReadAsKey,       // a line without '=' that a read of its name finds: Wine answers the default
    SeveralClosingBrackets,  // a header with two ']': Wine names the section up to the last one
    EmptySectionName,        // [] is reached by "" on Windows, the text before the first header on Wine
    UnclosedSectionHeader,   // "[Type2" without ']': Windows opens a section, Wine reads a plain line
    UntrimmedEdgeByte,       // 0xA0 or a control byte other than a blank at either end of a name or value
    VeryLongLine,            // 32,768 bytes or more, blanks at its ends included: not pinned
    LoneQuoteValue,          // a value that is one '"' or '\'' alone: Wine keeps it (Windows not pinned)
    UnclosedLongQuote,       // a value longer than the read that opens a quote not closed within it
};

struct DoubtAt {
    PlatformDoubt doubt;
    std::uint32_t line;  // 1-based; 1 for byte order marks
    // For BareLineReadAsKey: the line's name, a view into the image.
    std::string_view name{};
};

// Lines this long or longer are a doubt.
inline constexpr std::size_t kLongestPinnedLine = 32767;

// The most bytes an image holds (offsets and line numbers of entries are sized for it); the
// readers of standard files stop far below.
inline constexpr std::size_t kLargestProfileImage = std::size_t{1} << 28;

class ProfileImage {
public:
    // Throws std::length_error for more than kLargestProfileImage bytes.
    explicit ProfileImage(std::string bytes);

    // Holds views into its own bytes: not copied, only moved through a pointer.
    ProfileImage(const ProfileImage&) = delete;
    ProfileImage& operator=(const ProfileImage&) = delete;

    ProfileEncoding Encoding() const noexcept { return encoding_; }
    std::span<const ProfileSection> Sections() const noexcept { return sections_; }
    std::span<const ProfileEntry> EntriesOf(const ProfileSection& section) const noexcept;
    std::span<const DoubtAt> Doubts() const noexcept { return doubts_; }
    bool HasBytesAbove127() const noexcept { return hasBytesAbove127_; }
    std::string_view Bytes() const noexcept { return bytes_; }

    // An entry's name and value (none for a line without '='), as views into the image's bytes.
    std::string_view Name(const ProfileEntry& entry) const noexcept {
        return {bytes_.data() + entry.nameStart, entry.nameSize};
    }
    std::optional<std::string_view> Value(const ProfileEntry& entry) const noexcept {
        if (!entry.hasValue) return std::nullopt;
        return std::string_view(bytes_.data() + entry.valueStart, entry.valueSize);
    }

    // GetPrivateProfileStringA(section, key, fallback, buffer, bufferSize) on these bytes, with a
    // code page that keeps every byte as one character: the bytes written before the NUL. Wine's
    // rules: names match ignoring ASCII letter case, after trimming; the first section of a name
    // and its first key of a name answer; quotes come off the value (and the default).
    // Meaningful only for Encoding() == Ansi (otherwise every read gives the default).
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback,
                           std::size_t bufferSize = kStandardReadBufferSize) const;
    // The same answer as a view into the image's bytes or into fallback.
    std::string_view Answer(std::string_view section, std::string_view key, std::string_view fallback,
                            std::size_t bufferSize = kStandardReadBufferSize) const noexcept;

    // The first entry that a read of (section, key) finds, or null; it may have no value.
    const ProfileEntry* Find(std::string_view section, std::string_view key) const noexcept;

private:
    void Parse();
    void AddLine(std::size_t start, std::size_t end, std::uint32_t lineNumber);
    bool AddSection(std::string_view line, std::uint32_t lineNumber);
    void NoteDoubts();
    void NoteEntryDoubts();
    void Index();
    void IndexEntries(std::uint32_t section);
    struct EntrySlot;
    void Insert(EntrySlot* slots, std::uint32_t mask, std::uint32_t entry, std::uint32_t hash);
    const ProfileSection* FindSection(std::string_view trimmedName) const noexcept;
    // A stored name or value as the platform compares and copies it: up to its first NUL.
    std::string_view Effective(std::string_view text) const noexcept {
        return hasNul_ ? text.substr(0, text.find('\0')) : text;
    }

    std::string bytes_;
    ProfileEncoding encoding_ = ProfileEncoding::Ansi;
    bool hasBytesAbove127_ = false;
    bool hasNul_ = false;
    bool hasPageFeedOrEof_ = false;
    bool hasUnpinnedEdgeBytes_ = false;
    // Set while parsing: lines whose doubts only a pass over the entries finds.
    bool hasQuoteInName_ = false;
    bool hasBareLine_ = false;          // a line without '=' that is neither a comment nor a '[' line
    bool hasQuoteDoubt_ = false;        // a value of one quote, or one that opens a quote and may fill the read buffer
    std::vector<ProfileSection> sections_;
    std::vector<ProfileEntry> entries_;
    std::vector<DoubtAt> doubts_;
    // While parsing: the last entry of the current section that the platform keeps.
    static constexpr std::uint32_t kNone = UINT32_MAX;
    std::uint32_t lastKept_ = kNone;
    // Open-addressed tables of index + 1 (0: free): the first section of each name, and the first
    // entry of each name in those sections.
    std::vector<std::uint32_t> sectionSlots_;
    std::vector<std::uint8_t> sectionSearched_;  // the first section of its name
    // Each searched section has a table of its own, a run of entrySlots_, filled right after it is
    // cleared, so that building and searching one stays within a small part of memory.
    struct EntryTable {
        std::uint32_t start = 0;
        std::uint32_t mask = 0;
    };
    // An entry's index + 1 (0: free) and its name's hash, so that a probe compares names only
    // where the hashes agree. Left uninitialized until its table is cleared.
    struct EntrySlot {
        std::uint32_t entry;
        std::uint32_t hash;
    };
    std::unique_ptr<EntrySlot[]> entrySlots_;
    std::vector<EntryTable> entryTables_;  // per section
    // Where the last read ended, to try its neighbour first; a stale value is only a slower read.
    mutable std::atomic<std::uint32_t> lastSection_{kNone};
    mutable std::atomic<std::uint32_t> lastEntry_{kNone};
};

}  // namespace standards
