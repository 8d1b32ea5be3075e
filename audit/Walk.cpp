#include "Walk.h"

#include <algorithm>

namespace audit {

bool IsStandardName(std::wstring_view name, const standards::NameList& list, LONG count) noexcept {
    if (count <= 0) return false;
    const auto end = list.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(count, list.size()));
    return std::find(list.begin(), end, name) != end;
}

void StandardIndex::Clear() noexcept {
    for (auto& names : names_) names.reset();
}

bool StandardIndex::Lists(Kind kind, const std::wstring& name) const noexcept {
    const Index& names = names_[static_cast<std::size_t>(kind)];
    return names && names->contains(std::wstring_view(name));
}

std::optional<Finding> NextFinding(Cursor& cursor, const ListsByKind& drawing, const StandardIndex& standard) noexcept {
    for (; cursor.kind < kKindCount; ++cursor.kind, cursor.position = 0) {
        const Kind kind = static_cast<Kind>(cursor.kind);
        const standards::NameList& names = *drawing[cursor.kind];
        while (cursor.position < names.size()) {
            const std::wstring& name = names[cursor.position++];
            if (!standard.Lists(kind, name)) return Finding{kind, &name};
        }
    }
    return std::nullopt;
}

}  // namespace audit
