#pragma once
// The four kinds of named entries that an audit covers, in walk order; their words are the
// vocabulary's, shared with the tools.
#include <array>
#include <cstddef>
#include <cstdint>

#include "vocabulary/Kinds.h"

namespace audit {

using Kind = vocabulary::Kind;
using vocabulary::kKindCount;

// One value per kind, indexed in walk order.
template <class T>
using PerKind = std::array<T, kKindCount>;

struct KindNames {
    const wchar_t* collection;  // the drawing's member that holds the kind's entries
    const wchar_t* label;       // how a finding names the kind
};

namespace detail {
constexpr KindNames NamesFromVocabulary(Kind kind) noexcept {
    return {vocabulary::WordsOf(kind).collection, vocabulary::WordsOf(kind).hostLabel};
}
}  // namespace detail

inline constexpr PerKind<KindNames> kKinds = {{
    detail::NamesFromVocabulary(Kind::Layers),
    detail::NamesFromVocabulary(Kind::Linetypes),
    detail::NamesFromVocabulary(Kind::TextStyles),
    detail::NamesFromVocabulary(Kind::DimStyles),
}};

constexpr const KindNames& NamesOf(Kind kind) noexcept { return kKinds[static_cast<std::size_t>(kind)]; }

}  // namespace audit
