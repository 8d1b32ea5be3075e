#pragma once
// Characters of wide text on any system: UTF-16 with surrogate pairs where wchar_t has 16 bits
// (Windows), one code point per wchar_t where it has 32 (the native fuzzing build).
#include <cstddef>
#include <string_view>

namespace kvstcheck {

struct CodePoint {
    char32_t value = 0;
    std::size_t units = 1;  // wchar_t units it takes in the text
};

// The character that starts at text[at] (at < text.size()); an unpaired surrogate stands for itself.
CodePoint NextCodePoint(std::wstring_view text, std::size_t at);

// The character with letter case ignored, as the folder walk has always ignored it: the C
// library's lower case of a character in the basic plane, every other character unchanged.
char32_t FoldCase(char32_t c);

}  // namespace kvstcheck
