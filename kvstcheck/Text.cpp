#include "kvstcheck/Text.h"

#include <windows.h>

namespace kvstcheck {
namespace {

std::optional<std::wstring> Decode(std::string_view bytes, unsigned codePage, DWORD flags) {
    if (bytes.empty()) return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, flags, bytes.data(), length, text.data(), size);
    return text;
}

}  // namespace

std::optional<std::wstring> DecodeCodePage(std::string_view bytes, unsigned codePage) {
    return Decode(bytes, codePage, MB_ERR_INVALID_CHARS);
}

std::optional<std::wstring> DecodeUtf8(std::string_view bytes) { return DecodeCodePage(bytes, CP_UTF8); }

std::string EncodeUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string ValidUtf8(std::string_view bytes) { return EncodeUtf8(Decode(bytes, CP_UTF8, 0).value_or(std::wstring())); }

}  // namespace kvstcheck
