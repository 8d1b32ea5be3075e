#pragma once
// An ASCII DXF file's lines and group code / value pairs, read from large blocks of the file as
// views, with no copy and no allocation per line: what the audit's reader and the fix's rewriter
// share. Portable: the bytes come from the caller's source, so the reading builds and is fuzzed
// natively.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kvstcheck {

// Where a reader gets a file's bytes: from the start, piece by piece, and the file's last bytes.
// Both may throw InputError (line 0) when the file cannot be read.
class DxfBytes {
public:
    virtual ~DxfBytes() = default;
    // Copies the next bytes, at most size, into buffer; 0 at the end of the file.
    virtual std::size_t ReadNext(char* buffer, std::size_t size) = 0;
    // The file's last bytes, at most count; fewer only when the file holds fewer.
    virtual std::string ReadTail(std::size_t count) = 0;
};

// Bytes in memory, handed out at most pieceSize at a time.
class DxfMemoryBytes final : public DxfBytes {
public:
    explicit DxfMemoryBytes(std::string_view bytes, std::size_t pieceSize = 64 * 1024);
    std::size_t ReadNext(char* buffer, std::size_t size) override;
    std::string ReadTail(std::size_t count) override;

private:
    std::string_view bytes_;
    std::size_t pieceSize_;
    std::size_t next_ = 0;
};

// No line of a DXF file comes near this length; a longer one means the file is something else.
inline constexpr std::size_t kLongestDxfLine = 1 << 20;

// The line without its line end: the LF and any carriage returns before it.
inline std::string_view WithoutLineEnd(std::string_view line) noexcept {
    if (line.ends_with('\n')) line.remove_suffix(1);
    while (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

// A group code, or a number, as DXF writes it: digits, blanks around them (a line end too), an
// optional sign.
bool ParseDxfInt(std::string_view text, long long& value) noexcept;

// A group code line and its value line, as views that stay valid until the next read.
struct DxfPairLines {
    long long code = 0;
    std::string_view codeLine;   // with its line end
    std::string_view valueLine;  // with its line end; empty when the file ends after the code
    std::size_t line = 0;        // of the group code; the value is on the next line
    std::string_view value() const noexcept { return WithoutLineEnd(valueLine); }
};

enum class DxfPairRead {
    Pair,     // a whole pair
    End,      // the file ended before a group code
    BadCode,  // the code line is no group code (codeLine says what it holds)
    Cut,      // the file ends after a group code without its value
};

// Reads a file's lines from blocks that grow to 1 MiB, refilled with the unread part of the last
// line carried over. Throws InputError (with the line) for a line over kLongestDxfLine.
class DxfLineReader {
public:
    explicit DxfLineReader(DxfBytes& bytes);

    // The file opens with a binary DXF's marker.
    bool binary() const noexcept { return binary_; }
    // A UTF-8 byte order mark before the first line ("" without one); the lines come after it.
    std::string_view preamble() const noexcept { return preamble_; }

    // The next line with its line end (none on a last line without one); false at the end. The
    // line stays valid until the next read, or longer from a place held (Hold).
    bool NextLine(std::string_view& line);
    DxfPairRead NextPair(DxfPairLines& pair);

    // The number of the last line read (1 for the first).
    std::size_t line() const noexcept { return line_; }
    // Where the next line starts, counted from the file's first byte.
    std::uint64_t offset() const noexcept { return base_ + start_; }
    // Keeps every byte from this place (at or before offset()) on in memory, valid as Bytes, until
    // the next Hold; a place at or after offset() holds nothing back.
    void Hold(std::uint64_t from) noexcept { held_ = from; }
    std::string_view Bytes(std::uint64_t from, std::uint64_t to) const noexcept {
        return {buffer_.get() + (from - base_), static_cast<std::size_t>(to - from)};
    }

private:
    // Both lines of a pair when the buffer holds them (nearly always): false leaves all as it was.
    bool PairInBuffer(DxfPairLines& pair) noexcept;
    bool Fill();
    // The first LF in the buffer from index at on, or end_.
    std::size_t FindLineEnd(std::size_t at) const noexcept;

    DxfBytes& bytes_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t start_ = 0, end_ = 0;  // the unread bytes are buffer_[start_, end_)
    std::uint64_t base_ = 0;           // the file offset of buffer_[0]
    std::uint64_t held_ = UINT64_MAX;  // nothing held
    std::size_t line_ = 0;
    bool atEnd_ = false;
    bool binary_ = false;
    std::string_view preamble_;
};

}  // namespace kvstcheck
