#include "kvstcheck/selection/Characters.h"

#include <cwctype>

namespace kvstcheck {

CodePoint NextCodePoint(std::wstring_view text, std::size_t at) {
    const auto unit = static_cast<char32_t>(text[at]);
    if constexpr (sizeof(wchar_t) == 2) {
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size()) {
            const auto low = static_cast<char32_t>(text[at + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) return {0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), 2};
        }
    }
    return {unit, 1};
}

char32_t FoldCase(char32_t c) {
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return c;
    return static_cast<char32_t>(std::towlower(static_cast<std::wint_t>(c)));
}

}  // namespace kvstcheck
