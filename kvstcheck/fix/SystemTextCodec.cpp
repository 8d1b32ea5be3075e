#include "kvstcheck/fix/SystemTextCodec.h"

#include <windows.h>

#include "kvstcheck/Text.h"
#include "kvstcheck/standardtools/LetterCase.h"

namespace kvstcheck::fix {

bool SystemTextCodec::Knows(unsigned codePage) const { return ::IsValidCodePage(codePage) != FALSE; }

std::optional<std::wstring> SystemTextCodec::Decode(std::string_view bytes, unsigned codePage) const {
    return DecodeCodePage(bytes, codePage);
}

std::optional<std::string> SystemTextCodec::Encode(std::wstring_view text, unsigned codePage) const {
    if (codePage == kUtf8CodePage) return EncodeUtf8(text);
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    // No best fit: a character the code page lacks must be told, not written as a look-alike.
    BOOL defaulted = FALSE;
    const int size = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &defaulted);
    if (size <= 0 || defaulted) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), size, nullptr, &defaulted);
    if (defaulted || DecodeCodePage(bytes, codePage) != std::wstring(text)) return std::nullopt;
    return bytes;
}

std::wstring SystemTextCodec::FoldCase(std::wstring_view name) const { return FoldLetterCase(name); }

}  // namespace kvstcheck::fix
