#include "kvstcheck/CodePoints.h"

namespace kvstcheck {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

[[maybe_unused]] bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
[[maybe_unused]] bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The length of the UTF-8 sequence a lead byte opens, 0 for a byte that cannot open one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::u32string FromWide(std::wstring_view text) {
    std::u32string points;
    points.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
                const auto low = static_cast<char32_t>(text[++i]);
                points += 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                continue;
            }
        }
        points += c;
    }
    return points;
}

std::wstring ToWide(std::u32string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char32_t c : text) {
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
    return wide;
}

std::u32string FromUtf8(std::string_view text) { return DecodeUtf8Points(text).points; }

Utf8Points DecodeUtf8Points(std::string_view text) {
    Utf8Points decoded;
    std::u32string& points = decoded.points;
    points.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(lead);
        if (length == 1) {
            points += lead;
            ++i;
            continue;
        }
        char32_t c = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        std::size_t taken = 1;
        while (length > 0 && taken < length && i + taken < text.size() &&
               (static_cast<unsigned char>(text[i + taken]) & 0xC0) == 0x80)
            c = (c << 6) | (static_cast<unsigned char>(text[i + taken++]) & 0x3F);
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        const bool valid = length > 0 && taken == length && !overlong && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        points += valid ? c : kReplacement;
        decoded.valid = decoded.valid && valid;
        i += taken;
    }
    return decoded;
}

void AppendUtf8(std::string& bytes, char32_t code) {
    if (code < 0x80) {
        bytes += static_cast<char>(code);
    } else if (code < 0x800) {
        bytes += static_cast<char>(0xC0 | (code >> 6));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes += static_cast<char>(0xE0 | (code >> 12));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (code >> 18));
        bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string ToUtf8(std::u32string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char32_t c : text) AppendUtf8(bytes, c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? kReplacement : c);
    return bytes;
}

std::string WideToUtf8(std::wstring_view text) { return ToUtf8(FromWide(text)); }
std::wstring Utf8ToWide(std::string_view text) { return ToWide(FromUtf8(text)); }

}  // namespace kvstcheck
