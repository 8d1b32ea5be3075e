#pragma once
// A drawing's names and layers checked against a rule set. Portable.
#include <string>
#include <vector>

#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/rules/Rules.h"

namespace kvstcheck::rules {

struct RuleFinding {
    std::string rule;  // "layers.pattern", "names.characters", ...
    NameKind kind = NameKind::Layer;
    std::wstring name;    // the name found, or for a required name the one missing
    std::string message;  // UTF-8, names the kind and the name
};

std::vector<RuleFinding> CheckDrawing(const RuleSet& rules, const DrawingNames& drawing);

// The part of a name that a drawing owns: for a name from an external reference, "XREF|A-WALL",
// the part after the last "|".
std::u32string OwnPart(std::u32string_view name);
// A character that other programs refuse in names: <>/\":;?*|= and control characters.
bool RefusedInNames(char32_t c);
// Letter case folded (text/CaseFolding.h), as name comparisons in drawings ignore it.
std::u32string FoldCase(std::u32string_view name);

}  // namespace kvstcheck::rules
