#pragma once
// Names compared without regard to letter case, the way a reader of a drawing sees them.
#include <string>
#include <string_view>

namespace kvstcheck {

// The name with its letter case folded (text/CaseFolding.h): the same folding as the rules' checks.
std::wstring FoldLetterCase(std::wstring_view name);

}  // namespace kvstcheck
