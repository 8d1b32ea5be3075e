#include "NamePatternCheck.h"

#include <optional>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/NamePattern.h"

namespace fuzzcheck {

using kvstcheck::rules::NamePattern;
using kvstcheck::rules::PatternError;

std::string CheckNamePattern(std::string_view bytes) {
    const auto newline = bytes.find('\n');
    const std::u32string pattern = kvstcheck::FromUtf8(bytes.substr(0, newline));
    const std::u32string name =
        newline == std::string_view::npos ? std::u32string() : kvstcheck::FromUtf8(bytes.substr(newline + 1));
    std::optional<NamePattern> compiled;
    try {
        compiled.emplace(pattern);
    } catch (const PatternError& error) {
        if (error.column() == 0 || error.column() > pattern.size() + 1) return "an error column outside the pattern";
        return {};
    }
    if (compiled->size() > NamePattern::kLargestProgram) return "a program above the size limit";
    const auto run = compiled->Run(name);
    if (run.steps > (name.size() + 1) * 2 * compiled->size()) return "more steps than the linear bound";
    if (run.matched && !compiled->CanMatch()) return "a match of a pattern said never to match";
    // The same pattern inside a group and between anchors matches the same names.
    try {
        const NamePattern anchored(U"^(?:" + pattern + U")$");
        if (anchored.Matches(name) != run.matched) return "the anchored pattern disagrees";
    } catch (const PatternError&) {
        // Only the nesting or size limit can refuse the wrapped form of a pattern that compiled.
    }
    return {};
}

}  // namespace fuzzcheck
