#pragma once
// The checks of the rules_file fuzz target, shared with the tests that replay its corpus.
#include <string>
#include <string_view>

namespace fuzzcheck {

// Any bytes as a rules file (its code lists read as a fixed small list), then linted and used on a
// fixed drawing. Returns what broke the promises (a problem without a place inside the file, a
// finding without a rule id), empty when nothing.
std::string CheckRulesFile(std::string_view bytes);

}  // namespace fuzzcheck
