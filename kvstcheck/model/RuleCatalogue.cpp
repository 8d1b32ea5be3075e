#include "kvstcheck/model/RuleCatalogue.h"

#include <array>

namespace kvstcheck {
namespace {

struct RuleText {
    std::string_view check;   // the id after its section: "pattern" of "layers.pattern"
    std::string_view phrase;  // follows "A <kind> name that ..." or, for names.*, "A name that ..."
};

constexpr std::array<RuleText, 12> kRules = {{
    {"standard", "the standard file does not allow"},
    {"pattern", "matches none of the rules' patterns"},
    {"fields", "does not have the layout of fields the rules give"},
    {"required", "the rules require and the drawing lacks"},
    {"color", "has another colour than the rules ask for"},
    {"linetype", "has another linetype than the rules ask for"},
    {"lineweight", "has another lineweight than the rules ask for"},
    {"plot", "is plotted otherwise than the rules ask for"},
    {"letter-case", "differs from another only in letter case"},
    {"characters", "holds characters the rules do not allow"},
    {"spaces", "begins or ends with a space"},
    {"invisible", "holds an invisible character"},
}};

// "A layer name", "A text style name"; "A name" for the names.* checks and unknown sections.
std::string Subject(std::string_view section) {
    const auto kind = vocabulary::KindOfSection(section);
    return kind ? std::string("A ") + vocabulary::WordsOf(*kind).english + " name" : "A name";
}

}  // namespace

std::string StandardRuleId(Kind kind) { return std::string(vocabulary::WordsOf(kind).section) + ".standard"; }

std::string RuleIdOf(const Finding& finding) {
    if (!finding.rule.empty()) return finding.rule;
    return finding.kind ? StandardRuleId(*finding.kind) : "standard";
}

std::string DescribeRule(std::string_view ruleId) {
    const std::size_t dot = ruleId.find('.');
    const std::string_view section = dot == std::string_view::npos ? std::string_view() : ruleId.substr(0, dot);
    const std::string_view check = dot == std::string_view::npos ? ruleId : ruleId.substr(dot + 1);
    for (const RuleText& rule : kRules)
        if (rule.check == check) return Subject(section) + " that " + std::string(rule.phrase);
    return Subject(section) + " that a rules file's check " + std::string(ruleId) + " finds";
}

}  // namespace kvstcheck
