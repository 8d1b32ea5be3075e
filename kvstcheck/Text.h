#pragma once
// Conversions between the encodings a drawing file or the console uses and UTF-16; UTF-8 through
// the portable codec of CodePoints.h.
#include <optional>
#include <string>
#include <string_view>

namespace kvstcheck {

// Strict conversions: nullopt when the bytes are not valid text in that encoding.
std::optional<std::wstring> DecodeCodePage(std::string_view bytes, unsigned codePage);
std::optional<std::wstring> DecodeUtf8(std::string_view bytes);
// Unpaired surrogates become U+FFFD; everything else is kept.
std::string EncodeUtf8(std::wstring_view text);
// The bytes as UTF-8, with U+FFFD for each sequence that is not.
std::string ValidUtf8(std::string_view bytes);

}  // namespace kvstcheck
