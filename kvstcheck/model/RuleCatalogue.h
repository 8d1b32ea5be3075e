#pragma once
// One catalogue of what an audit finds, by rule id: the plug-in's findings under
// "<section>.standard" ("text-styles.standard"), a rules file's under their own ids. Outputs that
// list rules (SARIF) take their ids and short descriptions from here.
#include <string>
#include <string_view>

#include "kvstcheck/model/Finding.h"

namespace kvstcheck {

// The finding's rule id: a rules file's own, or the plug-in's "<section>.standard"; another plug-in's
// label of no known kind gives "standard".
std::string RuleIdOf(const Finding& finding);
// The plug-in's rule id for the kind: "layers.standard".
std::string StandardRuleId(Kind kind);
// A short description of what the rule id asks for, in English: "A layer name the standard file does
// not allow"; a general one for an id the catalogue does not know.
std::string DescribeRule(std::string_view ruleId);

}  // namespace kvstcheck
