#pragma once
// The checks of the rules_file fuzz target, shared with the tests that replay its corpus.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace fuzzcheck {

// Any bytes as a rules file (its code lists read as a fixed small list), then linted and used on a
// fixed drawing. Returns what broke the promises (a problem without a place inside the file, a
// finding without a rule id), empty when nothing.
std::string CheckRulesFile(std::string_view bytes);

// Every edit lint suggests for the bytes, each made on its own and the file linted again: its problem
// is gone, no new error appears, and nothing the rules held before is lost. Returns what broke, empty
// when nothing; edits counts the edits proven by rule id. mostEdits bounds the edits proven of one input.
std::string CheckRulesFixes(std::string_view bytes, std::map<std::string, std::size_t>& edits,
                            std::size_t mostEdits = SIZE_MAX);

}  // namespace fuzzcheck
