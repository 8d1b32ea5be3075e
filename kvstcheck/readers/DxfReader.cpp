#include "kvstcheck/readers/DxfReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

#include "kvstcheck/readers/InputError.h"

namespace kvstcheck {
namespace {

// A binary DXF file opens with a 22-byte marker: seven bytes of the writing program's name, then
// " Binary DXF", CR, LF, 0x1A and a NUL. The fixed tail identifies the format.
constexpr std::size_t kBinaryMarkerOffset = 7;
constexpr std::string_view kBinaryMarkerTail{" Binary DXF\r\n\x1A\0", 15};
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// From this $ACADVER on, DXF text is UTF-8.
constexpr int kFirstUtf8Version = 1021;
// What a drawing without $DWGCODEPAGE is taken to use.
constexpr unsigned kDefaultCodePage = 1252;

// Spaces, tabs and stray carriage returns around a group code or a keyword are not part of it.
constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Every pair is trimmed, twice or more: a loop of its own, where the library's character-set search
// calls the C runtime's memchr once per byte.
std::string_view Trim(std::string_view text) noexcept {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t end = text.size();
    while (end > first && IsBlank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

// Text of the file for a message, which must be UTF-8 whatever the file holds: printable ASCII kept,
// anything else shown as '?', long text cut.
std::string Printable(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string shown;
    for (const char c : text.substr(0, kShown)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > kShown) shown += "...";
    return shown;
}

std::string Quote(std::string_view text) { return "\"" + Printable(text) + "\""; }

std::optional<int> ParseInt(std::string_view text) {
    text = Trim(text);
    if (text.starts_with('+') && text.size() > 1 && text[1] != '-') text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Pair {
    int code = 0;
    std::string_view value;
    int line = 0;  // of the group code; the value is on the next line

    std::string_view keyword() const { return Trim(value); }
    bool is(int expectedCode, std::string_view word) const { return code == expectedCode && keyword() == word; }
    std::string describe() const { return "group " + std::to_string(code) + " " + Quote(value); }
};

// The file's lines, read piece by piece; a line stays valid until the next one is read.
class LineReader {
public:
    explicit LineReader(DxfBytes& bytes) : bytes_(bytes), buffer_(kFirstBufferSize, '\0') {}

    // The next unread bytes, at most count; fewer only at the end of the file.
    std::string_view Peek(std::size_t count) {
        while (end_ - start_ < count && Fill()) {
        }
        return Unread().substr(0, count);
    }

    // Passes over bytes that Peek returned.
    void Skip(std::size_t count) noexcept { start_ += count; }

    // Any number of carriage returns before a line's LF belong to the line end.
    bool NextLine(std::string_view& line) {
        std::size_t scanned = 0;  // unread bytes known to hold no LF
        for (;;) {
            const std::string_view unread = Unread();
            const auto end = unread.find('\n', scanned);
            if (end != std::string_view::npos) {
                line = unread.substr(0, end);
                start_ += end + 1;
                break;
            }
            scanned = unread.size();
            if (scanned > kLongestDxfLine) throw TooLong();
            if (!Fill()) {
                if (scanned == 0) return false;
                line = Unread();  // Fill may have moved the bytes
                start_ = end_;
                break;
            }
        }
        if (line.size() > kLongestDxfLine) throw TooLong();
        ++line_;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
    }

    int line() const noexcept { return line_; }

private:
    static constexpr std::size_t kFirstBufferSize = 64 * 1024;

    std::string_view Unread() const noexcept { return std::string_view(buffer_).substr(start_, end_ - start_); }

    InputError TooLong() const {
        return InputError(line_ + 1, "a line over " + std::to_string(kLongestDxfLine >> 20) +
                                         " MiB long: this is not a DXF file");
    }

    // Moves the unread bytes to the front and reads more after them; false at the end of the file.
    bool Fill() {
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

    DxfBytes& bytes_;
    std::string buffer_;
    std::size_t start_ = 0;  // the unread bytes are buffer_[start_, end_)
    std::size_t end_ = 0;
    bool atEnd_ = false;
    int line_ = 0;
};

// Splits the file into group code / value pairs; comments (group 999) are dropped wherever they are.
// A pair's value stays valid until the next pair is read.
class PairReader {
public:
    explicit PairReader(LineReader& lines) : lines_(lines) {}

    // False when the data ends before a pair is complete (cutInsidePair() tells whether a group code
    // was left without its value); throws on a bad group code.
    bool Next(Pair& pair) {
        do {
            if (!NextCompletePair(pair)) return false;
        } while (pair.code == kCommentCode);
        return true;
    }

    int line() const noexcept { return lines_.line(); }
    bool cutInsidePair() const noexcept { return cutInsidePair_; }

private:
    static constexpr int kCommentCode = 999;

    bool NextCompletePair(Pair& pair) {
        std::string_view codeLine;
        if (!lines_.NextLine(codeLine)) return false;
        const auto code = ParseInt(codeLine);
        if (!code) {
            if (line() == 1)
                throw InputError(1, "not a DXF file: it does not begin with a group code (found " + Quote(codeLine) +
                                        ")");
            throw InputError(line(), "expected a group code, found " + Quote(codeLine));
        }
        pair.code = *code;
        pair.line = line();
        if (!lines_.NextLine(pair.value)) {
            cutInsidePair_ = true;
            return false;
        }
        return true;
    }

    LineReader& lines_;
    bool cutInsidePair_ = false;
};

// The four tables that the audit reads, in the order of DrawingNames.
constexpr std::array<std::string_view, 4> kTables = {"LAYER", "LTYPE", "STYLE", "DIMSTYLE"};
constexpr std::size_t kLayerTable = 0;
constexpr std::size_t kStyleTable = 2;
// Group 70 of a STYLE entry: the entry describes a shape file, not a text style.
constexpr int kShapeFileFlag = 1;

std::optional<std::size_t> TableIndex(std::string_view name) {
    const auto found = std::find(kTables.begin(), kTables.end(), name);
    if (found == kTables.end()) return std::nullopt;
    return static_cast<std::size_t>(found - kTables.begin());
}

bool IsStructureWord(std::string_view word) {
    return word == "SECTION" || word == "ENDSEC" || word == "TABLE" || word == "ENDTAB" || word == "EOF";
}

// How many of a file's last bytes, carriage returns not counted, are searched for its EOF group:
// LF and CR LF line ends find the same.
constexpr std::size_t kTailLength = 4096;

bool FileEndsWithEof(DxfBytes& bytes) {
    // A carriage return before each line end at most doubles the bytes.
    constexpr std::size_t kRawTailLength = 2 * kTailLength;
    std::string tail = bytes.ReadTail(kRawTailLength + 1);
    bool wholeFile = tail.size() <= kRawTailLength;
    std::erase(tail, '\r');
    if (tail.size() > kTailLength) {
        tail.erase(0, tail.size() - kTailLength);
        wholeFile = false;
    }
    return EndsWithEof(tail, wholeFile);
}

class DxfParser {
public:
    DxfParser(LineReader& lines, DxfBytes& bytes, const TextDecoder& decoder)
        : pairs_(lines), bytes_(bytes), decoder_(decoder) {}

    DrawingContent Parse() {
        Pair pair;
        if (!pairs_.Next(pair)) {
            if (pairs_.line() == 0) throw InputError(1, "not a DXF file: the file is empty");
            throw Cut("before EOF");
        }
        if (!pair.is(0, "SECTION"))
            throw InputError(pair.line, "not a DXF file: it does not begin with group 0 SECTION (found " +
                                            pair.describe() + ")");
        ReadUpToTheEndOfTables(pair);
        DrawingContent content;
        content.names = Decode();
        for (std::size_t kind = 0; kind < kTables.size(); ++kind)
            for (const RawName& raw : names_[kind]) content.lines[kind].push_back(raw.line);
        if (!FileEndsWithEof(bytes_))
            content.warnings.push_back("line " + std::to_string(tablesEndLine_) +
                                       ": the TABLES section ends here, and the file does not end with EOF: it may "
                                       "be cut short");
        return content;
    }

private:
    struct RawName {
        std::string bytes;
        int line = 0;
    };
    // A layer's colour (62), linetype (6), lineweight (370) and plot flag (290), as the entry gives them.
    struct RawLayer {
        std::optional<int> color;
        std::optional<RawName> linetype;
        std::optional<int> lineweight;
        std::optional<int> plot;
        int line = 0;
    };

    // From the first SECTION to the end of TABLES. Groups between sections are ignored, except
    // header variables that a writer put after an early ENDSEC of the HEADER section; a stray ENDSEC
    // there is ignored. EOF before TABLES: the file has none.
    void ReadUpToTheEndOfTables(Pair pair) {
        for (;;) {
            if (pair.is(0, "EOF")) throw InputError(pair.line, "the file has no TABLES section");
            if (pair.is(0, "SECTION")) {
                if (ReadSection()) return;
                variable_.clear();
            } else {
                ReadHeaderVariable(pair);
            }
            pair = Expect("before EOF");
        }
    }

    InputError Cut(std::string_view where) const {
        if (pairs_.cutInsidePair())
            return InputError(pairs_.line(), "the file ends after a group code without its value: it is truncated");
        return InputError(pairs_.line(), "the file ends " + std::string(where) + ": it is truncated");
    }

    // where: a view, so that the message is made only for a file that is cut.
    Pair Expect(std::string_view where) {
        Pair pair;
        if (pairs_.Next(pair)) return pair;
        throw Cut(where);
    }

    // True when the section was TABLES.
    bool ReadSection() {
        const Pair name = Expect("after SECTION");
        if (name.code != 2) throw InputError(name.line, "SECTION without its name, found " + name.describe());
        const std::string section(name.keyword());
        if (section == "TABLES") {
            ReadTables();
            return true;
        }
        if (section == "HEADER")
            ReadHeader();
        else
            SkipSection(Printable(section));
        return false;
    }

    // Ends at ENDSEC; structure words that cannot occur inside a section mean a missing ENDSEC.
    static void CheckInsideSection(const Pair& pair, std::string_view section) {
        if (pair.code == 0 && (pair.keyword() == "SECTION" || pair.keyword() == "EOF"))
            throw InputError(pair.line, std::string(pair.keyword()) + " inside the " + std::string(section) +
                                            " section (no ENDSEC before it)");
    }

    void ReadHeaderVariable(const Pair& pair) {
        if (pair.code == 9)
            variable_ = pair.keyword();
        else if (variable_ == "$ACADVER" && pair.code == 1)
            version_ = pair.keyword();
        else if (variable_ == "$DWGCODEPAGE" && pair.code == 3)
            codePage_ = {std::string(pair.keyword()), pair.line + 1};
    }

    void ReadHeader() {
        for (;;) {
            const Pair pair = Expect("inside the HEADER section (no ENDSEC)");
            if (pair.is(0, "ENDSEC")) return;
            CheckInsideSection(pair, "HEADER");
            ReadHeaderVariable(pair);
        }
    }

    void SkipSection(const std::string& section) {
        const std::string where = "inside the " + section + " section (no ENDSEC)";
        for (;;) {
            const Pair pair = Expect(where);
            if (pair.is(0, "ENDSEC")) return;
            CheckInsideSection(pair, section);
        }
    }

    void ReadTables() {
        for (;;) {
            const Pair pair = Expect("inside the TABLES section (no ENDSEC)");
            if (pair.is(0, "ENDSEC")) {
                tablesEndLine_ = pair.line;
                return;
            }
            CheckInsideSection(pair, "TABLES");
            if (!pair.is(0, "TABLE"))
                throw InputError(pair.line, "expected TABLE or ENDSEC in the TABLES section, found " +
                                                pair.describe());
            ReadTable();
        }
    }

    void ReadTable() {
        const Pair name = Expect("after TABLE");
        if (name.code != 2) throw InputError(name.line, "TABLE without its name, found " + name.describe());
        const std::string table(name.keyword());
        const auto index = TableIndex(table);
        const std::string shownTable = Printable(table);
        const std::string where = "inside the " + shownTable + " table (no ENDTAB)";
        // The table's own groups (handle, count, owner) come before its first entry.
        Pair pair = Expect(where);
        while (pair.code != 0) pair = Expect(where);
        while (!pair.is(0, "ENDTAB")) {
            const std::string type(pair.keyword());
            if (IsStructureWord(type))
                throw InputError(pair.line, type + " inside the " + shownTable + " table (no ENDTAB before it)");
            if (index && type != table)
                throw InputError(pair.line, "a " + Printable(type) + " entry inside the " + shownTable + " table");
            pair = ReadEntry(index, type, pair.line, where);
        }
    }

    // Reads one table entry up to the next group 0, which it returns; type (as the file gives it) is
    // for messages.
    Pair ReadEntry(std::optional<std::size_t> index, std::string_view type, int entryLine, std::string_view where) {
        std::optional<RawName> name;
        RawLayer layer;
        int flags = 0;
        int openGroups = 0;  // 102 {...} groups hold other applications' data, never the entry's name
        for (;;) {
            const Pair pair = Expect(where);
            if (pair.code == 0) {
                if (index) Keep(*index, type, entryLine, name, flags, layer);
                return pair;
            }
            if (pair.code == 102) {
                const auto marker = pair.keyword();
                if (marker.starts_with('{'))
                    ++openGroups;
                else if (marker == "}" && openGroups > 0)
                    --openGroups;
            } else if (openGroups == 0 && pair.code == 2 && !name) {
                name = RawName{std::string(pair.value), pair.line + 1};
            } else if (openGroups == 0 && pair.code == 70) {
                const auto value = ParseInt(pair.value);
                if (!value)
                    throw InputError(pair.line + 1, "group 70 of a " + Printable(type) +
                                                        " entry is not a number: " + Quote(pair.value));
                flags = *value;
            } else if (openGroups == 0 && index == kLayerTable) {
                ReadLayerGroup(pair, layer);
            }
        }
    }

    static void ReadLayerGroup(const Pair& pair, RawLayer& layer) {
        if (pair.code == 6) {
            layer.linetype = RawName{std::string(pair.value), pair.line + 1};
            return;
        }
        std::optional<int>* target = pair.code == 62 ? &layer.color : pair.code == 370 ? &layer.lineweight
                                   : pair.code == 290 ? &layer.plot : nullptr;
        if (target == nullptr) return;
        *target = ParseInt(pair.value);
        if (!*target)
            throw InputError(pair.line + 1, "group " + std::to_string(pair.code) + " of a LAYER entry is not a number: " +
                                                Quote(pair.value));
    }

    void Keep(std::size_t index, std::string_view type, int entryLine, const std::optional<RawName>& name, int flags,
              const RawLayer& layer) {
        if (!name) throw InputError(entryLine, "a " + Printable(type) + " entry without its name (group 2)");
        if (index == kStyleTable && (flags & kShapeFileFlag)) return;
        names_[index].push_back(*name);
        if (index == kLayerTable) layers_.push_back(layer);
    }

    DrawingNames Decode() const {
        const bool utf8 = VersionNumber() >= kFirstUtf8Version;
        unsigned codePage = utf8 ? kUtf8CodePage : kDefaultCodePage;
        if (!utf8 && !codePage_.bytes.empty()) {
            const auto named = CodePageOfDxfName(codePage_.bytes);
            if (!named || !decoder_.Knows(*named))
                throw InputError(codePage_.line, "unknown drawing code page " + Quote(codePage_.bytes));
            codePage = *named;
        }
        DrawingNames drawing;
        std::array<std::vector<std::wstring>*, 4> lists = {&drawing.layers, &drawing.linetypes, &drawing.textStyles,
                                                           &drawing.dimStyles};
        for (std::size_t kind = 0; kind < kTables.size(); ++kind)
            for (const RawName& raw : names_[kind]) lists[kind]->push_back(DecodeName(raw, codePage, utf8));
        for (const RawLayer& raw : layers_) {
            LayerProperties layer;
            layer.color = raw.color;
            if (raw.linetype) layer.linetype = DecodeName(*raw.linetype, codePage, utf8);
            if (raw.lineweight) layer.lineweight = *raw.lineweight;
            layer.plot = raw.plot.value_or(1) != 0;
            drawing.layerProperties.push_back(std::move(layer));
        }
        return drawing;
    }

    std::wstring DecodeName(const RawName& raw, unsigned codePage, bool utf8) const {
        auto text = decoder_.Decode(raw.bytes, codePage);
        if (!text)
            throw InputError(raw.line, utf8 ? std::string("the name is not valid UTF-8 text")
                                            : "the name is not valid text in code page " + std::to_string(codePage));
        return utf8 ? std::move(*text) : DecodeDxfEscapes(*text, decoder_);
    }

    // AC1009 gives 1009; a missing or odd version counts as an old one.
    int VersionNumber() const {
        if (!version_.starts_with("AC")) return 0;
        return ParseInt(std::string_view(version_).substr(2)).value_or(0);
    }

    PairReader pairs_;
    DxfBytes& bytes_;
    const TextDecoder& decoder_;
    int tablesEndLine_ = 0;  // of the TABLES section's ENDSEC
    std::string variable_;   // the header variable whose value comes next
    std::string version_;
    RawName codePage_;
    std::array<std::vector<RawName>, 4> names_;
    std::vector<RawLayer> layers_;  // one per kept LAYER entry
};

std::optional<unsigned> ParseUnsigned(std::string_view digits) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<unsigned> HexValue(std::wstring_view digits) {
    unsigned value = 0;
    for (const wchar_t c : digits) {
        unsigned digit = 0;
        if (c >= L'0' && c <= L'9')
            digit = static_cast<unsigned>(c - L'0');
        else if (c >= L'A' && c <= L'F')
            digit = static_cast<unsigned>(c - L'A' + 10);
        else if (c >= L'a' && c <= L'f')
            digit = static_cast<unsigned>(c - L'a' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

// The n of \M+nXXXX names the multibyte code page of the character XXXX.
constexpr std::array<unsigned, 5> kMultibyteCodePages = {932, 950, 949, 1361, 936};

std::optional<std::wstring> DecodeMultibyteEscape(std::wstring_view escape, const TextDecoder& decoder) {
    const wchar_t selector = escape[3];
    if (selector < L'1' || selector > L'5') return std::nullopt;
    const auto code = HexValue(escape.substr(4, 4));
    if (!code) return std::nullopt;
    const char bytes[2] = {static_cast<char>(*code >> 8), static_cast<char>(*code & 0xFF)};
    const unsigned codePage = kMultibyteCodePages[selector - L'1'];
    if (!decoder.Knows(codePage)) return std::nullopt;
    auto character = decoder.Decode(std::string_view(bytes, 2), codePage);
    if (!character || character->size() != 1) return std::nullopt;
    return character;
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

DrawingContent ReadDxf(DxfBytes& bytes, const TextDecoder& decoder) {
    LineReader lines(bytes);
    const std::string_view head = lines.Peek(kBinaryMarkerOffset + kBinaryMarkerTail.size());
    if (head.size() == kBinaryMarkerOffset + kBinaryMarkerTail.size() &&
        head.substr(kBinaryMarkerOffset) == kBinaryMarkerTail)
        throw InputError(1, "this is a binary DXF file; only ASCII DXF can be read (save the drawing as ASCII DXF)");
    if (head.starts_with(kUtf8Mark)) lines.Skip(kUtf8Mark.size());
    return DxfParser(lines, bytes, decoder).Parse();
}

DrawingContent ReadDxf(std::string_view bytes, const TextDecoder& decoder) {
    DxfMemoryBytes memory(bytes);
    return ReadDxf(memory, decoder);
}

bool EndsWithEof(std::string_view lastBytes, bool wholeFile) {
    if (!wholeFile) {
        // The first line may be the end of a longer one.
        const auto firstEnd = lastBytes.find('\n');
        if (firstEnd == std::string_view::npos) return false;
        lastBytes.remove_prefix(firstEnd + 1);
    }
    std::optional<std::string_view> previous;
    while (!lastBytes.empty()) {
        const auto end = lastBytes.find('\n');
        const std::string_view line = Trim(lastBytes.substr(0, end));
        lastBytes = end == std::string_view::npos ? std::string_view() : lastBytes.substr(end + 1);
        if (line == "EOF" && previous && ParseInt(*previous) == 0) return true;
        previous = line;
    }
    return false;
}

std::optional<unsigned> CodePageOfDxfName(std::string_view name) {
    std::string upper(Trim(name));
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::string_view text = upper;
    if (text.starts_with("ANSI_") && text != "ANSI_1200") return ParseUnsigned(text.substr(5));
    if (text.starts_with("DOS")) return ParseUnsigned(text.substr(3));
    if (text.starts_with("ISO8859-") || text.starts_with("ISO8859_")) {
        const auto part = ParseUnsigned(text.substr(8));
        if (part && *part >= 1 && *part <= 15) return 28590 + *part;
        return std::nullopt;
    }
    static constexpr std::pair<std::string_view, unsigned> kNamed[] = {
        {"ASCII", 20127}, {"MACINTOSH", 10000}, {"MAC-ROMAN", 10000}, {"BIG5", 950},
        {"KSC5601", 949}, {"JOHAB", 1361},      {"GB2312", 936},
    };
    for (const auto& [known, codePage] : kNamed)
        if (text == known) return codePage;
    return std::nullopt;
}

std::wstring DecodeDxfEscapes(std::wstring_view text, const TextDecoder& decoder) {
    constexpr std::size_t kUnicodeLength = 7;    // \U+XXXX
    constexpr std::size_t kMultibyteLength = 8;  // \M+nXXXX
    std::wstring decoded;
    decoded.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::wstring_view rest = text.substr(at);
        if (rest.starts_with(L"\\U+") && rest.size() >= kUnicodeLength) {
            if (const auto code = HexValue(rest.substr(3, 4))) {
                decoded += static_cast<wchar_t>(*code);
                at += kUnicodeLength;
                continue;
            }
        }
        if (rest.starts_with(L"\\M+") && rest.size() >= kMultibyteLength) {
            if (const auto character = DecodeMultibyteEscape(rest.substr(0, kMultibyteLength), decoder)) {
                decoded += *character;
                at += kMultibyteLength;
                continue;
            }
        }
        decoded += text[at++];
    }
    return decoded;
}

}  // namespace kvstcheck
