#pragma once
// Letter case folded the one way every part of kvstcheck compares names: Unicode's simple case
// folding (one code point to one, so a folded name keeps its length and positions). Two names are
// equal but for letter case when their foldings are equal. Portable.
#include <string>
#include <string_view>

namespace kvstcheck::text {

char32_t FoldCase(char32_t c) noexcept;
std::u32string FoldCase(std::u32string_view text);
// UTF-16 (Windows) or UTF-32 (the native build); a lone surrogate stays as it is.
std::wstring FoldCase(std::wstring_view text);

}  // namespace kvstcheck::text
