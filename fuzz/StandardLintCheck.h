#pragma once
// What must hold for lint's walk over any bytes given as a standard file: every warning names a line
// of the file, says what is wrong and how to fix it in valid UTF-8, and the walk gives the same
// answer twice; every edit it suggests, applied, does what its warning says. Portable: the fuzz target and the test that replays its saved corpus both use it.
#include <cstddef>
#include <string>
#include <string_view>

namespace fuzzcheck {

// The first broken rule, in words; empty when every rule holds.
std::string CheckStandardLint(std::string_view bytes);

// Each edit lint suggests for the bytes, applied and linted again: that warning is gone, no new error
// appears, and no kind loads fewer names. proven, when given, counts the edits proven.
inline constexpr std::size_t kEditsProvenPerFile = 16;
std::string CheckLintEdits(std::string_view bytes, std::size_t* proven = nullptr);

}  // namespace fuzzcheck
