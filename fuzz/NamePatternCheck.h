#pragma once
// The checks of the name_pattern fuzz target, shared with the tests that replay its corpus.
#include <string>
#include <string_view>

namespace fuzzcheck {

// Bytes up to the first newline are a pattern, the rest a name (both UTF-8). Returns what broke the
// matcher's promises (a bound on its steps, agreement of equivalent patterns), empty when nothing.
std::string CheckNamePattern(std::string_view bytes);

}  // namespace fuzzcheck
