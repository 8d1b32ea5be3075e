#include "kvstcheck/Text.h"

#include <windows.h>

#include "kvstcheck/CodePoints.h"

namespace kvstcheck {

std::optional<std::wstring> DecodeCodePage(std::string_view bytes, unsigned codePage) {
    // UTF-8 goes through the portable codec, so that every room reads it alike.
    if (codePage == CP_UTF8) return DecodeUtf8(bytes);
    if (bytes.empty()) return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, text.data(), size);
    return text;
}

std::optional<std::wstring> DecodeUtf8(std::string_view bytes) {
    const Utf8Points decoded = DecodeUtf8Points(bytes);
    if (!decoded.valid) return std::nullopt;
    return ToWide(decoded.points);
}

std::string EncodeUtf8(std::wstring_view text) { return ToUtf8(FromWide(text)); }

std::string ValidUtf8(std::string_view bytes) { return ToUtf8(FromUtf8(bytes)); }

}  // namespace kvstcheck
