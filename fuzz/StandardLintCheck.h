#pragma once
// What must hold for lint's walk over any bytes given as a standard file: every warning names a line
// of the file, says what is wrong and how to fix it in valid UTF-8, and the walk gives the same
// answer twice. Portable: the fuzz target and the test that replays its saved corpus both use it.
#include <string>
#include <string_view>

namespace fuzzcheck {

// The first broken rule, in words; empty when every rule holds.
std::string CheckStandardLint(std::string_view bytes);

}  // namespace fuzzcheck
