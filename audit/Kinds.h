#pragma once
// The four kinds of named entries that an audit covers, in walk order.
#include <array>
#include <cstddef>
#include <cstdint>

namespace audit {

enum class Kind : std::uint8_t { Layers, Linetypes, TextStyles, DimStyles };
inline constexpr std::size_t kKindCount = 4;

// One value per kind, indexed in walk order.
template <class T>
using PerKind = std::array<T, kKindCount>;

struct KindNames {
    const wchar_t* collection;  // the drawing's member that holds the kind's entries
    const wchar_t* label;       // how a finding names the kind
};

inline constexpr PerKind<KindNames> kKinds = {{
    {L"Layers", L"图层"},
    {L"Linetypes", L"线型"},
    {L"TextStyles", L"文字样式"},
    {L"DimStyles", L"标注样式"},
}};

constexpr const KindNames& NamesOf(Kind kind) noexcept { return kKinds[static_cast<std::size_t>(kind)]; }

}  // namespace audit
