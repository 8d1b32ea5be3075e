#include "kvstcheck/reports/DisplayName.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

#include "kvstcheck/CodePoints.h"

namespace kvstcheck {
namespace {

// First and last code point of each range written in the notation, in order.
constexpr std::pair<char32_t, char32_t> kShownAsCodePoint[] = {
    {0x0000, 0x001F},   {0x007F, 0x00A0},   {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},
    {0x115F, 0x1160},   {0x1680, 0x1680},   {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x2000, 0x200F},
    {0x2028, 0x202F},   {0x205F, 0x2064},   {0x2066, 0x206F},   {0x2800, 0x2800},   {0x3000, 0x3000},
    {0x3164, 0x3164},   {0xD800, 0xDFFF},   {0xFDD0, 0xFDEF},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},
    {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
};

bool IsNonCharacter(char32_t code) noexcept { return (code & 0xFFFE) == 0xFFFE; }

// The display form as code points; the ends' spaces are those before the first and after the last
// other character.
std::u32string DisplayCodes(std::wstring_view name) {
    const std::u32string codes = FromWide(name);
    const std::size_t first = codes.find_first_not_of(U' ');
    const std::size_t end = first == std::u32string::npos ? 0 : codes.find_last_not_of(U' ') + 1;
    std::u32string shown;
    shown.reserve(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const char32_t code = codes[i];
        const bool endSpace = code == U' ' && (i < first || i >= end);
        const bool literalNotation = code == U'<' && codes.compare(i + 1, 2, U"U+") == 0;
        if (!endSpace && !literalNotation && !ShownAsCodePoint(code)) {
            shown += code;
            continue;
        }
        shown += U'<';
        for (const char c : CodePointLabel(code)) shown += static_cast<char32_t>(c);
        shown += U'>';
    }
    return shown;
}

}  // namespace

bool ShownAsCodePoint(char32_t code) noexcept {
    if (code > 0x10FFFF || IsNonCharacter(code)) return true;
    const auto after = std::upper_bound(std::begin(kShownAsCodePoint), std::end(kShownAsCodePoint), code,
                                        [](char32_t c, const auto& range) { return c < range.first; });
    return after != std::begin(kShownAsCodePoint) && code <= std::prev(after)->second;
}

std::string CodePointLabel(char32_t code) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (char32_t rest = code; rest != 0 || hex.size() < 4; rest >>= 4) hex.insert(hex.begin(), kDigits[rest & 0xF]);
    return "U+" + hex;
}

std::wstring DisplayName(std::wstring_view name) { return ToWide(DisplayCodes(name)); }

std::string DisplayNameUtf8(std::wstring_view name) {
    std::string bytes;
    for (const char32_t code : DisplayCodes(name)) AppendUtf8(bytes, code);
    return bytes;
}

}  // namespace kvstcheck
