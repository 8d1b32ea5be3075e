#pragma once
// What the plan and the rewrite share: the renames of an account looked up by kind and folded name.
#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "kvstcheck/fix/DrawingText.h"
#include "kvstcheck/fix/Rewrite.h"

namespace kvstcheck::fix {

inline constexpr std::size_t KindIndex(FixKind kind) noexcept { return static_cast<std::size_t>(kind); }

// Per kind: folded old name -> the index of its rename in the account.
using RenameIndex = std::array<std::unordered_map<std::wstring, std::size_t>, kFixKindCount>;
RenameIndex IndexRenames(const RewriteAccount& account, const DrawingText& text);

// The binary DXF refusal, in the words the command shows.
inline constexpr std::string_view kBinaryRefusal =
    "this is a binary DXF file: the fix writes ASCII DXF only (save it as ASCII DXF)";

}  // namespace kvstcheck::fix
