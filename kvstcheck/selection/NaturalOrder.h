#pragma once
// The order of names in a folder as people number their files: "plan-2" before "plan-10".
#include <string_view>

namespace kvstcheck {

// Runs of the digits 0-9 compare by their value, other characters one by one with letter case
// ignored; names equal so far ("plan-02", "Plan-2") then compare by code point, so the order is
// total and the same on every system.
bool NaturalLess(std::wstring_view a, std::wstring_view b);

}  // namespace kvstcheck
