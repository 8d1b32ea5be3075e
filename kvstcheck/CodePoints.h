#pragma once
// Text as code points: names arrive as UTF-16 (Windows) or UTF-32 (the native fuzz build), rules
// files and lists of files as UTF-8. The one UTF-8 codec of kvstcheck (Text.h's UTF-8 functions are
// made of it). Portable.
#include <string>
#include <string_view>

namespace kvstcheck {

// Surrogate pairs joined; a lone surrogate stays as its own value.
std::u32string FromWide(std::wstring_view text);
std::wstring ToWide(std::u32string_view text);
// Invalid sequences become U+FFFD.
std::u32string FromUtf8(std::string_view text);
// The same, saying whether every sequence was valid UTF-8 (no overlong form, no surrogate).
struct Utf8Points {
    std::u32string points;
    bool valid = true;
};
Utf8Points DecodeUtf8Points(std::string_view text);
std::string ToUtf8(std::u32string_view text);
std::string WideToUtf8(std::wstring_view text);
// One code point's UTF-8 bytes, as it is (ToUtf8 replaces what UTF-8 cannot hold first).
void AppendUtf8(std::string& bytes, char32_t code);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace kvstcheck
