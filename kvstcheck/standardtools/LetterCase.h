#pragma once
// Names compared without regard to letter case, the way a reader of a drawing sees them.
#include <string>
#include <string_view>

namespace kvstcheck {

// The name in upper case, by the system's rules for every script (not only A to Z).
std::wstring FoldLetterCase(std::wstring_view name);

}  // namespace kvstcheck
