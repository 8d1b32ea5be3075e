#include "kvstcheck/readers/DxfReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <climits>
#include <vector>

#include "kvstcheck/readers/InputError.h"

namespace kvstcheck {
namespace {

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
    long long value = 0;
    if (!ParseDxfInt(text, value) || value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

struct Pair {
    int code = 0;
    std::string_view value;
    int line = 0;  // of the group code; the value is on the next line

    std::string_view keyword() const { return Trim(value); }
    bool is(int expectedCode, std::string_view word) const { return code == expectedCode && keyword() == word; }
    std::string describe() const { return "group " + std::to_string(code) + " " + Quote(value); }
};

// Splits the file into group code / value pairs; comments (group 999) are dropped wherever they are.
// A pair's value stays valid until the next pair is read.
class PairReader {
public:
    explicit PairReader(DxfLineReader& lines) : lines_(lines) {}

    // False when the data ends before a pair is complete (cutInsidePair() tells whether a group code
    // was left without its value); throws on a bad group code.
    bool Next(Pair& pair) {
        do {
            if (!NextCompletePair(pair)) return false;
        } while (pair.code == kCommentCode);
        return true;
    }

    int line() const noexcept { return static_cast<int>(lines_.line()); }
    bool cutInsidePair() const noexcept { return cutInsidePair_; }

private:
    static constexpr int kCommentCode = 999;

    bool NextCompletePair(Pair& pair) {
        DxfPairLines lines;
        const DxfPairRead read = lines_.NextPair(lines);
        if (read == DxfPairRead::End) return false;
        if (read == DxfPairRead::BadCode || lines.code < INT_MIN || lines.code > INT_MAX) {
            const std::string_view codeLine = WithoutLineEnd(lines.codeLine);
            if (lines.line == 1)
                throw InputError(1, "not a DXF file: it does not begin with a group code (found " + Quote(codeLine) +
                                        ")");
            throw InputError(static_cast<int>(lines.line), "expected a group code, found " + Quote(codeLine));
        }
        if (read == DxfPairRead::Cut) {
            cutInsidePair_ = true;
            return false;
        }
        pair.code = static_cast<int>(lines.code);
        pair.line = static_cast<int>(lines.line);
        pair.value = lines.value();
        return true;
    }

    DxfLineReader& lines_;
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
    DxfParser(DxfLineReader& lines, DxfBytes& bytes, const TextDecoder& decoder)
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

DrawingContent ReadDxf(DxfBytes& bytes, const TextDecoder& decoder) {
    DxfLineReader lines(bytes);
    if (lines.binary())
        throw InputError(1, "this is a binary DXF file; only ASCII DXF can be read (save the drawing as ASCII DXF)");
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
