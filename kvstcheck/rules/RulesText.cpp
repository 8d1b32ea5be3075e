#include "kvstcheck/rules/RulesText.h"

#include <cstdio>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/reports/DisplayName.h"

namespace kvstcheck::rules {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The code point of a well-formed UTF-8 sequence at the start of bytes, and its length; nullopt for
// bytes that are not UTF-8 (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
std::optional<std::pair<char32_t, std::size_t>> Utf8CodePoint(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) return std::pair<char32_t, std::size_t>{lead, 1};
    std::size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F, low = lead == 0xE0 ? 0xA0 : 0x80,
                                           high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07, low = lead == 0xF0 ? 0x90 : 0x80,
                                           high = lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || bytes.size() < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return std::nullopt;
        code = (code << 6) | (next & 0x3F);
    }
    return std::pair<char32_t, std::size_t>{code, length};
}

// Where the first byte that is not text stands in UTF-8 bytes, or nullopt when all are text. A NUL
// is not text either: it is what UTF-16 without its mark and binary files are full of.
std::optional<DecodedText> NotUtf8Text(std::string_view bytes) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto point = Utf8CodePoint(bytes.substr(i));
        if (!point || point->first == 0) {
            char why[64];
            std::snprintf(why, sizeof why, "the byte 0x%02X %s", static_cast<unsigned>(static_cast<unsigned char>(bytes[i])),
                          point ? "(NUL)" : "is not part of UTF-8 text");
            return DecodedText{std::nullopt, line, column, why};
        }
        i += point->second;
        if (point->first == U'\n') ++line, column = 1;
        else ++column;
    }
    return std::nullopt;
}

DecodedText DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u32string points;
    std::size_t line = 1;
    std::size_t column = 1;
    const auto unit = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    for (std::size_t at = 0; at < bytes.size(); at += 2) {
        if (at + 1 == bytes.size()) return {std::nullopt, line, column, "an odd number of bytes for UTF-16 text"};
        char32_t code = unit(at);
        if (code >= 0xD800 && code <= 0xDBFF && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if ((code >= 0xD800 && code <= 0xDFFF) || code == 0) {
            return {std::nullopt, line, column, code == 0 ? "a NUL character" : "half of a UTF-16 surrogate pair"};
        }
        points += code;
        if (code == U'\n') ++line, column = 1;
        else ++column;
    }
    return {ToUtf8(points), 0, 0, {}};
}

// Spaces other than U+0020 read as white space by people but not by TOML.
bool IsOtherSpace(char32_t c) {
    return c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Where a TOML file's text stands: outside quotes, in a comment, or in one of the four kinds of string.
enum class Lexical { Outside, Comment, Basic, Literal, MultiBasic, MultiLiteral };

// A quote opens a string only where a key or value may begin. Glued to a bare word (1"x", -"x") it is
// part of that word, which the parser reads on to its end, testing each character for white space.
bool QuoteOpensString(std::string_view text, std::size_t at) {
    constexpr std::string_view kBeforeAString = " \t\n=[{,.";
    return at == 0 || kBeforeAString.find(text[at - 1]) != std::string_view::npos;
}

// After a backslash in a multi-line basic string the parser skips white space and line ends, testing
// each character; afterBackslash: the text after it.
bool BeyondAsciiAfterBackslash(std::string_view afterBackslash) {
    const auto next = afterBackslash.find_first_not_of(" \t\r\n");
    return next != std::string_view::npos && static_cast<unsigned char>(afterBackslash[next]) >= 0x80;
}

// The line holding text[at], with the character there (length bytes) replaced.
LineEdit Replaced(std::string_view text, std::size_t at, std::size_t length, std::string_view by, std::size_t line) {
    const auto start = text.rfind('\n', at) == std::string_view::npos ? 0 : text.rfind('\n', at) + 1;
    auto end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r' && end - 1 > at) --end;
    std::string changed(text.substr(start, end - start));
    changed.replace(at - start, length, by);
    return {line, LineEdit::Action::Replace, std::move(changed)};
}

bool IsControlByte(std::string_view rest) {
    const auto c = static_cast<unsigned char>(rest[0]);
    const bool lineEnd = c == '\n' || (c == '\r' && rest.starts_with("\r\n"));
    return (c < 0x20 && c != '\t' && !lineEnd) || c == 0x7F;
}

// A character beyond ASCII outside quotes and comments (TOML keys and white space are ASCII). The fix
// of an invisible one takes the whole run of them there: one plain space if it holds a space.
RulesProblem OutsideQuotes(std::string_view text, std::size_t at, const Place& place) {
    const auto [code, length] = *Utf8CodePoint(text.substr(at));
    if (!ShownAsCodePoint(code))
        return {LintRule::BeyondAscii, place, "not a TOML file: a character beyond ASCII outside quotes",
                "quote a name that holds it: [layers.properties.\"NAME\"] or \"NAME\""};
    bool anySpace = false;
    std::size_t end = at;
    for (auto next = Utf8CodePoint(text.substr(end)); next && next->first >= 0x80 && ShownAsCodePoint(next->first);
         next = end < text.size() ? Utf8CodePoint(text.substr(end)) : std::nullopt) {
        anySpace = anySpace || IsOtherSpace(next->first);
        end += next->second;
    }
    const bool space = IsOtherSpace(code);
    return {LintRule::InvisibleCharacter, place,
            std::string("not a TOML file: ") + (space ? "the space character " : "the invisible character ") +
                CodePointLabel(code) + " outside quotes",
            anySpace ? "write a plain space instead" : "remove it",
            Replaced(text, at, end - at, anySpace ? " " : "", place.line)};
}

}  // namespace

