#pragma once
// What a run checked, so that a baseline written again keeps, with their comments, the entries the
// run could not have found again: rules not given, kinds not looked at, drawings not audited.
#include <set>
#include <string>

#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/rules/Rules.h"

namespace kvstcheck {

struct BaselineScope {
    std::set<std::string> pluginKinds;  // kind keys the plug-in checked; none when it audited nothing
    std::set<std::string> rules;        // rule ids the run's rules files check

    // Whether the run would have found the entry's finding again in a drawing it audited.
    bool Checks(const BaselineEntry& entry) const;
};

// The kind keys of the plug-in's findings: it checks every kind of each drawing it audits.
std::set<std::string> EveryPluginKind();
// The rule ids that a drawing can be found at fault by under these rules.
std::set<std::string> RulesChecked(const rules::RuleSet& ruleSet);

}  // namespace kvstcheck
