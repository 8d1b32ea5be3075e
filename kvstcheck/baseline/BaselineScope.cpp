#include "kvstcheck/baseline/BaselineScope.h"

#include <algorithm>

namespace kvstcheck {

bool BaselineScope::Checks(const BaselineEntry& entry) const {
    return entry.rule.empty() ? pluginKinds.contains(entry.kind) : rules.contains(entry.rule);
}

std::set<std::string> EveryPluginKind() { return {"layers", "linetypes", "textStyles", "dimStyles"}; }

std::set<std::string> RulesChecked(const rules::RuleSet& ruleSet) {
    std::set<std::string> checked;
    const rules::NameChecks& checks = ruleSet.checks;
    for (const auto& [on, id] : {std::pair{checks.characters, "names.characters"}, std::pair{checks.spaces, "names.spaces"},
                                 std::pair{checks.invisible, "names.invisible"},
                                 std::pair{checks.letterCase, "names.letter-case"}})
        if (on) checked.insert(id);
    for (const rules::NameKind kind : rules::kKinds) {
        const rules::KindRules& kindRules = ruleSet.of(kind);
        const std::string section(rules::SectionOf(kind));
        if (!kindRules.patterns.empty()) checked.insert(section + ".pattern");
        if (kindRules.format) checked.insert(section + ".fields");
        if (!kindRules.required.empty()) checked.insert(section + ".required");
    }
    const auto anyLayer = [&](auto given) { return std::any_of(ruleSet.layers.begin(), ruleSet.layers.end(), given); };
    const std::string layers(rules::SectionOf(rules::NameKind::Layer));
    if (anyLayer([](const rules::LayerRule& rule) { return rule.color.has_value(); })) checked.insert(layers + ".color");
    if (anyLayer([](const rules::LayerRule& rule) { return rule.linetype.has_value(); })) checked.insert(layers + ".linetype");
    if (anyLayer([](const rules::LayerRule& rule) { return rule.lineweight.has_value(); }))
        checked.insert(layers + ".lineweight");
    if (anyLayer([](const rules::LayerRule& rule) { return rule.plot.has_value(); })) checked.insert(layers + ".plot");
    return checked;
}

}  // namespace kvstcheck
