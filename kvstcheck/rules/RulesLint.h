#pragma once
// lint for a rules file: what does not belong, patterns that can never match, and required names or
// layer properties that the file's own patterns or layout reject.
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/rules/RulesFile.h"

namespace kvstcheck::rules {

// Portable: every problem of one file, in line order, those of the more checks among them.
std::vector<RulesProblem> LintRulesText(std::string_view text, const std::string& file, const FileReader& read,
                                        const MoreChecks& more = {});

// A rules file is linted rather than a standard file when its name ends in .toml.
bool IsRulesFile(const std::wstring& path);

// The lint command for a rules file: prints the problems, with those of the more checks the audit makes
// too; 0 none, 1 some, 2 the file cannot be read.
int LintRulesFile(const std::wstring& path, bool json, const MoreChecks& more);

}  // namespace kvstcheck::rules
