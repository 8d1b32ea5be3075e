#include "kvstcheck/rules/RulesCatalogue.h"

namespace kvstcheck::rules {

std::string_view SeverityWord(RuleSeverity severity) { return severity == RuleSeverity::Error ? "error" : "warning"; }

}  // namespace kvstcheck::rules
