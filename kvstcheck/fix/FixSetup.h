#pragma once
// What a fix run knows before its first drawing: the standard as the plug-in loads it, the rules, and the
// renames of the rules files' [fix] tables and the CSV maps, checked against what the standard allows.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kvstcheck/fix/FixMap.h"
#include "kvstcheck/fix/FixOptions.h"
#include "kvstcheck/rules/Rules.h"
#include "kvstcheck/standardtools/LoadedStandard.h"

namespace kvstcheck::fix {

// Everything wrong with the rules, maps or standard, one problem a line (UTF-8).
class FixSetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FixSetup {
    LoadedStandard standard;
    std::optional<rules::RuleSet> rules;
    FixMap map;
};

// Whether the standard and the rules' patterns allow a name as a rename's target: the plug-in compares
// names exactly, so a target must be spelled as the standard spells it.
bool AllowsTarget(const LoadedStandard& standard, const std::optional<rules::RuleSet>& rules, rules::NameKind kind,
                  std::u32string_view target);

// Throws FixSetupError.
FixSetup LoadFixSetup(const FixOptions& options);

}  // namespace kvstcheck::fix
