#pragma once
// Names as a reader can see them. A name is shown as it is, except for what would be invisible, would
// look like something else, or would act on a terminal or the text around it:
// - every control character (U+0000 to U+001F, U+007F to U+009F), format character (zero-width,
//   bidirectional and other invisible marks), blank filler, space other than U+0020, noncharacter
//   and unpaired surrogate is written <U+XXXX> (four to six upper-case hex digits);
// - spaces (U+0020) at the start or the end of a name are written <U+0020>;
// - a "<U+" already in a name is written <U+003C>U+, so that every "<U+" shown begins the notation.
// Any UTF-16 input has a display form, and the display form holds none of the characters above.
// Portable: no system calls, so that it can be fuzzed natively.
#include <string>
#include <string_view>

namespace kvstcheck {

// Whether this code point (or unpaired surrogate) is written in the notation wherever it appears.
bool ShownAsCodePoint(char32_t code) noexcept;

// "U+200B": the code point in upper-case hex, at least four digits.
std::string CodePointLabel(char32_t code);

std::wstring DisplayName(std::wstring_view name);
std::string DisplayNameUtf8(std::wstring_view name);

}  // namespace kvstcheck
