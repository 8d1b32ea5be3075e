#pragma once
// Every rule of a rules file's lint: its id, severity, what it finds and how to put it right. The
// messages, lint's JSON, the README's table and the tests take them from here; code names a rule by
// its enumerator, so a rule that is not in the catalogue cannot be used. Portable.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kvstcheck::rules {

// An error stops a run before any drawing is audited (the audit refuses the file); a warning is a
// likely mistake that the audit runs with.
enum class RuleSeverity : std::uint8_t { Error, Warning };

enum class LintRule : std::uint8_t {
    NotText,
    ControlCharacter,
    InvisibleCharacter,
    BeyondAscii,
    TomlSyntax,
    UnknownSection,
    UnknownKey,
    WrongType,
    PatternSyntax,
    FormatSyntax,
    CodeListUnreadable,
    ColorValue,
    LineweightValue,
    LayerCasePair,
    NeverMatches,
    RequiredRejected,
    PropertiesRejected,
    DuplicatePattern,
    DuplicateRequired,
    UnusedField,
    LayerWildcard,
    CodeListUnusable,
    FixEntry,
    FixTarget,
};

struct RuleEntry {
    LintRule rule;
    std::string_view id;  // kebab case, stable
    RuleSeverity severity;
    std::string_view summary;
    std::string_view howToFix;
};

inline constexpr std::array kRulesCatalogue = {
    RuleEntry{LintRule::NotText, "not-text", RuleSeverity::Error, "the file is not text: not UTF-8, nor UTF-16 with its byte order mark",
              "save it as UTF-8"},
    RuleEntry{LintRule::ControlCharacter, "control-character", RuleSeverity::Error, "a control character other than tab and line ends",
              "remove it"},
    RuleEntry{LintRule::InvisibleCharacter, "invisible-character", RuleSeverity::Error,
              "an invisible or other space character outside quotes (named by its code point)",
              "replace it with a plain space, or remove it"},
    RuleEntry{LintRule::BeyondAscii, "beyond-ascii", RuleSeverity::Error,
              "a character beyond ASCII outside quotes, or after a backslash in a multi-line string",
              "quote the name that holds it; after a backslash write \\uXXXX"},
    RuleEntry{LintRule::TomlSyntax, "toml-syntax", RuleSeverity::Error, "the text is not TOML", "write sections as [layers], values as key = ..."},
    RuleEntry{LintRule::UnknownSection, "unknown-section", RuleSeverity::Error, "a section the rules do not have", "use one of the sections"},
    RuleEntry{LintRule::UnknownKey, "unknown-key", RuleSeverity::Error, "a key the rules do not have", "use one of the section's keys"},
    RuleEntry{LintRule::WrongType, "wrong-type", RuleSeverity::Error, "a value of the wrong type", "write the type the key takes"},
    RuleEntry{LintRule::PatternSyntax, "pattern-syntax", RuleSeverity::Error, "a pattern that does not compile",
              "write the pattern in the regular part of ECMAScript's syntax"},
    RuleEntry{LintRule::FormatSyntax, "format-syntax", RuleSeverity::Error, "a layout that cannot be used",
              "name each field with its codes under fields"},
    RuleEntry{LintRule::CodeListUnreadable, "code-list-unreadable", RuleSeverity::Error, "a code list that cannot be read",
              "put the CSV file beside the rules file"},
    RuleEntry{LintRule::ColorValue, "color-value", RuleSeverity::Error, "a colour that is not a number from 1 to 255", "write color = 7"},
    RuleEntry{LintRule::LineweightValue, "lineweight-value", RuleSeverity::Error,
              "a lineweight that a layer cannot have (not one of the drawing format's values, nor \"default\")",
              "write the nearest lineweight the format has"},
    RuleEntry{LintRule::LayerCasePair, "layer-case-pair", RuleSeverity::Error,
              "two property tables whose layer names differ only in letter case: both apply to one layer",
              "merge them into one table"},
    RuleEntry{LintRule::NeverMatches, "never-matches", RuleSeverity::Warning, "a pattern that can never match any name",
              "look for an empty class [], or ^ and $ inside the pattern"},
    RuleEntry{LintRule::RequiredRejected, "required-rejected", RuleSeverity::Warning,
              "a required name that the file's own patterns or layout reject", "correct the name, or allow it"},
    RuleEntry{LintRule::PropertiesRejected, "properties-rejected", RuleSeverity::Warning,
              "properties for a layer that the file's own patterns or layout reject", "correct the name, or allow it"},
    RuleEntry{LintRule::DuplicatePattern, "duplicate-pattern", RuleSeverity::Warning, "a pattern listed twice", "remove the second"},
    RuleEntry{LintRule::DuplicateRequired, "duplicate-required", RuleSeverity::Warning, "a required name listed twice (letter case aside)",
              "remove the second"},
    RuleEntry{LintRule::UnusedField, "unused-field", RuleSeverity::Warning, "a field that no layout of the section uses",
              "correct its name to the layout's, or remove it"},
    RuleEntry{LintRule::LayerWildcard, "layer-wildcard", RuleSeverity::Warning,
              "a property table whose name holds * or ?: names are matched whole, so it applies to no layer",
              "name one layer per table"},
    RuleEntry{LintRule::CodeListUnusable, "code-list-unusable", RuleSeverity::Warning,
              "a code list none of whose codes can ever be a field's value (often a CSV read with the wrong separator)",
              "write one code in the first column of each line, separated by , or ;"},
    RuleEntry{LintRule::FixEntry, "fix-entry", RuleSeverity::Error,
              "an entry of the [fix] tables or of a CSV map that cannot be read as a rename",
              "write \"OLD\" = \"NEW\" under [fix.layers] (or the kind's table), or kind,from,to in a map"},
    RuleEntry{LintRule::FixTarget, "fix-target", RuleSeverity::Error,
              "a rename kvstcheck fix cannot make: a reserved or external name, a target the standard and rules do not allow, or one name mapped to two targets",
              "map each name once, to a name the standard (and the rules' patterns) allow"},
};

// Each rule at the place of its enumerator, every enumerator with its entry.
constexpr bool CatalogueInOrder() {
    for (std::size_t i = 0; i < kRulesCatalogue.size(); ++i)
        if (static_cast<std::size_t>(kRulesCatalogue[i].rule) != i) return false;
    return kRulesCatalogue.size() == static_cast<std::size_t>(LintRule::FixTarget) + 1;
}
static_assert(CatalogueInOrder(), "kRulesCatalogue must list every LintRule in its order");

constexpr const RuleEntry& EntryOf(LintRule rule) { return kRulesCatalogue[static_cast<std::size_t>(rule)]; }
std::string_view SeverityWord(RuleSeverity severity);

}  // namespace kvstcheck::rules
