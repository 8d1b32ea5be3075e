#include "kvstcheck/standardtools/HintsDifferences.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/text/CaseFolding.h"

namespace kvstcheck {
namespace {

struct Named {
    char32_t code;
    const char* name;
};

// The characters a hint names, in order of code point.
constexpr Named kNames[] = {
    {0x0000, "NULL"}, {0x0009, "CHARACTER TABULATION"}, {0x000A, "LINE FEED"}, {0x000D, "CARRIAGE RETURN"},
    {0x001B, "ESCAPE"}, {0x007F, "DELETE"}, {0x0085, "NEXT LINE"}, {0x00A0, "NO-BREAK SPACE"},
    {0x00AD, "SOFT HYPHEN"}, {0x034F, "COMBINING GRAPHEME JOINER"}, {0x061C, "ARABIC LETTER MARK"},
    {0x115F, "HANGUL CHOSEONG FILLER"}, {0x1160, "HANGUL JUNGSEONG FILLER"}, {0x1680, "OGHAM SPACE MARK"},
    {0x180E, "MONGOLIAN VOWEL SEPARATOR"}, {0x2000, "EN QUAD"}, {0x2001, "EM QUAD"}, {0x2002, "EN SPACE"},
    {0x2003, "EM SPACE"}, {0x2004, "THREE-PER-EM SPACE"}, {0x2005, "FOUR-PER-EM SPACE"},
    {0x2006, "SIX-PER-EM SPACE"}, {0x2007, "FIGURE SPACE"}, {0x2008, "PUNCTUATION SPACE"}, {0x2009, "THIN SPACE"},
    {0x200A, "HAIR SPACE"}, {0x200B, "ZERO WIDTH SPACE"}, {0x200C, "ZERO WIDTH NON-JOINER"},
    {0x200D, "ZERO WIDTH JOINER"}, {0x200E, "LEFT-TO-RIGHT MARK"}, {0x200F, "RIGHT-TO-LEFT MARK"},
    {0x2010, "HYPHEN"}, {0x2011, "NON-BREAKING HYPHEN"}, {0x2012, "FIGURE DASH"}, {0x2013, "EN DASH"},
    {0x2028, "LINE SEPARATOR"}, {0x2029, "PARAGRAPH SEPARATOR"}, {0x202A, "LEFT-TO-RIGHT EMBEDDING"},
    {0x202B, "RIGHT-TO-LEFT EMBEDDING"}, {0x202C, "POP DIRECTIONAL FORMATTING"}, {0x202D, "LEFT-TO-RIGHT OVERRIDE"},
    {0x202E, "RIGHT-TO-LEFT OVERRIDE"}, {0x202F, "NARROW NO-BREAK SPACE"}, {0x205F, "MEDIUM MATHEMATICAL SPACE"},
    {0x2060, "WORD JOINER"}, {0x2061, "FUNCTION APPLICATION"}, {0x2062, "INVISIBLE TIMES"},
    {0x2063, "INVISIBLE SEPARATOR"}, {0x2064, "INVISIBLE PLUS"}, {0x2066, "LEFT-TO-RIGHT ISOLATE"},
    {0x2067, "RIGHT-TO-LEFT ISOLATE"}, {0x2068, "FIRST STRONG ISOLATE"}, {0x2069, "POP DIRECTIONAL ISOLATE"},
    {0x2212, "MINUS SIGN"}, {0x2800, "BRAILLE PATTERN BLANK"}, {0x3000, "IDEOGRAPHIC SPACE"},
    {0x3164, "HANGUL FILLER"}, {0xFE63, "SMALL HYPHEN-MINUS"}, {0xFEFF, "ZERO WIDTH NO-BREAK SPACE"},
    {0xFF0D, "FULLWIDTH HYPHEN-MINUS"}, {0xFFA0, "HALFWIDTH HANGUL FILLER"},
};

struct LookAlike {
    char32_t code;
    char latin;
    const char* script;
};

// Letters of other scripts that print like a Latin letter in the usual fonts, in order of code point.
constexpr LookAlike kLookAlikes[] = {
    {0x0391, 'A', "Greek"},    {0x0392, 'B', "Greek"},    {0x0395, 'E', "Greek"},    {0x0396, 'Z', "Greek"},
    {0x0397, 'H', "Greek"},    {0x0399, 'I', "Greek"},    {0x039A, 'K', "Greek"},    {0x039C, 'M', "Greek"},
    {0x039D, 'N', "Greek"},    {0x039F, 'O', "Greek"},    {0x03A1, 'P', "Greek"},    {0x03A4, 'T', "Greek"},
    {0x03A5, 'Y', "Greek"},    {0x03A7, 'X', "Greek"},    {0x03BD, 'v', "Greek"},    {0x03BF, 'o', "Greek"},
    {0x0405, 'S', "Cyrillic"}, {0x0406, 'I', "Cyrillic"}, {0x0408, 'J', "Cyrillic"}, {0x0410, 'A', "Cyrillic"},
    {0x0412, 'B', "Cyrillic"}, {0x0415, 'E', "Cyrillic"}, {0x041A, 'K', "Cyrillic"}, {0x041C, 'M', "Cyrillic"},
    {0x041D, 'H', "Cyrillic"}, {0x041E, 'O', "Cyrillic"}, {0x0420, 'P', "Cyrillic"}, {0x0421, 'C', "Cyrillic"},
    {0x0422, 'T', "Cyrillic"}, {0x0425, 'X', "Cyrillic"}, {0x0430, 'a', "Cyrillic"}, {0x0435, 'e', "Cyrillic"},
    {0x043E, 'o', "Cyrillic"}, {0x0440, 'p', "Cyrillic"}, {0x0441, 'c', "Cyrillic"}, {0x0443, 'y', "Cyrillic"},
    {0x0445, 'x', "Cyrillic"}, {0x0455, 's', "Cyrillic"}, {0x0456, 'i', "Cyrillic"}, {0x0458, 'j', "Cyrillic"},
    {0x04AE, 'Y', "Cyrillic"}, {0x04BB, 'h', "Cyrillic"}, {0x04C0, 'I', "Cyrillic"}, {0x0501, 'd', "Cyrillic"},
    {0x051A, 'Q', "Cyrillic"}, {0x051B, 'q', "Cyrillic"}, {0x051C, 'W', "Cyrillic"}, {0x051D, 'w', "Cyrillic"},
};

constexpr char32_t kFullwidthFirst = 0xFF01;
constexpr char32_t kFullwidthLast = 0xFF5E;
constexpr char32_t kFullwidthOffset = 0xFEE0;

template <class Entry, std::size_t N>
const Entry* Find(const Entry (&table)[N], char32_t code) {
    const Entry* found = std::lower_bound(std::begin(table), std::end(table), code,
                                          [](const Entry& entry, char32_t c) { return entry.code < c; });
    return found != std::end(table) && found->code == code ? found : nullptr;
}

bool IsSpaceLike(char32_t code) {
    return code == U' ' || code == U'\t' || code == 0x00A0 || code == 0x1680 || (code >= 0x2000 && code <= 0x200A) ||
           code == 0x202F || code == 0x205F || code == 0x3000;
}

bool IsDash(char32_t code) {
    return (code >= 0x2010 && code <= 0x2013) || code == 0x2212 || code == 0xFE63 || code == 0xFF0D;
}

// What the character reads as; 0 for one that shows nothing.
char32_t ReadsAs(char32_t code) {
    if (IsSpaceLike(code)) return U' ';
    if (IsDash(code)) return U'-';
    if (ShownAsCodePoint(code)) return 0;
    if (const LookAlike* alike = Find(kLookAlikes, code)) return static_cast<char32_t>(alike->latin);
    if (code >= kFullwidthFirst && code <= kFullwidthLast) return code - kFullwidthOffset;
    return code;
}

std::string Utf8(char32_t code) { return EncodeUtf8(ToWide(std::u32string(1, code))); }

// "U+200B ZERO WIDTH SPACE", "Cyrillic А (U+0410)", "Latin A", "a space".
std::string Describe(char32_t code) {
    if (code == U' ') return "a space";
    if (const Named* named = Find(kNames, code)) return CodePointLabel(code) + " " + named->name;
    if (const LookAlike* alike = Find(kLookAlikes, code))
        return std::string(alike->script) + " " + Utf8(code) + " (" + CodePointLabel(code) + ")";
    if (code >= kFullwidthFirst && code <= kFullwidthLast)
        return "fullwidth " + Utf8(code) + " (" + CodePointLabel(code) + ")";
    if ((code >= U'A' && code <= U'Z') || (code >= U'a' && code <= U'z')) return "Latin " + Utf8(code);
    if (code == U'-') return "a hyphen-minus (-)";
    if (ShownAsCodePoint(code)) return CodePointLabel(code);
    return "\"" + Utf8(code) + "\" (" + CodePointLabel(code) + ")";
}

bool SameButLetterCase(char32_t a, char32_t b) {
    return text::FoldCase(a) == text::FoldCase(b);
}

// "a trailing space", "3 leading spaces", "trailing U+00A0 NO-BREAK SPACE".
std::string DescribeEnd(const std::u32string& spaces, const char* end) {
    if (spaces.find_first_not_of(U' ') == std::u32string::npos)
        return spaces.size() == 1 ? std::string("a ") + end + " space"
                                  : std::to_string(spaces.size()) + " " + end + " spaces";
    std::string text = end;
    for (std::size_t i = 0; i < spaces.size(); ++i) text += (i == 0 ? " " : ", ") + Describe(spaces[i]);
    return text;
}

// The name's visible characters, each as it reads, with the original beside it.
struct Read {
    std::u32string original;
    std::u32string reads;
};

Read Visible(const std::u32string& codes) {
    Read visible;
    for (const char32_t code : codes) {
        if (const char32_t reads = ReadsAs(code)) {
            visible.original += code;
            visible.reads += reads;
        }
    }
    return visible;
}

// Where the visible characters begin and end once the spaces at both ends are left out.
std::pair<std::size_t, std::size_t> Trimmed(const Read& visible) {
    const std::size_t first = std::min(visible.reads.find_first_not_of(U' '), visible.reads.size());
    const std::size_t end = first == visible.reads.size() ? first : visible.reads.find_last_not_of(U' ') + 1;
    return {first, end};
}

}  // namespace

std::wstring Skeleton(std::wstring_view name) {
    // Printable ASCII other than the space reads as itself: most names are all of it.
    if (std::all_of(name.begin(), name.end(), [](wchar_t c) { return c > L' ' && c < 0x7F; })) return std::wstring(name);
    const Read visible = Visible(FromWide(name));
    const auto [first, end] = Trimmed(visible);
    return ToWide(std::u32string_view(visible.reads).substr(first, end - first));
}

std::vector<std::string> InvisibleDifferences(std::wstring_view name, std::wstring_view allowed) {
    const std::u32string codes = FromWide(name);
    const Read visible = Visible(codes);
    const auto [first, end] = Trimmed(visible);
    const Read allowedVisible = Visible(FromWide(allowed));
    const auto [allowedFirst, allowedEnd] = Trimmed(allowedVisible);
    const std::u32string standard = allowedVisible.original.substr(allowedFirst, allowedEnd - allowedFirst);
    if (end - first != standard.size()) return {};

    std::vector<std::string> differences;
    if (first > 0) differences.push_back(DescribeEnd(visible.original.substr(0, first), "leading"));
    bool letterCase = false;
    std::size_t seen = 0;  // visible characters so far
    for (const char32_t code : codes) {
        if (ReadsAs(code) == 0) {
            const std::size_t position = std::clamp(seen, first, end) - first;
            differences.push_back(Describe(code) + (position == 0 ? std::string(" at the start")
                                                                  : " after position " + std::to_string(position)));
            continue;
        }
        const std::size_t index = seen++;
        if (index < first || index >= end) continue;
        const char32_t want = standard[index - first];
        if (code == want) continue;
        if (code == ReadsAs(code) && want == ReadsAs(want) && SameButLetterCase(code, want)) {
            letterCase = true;
            continue;
        }
        differences.push_back(Describe(code) + " at position " + std::to_string(index - first + 1) +
                              " where the standard has " + Describe(want));
    }
    if (end < visible.reads.size()) differences.push_back(DescribeEnd(visible.original.substr(end), "trailing"));
    if (letterCase) differences.push_back("the letter case differs");
    return differences;
}

}  // namespace kvstcheck