DecodedText DecodeText(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
    if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
    if (auto notText = NotUtf8Text(bytes)) return *notText;
    return {std::string(bytes), 0, 0, {}};
}

// A character the parser must not be given, with its place: a control character other than tab and
// line ends (TOML allows none), or a character beyond ASCII where the parser tests it for white
// space: outside quotes and comments, or after a backslash in a multi-line string. The parser's
// tables of white space beyond ASCII are faulty (undefined behaviour for most letters beyond ASCII).
std::optional<RulesProblem> UnparseableCharacter(std::string_view text, const std::string& file) {
    Lexical where = Lexical::Outside;
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::string_view rest = text.substr(i);
        const bool lineEnd = c == '\n' || (c == '\r' && rest.starts_with("\r\n"));
        const Place place{file, line, column};
        if ((c < 0x20 && c != '\t' && !lineEnd) || c == 0x7F) {
            std::size_t end = i;
            while (end < text.size() && IsControlByte(text.substr(end))) ++end;
            return RulesProblem{LintRule::ControlCharacter, place,
                                "not a TOML file: the control character " + CodePointLabel(c),
                                "remove it: only tabs and line ends may be control characters",
                                Replaced(text, i, end - i, "", line)};
        }
        if (c >= 0x80 && where == Lexical::Outside) return OutsideQuotes(text, i, place);
        switch (where) {
            case Lexical::Outside:
                if (c == '#') where = Lexical::Comment;
                else if ((c == '"' || c == '\'') && !QuoteOpensString(text, i)) break;
                else if (rest.starts_with("\"\"\"")) where = Lexical::MultiBasic, i += 2, column += 2;
                else if (rest.starts_with("'''")) where = Lexical::MultiLiteral, i += 2, column += 2;
                else if (c == '"') where = Lexical::Basic;
                else if (c == '\'') where = Lexical::Literal;
                break;
            case Lexical::Comment:
                if (c == '\n') where = Lexical::Outside;
                break;
            case Lexical::Basic:
            case Lexical::MultiBasic:
                if (c == '\\' && where == Lexical::MultiBasic && BeyondAsciiAfterBackslash(rest.substr(1)))
                    return RulesProblem{LintRule::BeyondAscii, place,
                                        "not a TOML file: a character beyond ASCII after a backslash in a multi-line string",
                                        "write that character as \\uXXXX, its code point in hexadecimal"};
                if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n' && text[i + 1] != '\r') {
                    ++i;
                    ++column;
                } else if (where == Lexical::Basic ? (c == '"' || c == '\n') : rest.starts_with("\"\"\"")) {
                    if (where == Lexical::MultiBasic) i += 2, column += 2;
                    where = Lexical::Outside;
                }
                break;
            case Lexical::Literal:
                if (c == '\'' || c == '\n') where = Lexical::Outside;
                break;
            case Lexical::MultiLiteral:
                if (rest.starts_with("'''")) where = Lexical::Outside, i += 2, column += 2;
                break;
        }
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return std::nullopt;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::size_t ByteOfColumn(std::string_view line, std::size_t column) {
    std::size_t at = 0;
    for (std::size_t seen = 1; at < line.size() && seen < column; ++seen) {
        ++at;
        while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80) ++at;
    }
    return at;
}

std::string ApplyEdit(std::string_view text, const LineEdit& edit) {
    std::size_t start = 0;
    for (std::size_t line = 1; line < edit.line; ++line) {
        start = text.find('\n', start);
        if (start == std::string_view::npos) return std::string(text);
        ++start;
    }
    if (start >= text.size() || edit.line == 0) return std::string(text);
    const auto newline = text.find('\n', start);
    const std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
    std::size_t end = newline == std::string_view::npos ? text.size() : newline;
    if (end > start && text[end - 1] == '\r' && newline != std::string_view::npos) --end;
    const std::string lineEnd(newline == std::string_view::npos ? "\n" : text.substr(end, next - end));
    std::string result(text.substr(0, start));
    switch (edit.action) {
        case LineEdit::Action::Replace: result += edit.text + std::string(text.substr(end)); break;
        case LineEdit::Action::Delete: result += std::string(text.substr(next)); break;
        case LineEdit::Action::InsertAfter:
            result += std::string(text.substr(start, end - start)) + lineEnd + edit.text +
                      (newline == std::string_view::npos ? "" : lineEnd) + std::string(text.substr(next));
            break;
    }
    return result;
}

}  // namespace kvstcheck::rules
