#include "kvstcheck/fix/DrawingText.h"

#include <algorithm>
#include <type_traits>

#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"

namespace kvstcheck::fix {

void DrawingText::ReadHeader(const Unit& header) {
    std::string_view variable;
    std::optional<std::string_view> codePageName;
    for (const RawPair& pair : header.pairs()) {
        if (pair.code == 9) {
            variable = pair.keyword();
        } else if (variable == "$ACADVER" && pair.code == 1) {
            long long number = 0;
            const std::string_view text = pair.keyword();
            version_ = text.starts_with("AC") && ParseDxfInt(text.substr(2), number) ? static_cast<int>(number) : 0;
        } else if (variable == "$DWGCODEPAGE" && pair.code == 3) {
            codePageName = pair.keyword();
        }
    }
    if (version_ >= kFirstUtf8Version) {
        codePage_ = kUtf8CodePage;
    } else if (codePageName) {
        const auto named = CodePageOfDxfName(*codePageName);
        if (!named || !codec_.Knows(*named))
            throw InputError(0, "unknown drawing code page \"" + std::string(*codePageName) + "\"");
        codePage_ = *named;
    }
}

std::optional<std::wstring> DrawingText::Decode(std::string_view value) const {
    auto text = codec_.Decode(value, codePage_);
    if (!text || version_ >= kFirstUtf8Version) return text;
    return DecodeDxfEscapes(*text, codec_);
}

std::optional<std::wstring> DrawingText::Folded(std::string_view value) const {
    std::wstring folded;
    if (!Folded(value, folded)) return std::nullopt;
    return folded;
}

bool DrawingText::Folded(std::string_view value, std::wstring& folded) const {
    const bool plain = std::all_of(value.begin(), value.end(),
                                   [](char c) { return c > 0 && static_cast<unsigned char>(c) < 0x80 && c != '\\'; });
    if (!plain) {
        auto text = Decode(value);
        if (!text) return false;
        folded = codec_.FoldCase(*text);
        return true;
    }
    // ASCII folds as Unicode's simple case folding folds it (to small letters), like the codec's FoldCase.
    folded.resize(value.size());
    std::transform(value.begin(), value.end(), folded.begin(), [](char c) {
        return static_cast<wchar_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return true;
}

std::optional<std::string> DrawingText::Encode(std::wstring_view name) const {
    if (codePage_ == kUtf8CodePage) return codec_.Encode(name, kUtf8CodePage);
    std::string bytes;
    for (std::size_t at = 0; at < name.size(); ++at) {
        const wchar_t c = name[at];
        if (c == L'\\' && name.substr(at).starts_with(L"\\U+")) return std::nullopt;  // would read as an escape
        if (const auto encoded = codec_.Encode(std::wstring_view(&name[at], 1), codePage_)) {
            bytes += *encoded;
            continue;
        }
        // Wide characters are UTF-16 on Windows (a surrogate is escaped alone), UTF-32 elsewhere.
        const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        if (code > 0xFFFF) return std::nullopt;
        static constexpr char kHex[] = "0123456789ABCDEF";
        bytes += "\\U+";
        for (int shift = 12; shift >= 0; shift -= 4) bytes += kHex[(code >> shift) & 0xF];
    }
    return bytes;
}

}  // namespace kvstcheck::fix
