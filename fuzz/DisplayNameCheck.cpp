#include "DisplayNameCheck.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/reports/DisplayName.h"

namespace fuzzcheck {
namespace {

// The notation read back into the code points it stands for; nothing when it is malformed.
bool ReadBack(std::u32string_view shown, std::u32string& original) {
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown.substr(i, 3) != U"<U+") {
            original += shown[i];
            continue;
        }
        const std::size_t close = shown.find(U'>', i);
        if (close == std::u32string_view::npos || close - i - 3 < 4 || close - i - 3 > 6) return false;
        char32_t code = 0;
        for (std::size_t j = i + 3; j < close; ++j) {
            const char32_t digit = shown[j];
            const bool decimal = digit >= U'0' && digit <= U'9';
            if (!decimal && !(digit >= U'A' && digit <= U'F')) return false;
            code = code * 16 + (decimal ? digit - U'0' : digit - U'A' + 10);
        }
        original += code;
        i = close;
    }
    return true;
}

}  // namespace

std::wstring Utf16Units(std::string_view bytes) {
    std::wstring units;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        units += static_cast<wchar_t>(high << 8 | low);
    }
    return units;
}

std::string CheckDisplayName(std::wstring_view name) {
    const std::wstring shown = kvstcheck::DisplayName(name);
    const std::u32string codes = kvstcheck::FromWide(shown);
    if (std::any_of(codes.begin(), codes.end(), kvstcheck::ShownAsCodePoint))
        return "the display form holds a character that belongs in the notation";
    if (!shown.empty() && (shown.front() == L' ' || shown.back() == L' '))
        return "the display form begins or ends with a space";
    const std::string utf8 = kvstcheck::DisplayNameUtf8(name);
    if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return "the UTF-8 display form holds a control byte";
    std::u32string original;
    if (!ReadBack(codes, original)) return "the display form holds a malformed <U+";
    if (kvstcheck::ToWide(original) != name) return "the display form does not read back as the name";
    return {};
}

}  // namespace fuzzcheck
