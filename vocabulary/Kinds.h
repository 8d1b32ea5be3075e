#pragma once
// The four kinds of named entries, said once for the plug-in and the tools: how the drawing holds
// them, how the plug-in labels a finding for its host, and the keys and words of the tools' files.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vocabulary {

enum class Kind : std::uint8_t { Layers, Linetypes, TextStyles, DimStyles };
inline constexpr std::size_t kKindCount = 4;
inline constexpr std::array<Kind, kKindCount> kAllKinds = {Kind::Layers, Kind::Linetypes, Kind::TextStyles,
                                                           Kind::DimStyles};

struct KindWords {
    const wchar_t* collection;  // the drawing's member that holds the kind's entries
    const wchar_t* hostLabel;   // how the plug-in names the kind in a finding, for its host
    const char* key;            // JSON, CSV and baselines: "textStyles"
    const char* section;        // rules sections and rule ids: "text-styles"
    const char* english;        // "text style"
    const char* chinese;        // UTF-8: the word a Chinese reader is shown
};

inline constexpr std::array<KindWords, kKindCount> kKindWords = {{
    {L"Layers", L"图层", "layers", "layers", "layer", "\xE5\x9B\xBE\xE5\xB1\x82"},
    {L"Linetypes", L"线型", "linetypes", "linetypes", "linetype", "\xE7\xBA\xBF\xE5\x9E\x8B"},
    {L"TextStyles", L"文字样式", "textStyles", "text-styles", "text style",
     "\xE6\x96\x87\xE5\xAD\x97\xE6\xA0\xB7\xE5\xBC\x8F"},
    {L"DimStyles", L"标注样式", "dimStyles", "dimension-styles", "dimension style",
     "\xE6\xA0\x87\xE6\xB3\xA8\xE6\xA0\xB7\xE5\xBC\x8F"},
}};

constexpr const KindWords& WordsOf(Kind kind) noexcept { return kKindWords[static_cast<std::size_t>(kind)]; }
constexpr std::size_t IndexOf(Kind kind) noexcept { return static_cast<std::size_t>(kind); }

// The kind whose key ("textStyles") or section ("text-styles") is given; nothing for another text.
constexpr std::optional<Kind> KindOfKey(std::string_view key) noexcept {
    for (const Kind kind : kAllKinds)
        if (key == WordsOf(kind).key) return kind;
    return std::nullopt;
}
constexpr std::optional<Kind> KindOfSection(std::string_view section) noexcept {
    for (const Kind kind : kAllKinds)
        if (section == WordsOf(kind).section) return kind;
    return std::nullopt;
}
// The kind of a label as the plug-in gives it; nothing for a label of another plug-in.
constexpr std::optional<Kind> KindOfHostLabel(std::wstring_view label) noexcept {
    for (const Kind kind : kAllKinds)
        if (label == WordsOf(kind).hostLabel) return kind;
    return std::nullopt;
}

}  // namespace vocabulary
