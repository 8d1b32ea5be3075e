#pragma once
// An office's rules for a drawing's names, beyond a list: patterns, required names, a layout of
// fields with codes, layer properties, and the checks every office asks for. Portable.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/rules/NameFormat.h"
#include "kvstcheck/rules/NamePattern.h"
#include "kvstcheck/rules/RulesCatalogue.h"

namespace kvstcheck::rules {

enum class NameKind : std::size_t { Layer, Linetype, TextStyle, DimStyle };
constexpr std::size_t kKindCount = 4;
constexpr std::array<NameKind, kKindCount> kKinds = {NameKind::Layer, NameKind::Linetype, NameKind::TextStyle,
                                                     NameKind::DimStyle};
// "layers", "linetypes", "text-styles", "dimension-styles": section names and rule id prefixes.
std::string_view SectionOf(NameKind kind);
// "layer", "linetype", "text style", "dimension style": for messages.
std::string_view WordOf(NameKind kind);

// Where a value stands in a rules file.
struct Place {
    std::string file;  // UTF-8, as given
    std::size_t line = 0;
    std::size_t column = 0;
    std::size_t endLine = 0;  // where the value ends: the column after its last character
    std::size_t endColumn = 0;
    std::string Describe() const;  // "file:line:column"
};

struct Pattern {
    std::string text;  // UTF-8, as written
    Place place;
    std::shared_ptr<const NamePattern> compiled;
};

struct RequiredName {
    std::u32string name;
    Place place;
};

struct KindRules {
    std::vector<Pattern> patterns;  // a name must match one; none: any name
    bool patternsOnlyAdded = false;  // given by patterns_add alone: the rest come from files before
    bool patternsGiven = false;      // patterns or patterns_add given, even as an empty list
    std::vector<RequiredName> required;
    std::shared_ptr<const NameFormat> format;
    Place formatPlace;
};

// Layer lineweights: hundredths of a millimetre, or the drawing's default.
constexpr int kDefaultLineweight = -3;

struct LayerRule {
    std::u32string name;
    Place place;
    std::optional<int> color;  // 1-255
    std::optional<std::u32string> linetype;
    std::optional<int> lineweight;  // 0-211 or kDefaultLineweight
    std::optional<bool> plot;
};

struct NameChecks {
    bool characters = true;
    bool letterCase = true;
    bool spaces = true;
    bool invisible = true;
};

struct RuleSet {
    std::array<KindRules, kKindCount> kinds;
    std::vector<LayerRule> layers;  // properties by layer name, in the order first given
    NameChecks checks;
    std::vector<std::string> files;  // the rules files, in the order given

    const KindRules& of(NameKind kind) const { return kinds[static_cast<std::size_t>(kind)]; }
};

// A change of one line of a rules file (lines count from 1, without their line end).
struct LineEdit {
    enum class Action : std::uint8_t { Replace, Delete, InsertAfter };
    std::size_t line = 0;
    Action action = Action::Replace;
    std::string text;  // the line's new text, or the line to insert; UTF-8

    bool operator==(const LineEdit&) const = default;
};

// What is wrong with a rules file, where, and how to put it right; with an edit where a safe one
// can be computed from the file.
struct RulesProblem {
    LintRule rule = LintRule::TomlSyntax;
    Place place;
    std::string problem;
    std::string fix;
    std::optional<LineEdit> edit{};

    RuleSeverity severity() const { return EntryOf(rule).severity; }
    std::string Describe() const;  // "file:line:column: problem\n    fix: ..."
};

}  // namespace kvstcheck::rules
