#pragma once
// The standard file's lint rules, said once: id, weight, a one-line summary and how to fix. Messages,
// JSON, the schema's list of ids and the README's table all come from this table; a rule is named in
// code only by its enumerator, so a rule missing here does not build. Portable.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kvstcheck {

// How much a warning weighs: an error leaves nothing loaded or lets every audit pass; a warning
// means the plug-in reads something other than meant; a note changes nothing the plug-in reads.
enum class Severity : std::uint8_t { Error, Warning, Note };

const char* SeverityWord(Severity severity);

enum class LintRule : std::uint8_t {
    NoCommon, NoTypeCount, TypeCountValue, NameCountZero, EmptyFirstType, LoadsNothing,
    TypeCountGap, MissingType, NoNameCount, NameCountValue, NumberForm, NameGap, MissingMarker,
    TypeNameCase, MisspeltType, UnknownType, EmptyType, DuplicateKind, LeadingSpace, QuotedSpace,
    InlineComment, InnerWhiteSpace, ValueTooLong, Utf8Text, UnreadableBytes, LostCharacters,
    ByteOrderMark, EmptyName, LetterCasePair, NameAboveCount, NameUnread, MisspeltKey, NoEquals,
    DuplicateKey, DuplicateSection, SectionAboveCount, AfterStop, BeforeFirstSection, WindowsDiffers,
    DuplicateName, UnknownKey, UnknownSection,
};

struct LintRuleInfo {
    LintRule rule;
    std::string_view id;        // stable, in kebab case
    Severity severity;
    // A stop of loading before [Type1]'s type name raises the warning to an error: every audit passes.
    bool errorBeforeFirstType;
    std::string_view summary;   // what the line is
    std::string_view howToFix;
};

namespace catalogue {
using enum LintRule;
inline constexpr auto E = Severity::Error;
inline constexpr auto W = Severity::Warning;
inline constexpr auto N = Severity::Note;

inline constexpr std::array kRules = {
    LintRuleInfo{NoCommon, "no-common", E, false, "the file has no `[Common]`", "begin the file with `[Common]` and `TypeCount=`"},
    LintRuleInfo{NoTypeCount, "no-type-count", E, false, "`[Common]` has no `TypeCount=`", "add `TypeCount=` the number of `[TypeN]` sections"},
    LintRuleInfo{TypeCountValue, "type-count-value", E, false, "`TypeCount` is not a number from 1 to 32767", "write the number of `[TypeN]` sections"},
    LintRuleInfo{NameCountZero, "name-count-zero", E, false, "`NameCount=0` (or below) under one of the four types: the load fails", "write the section's number of names"},
    LintRuleInfo{EmptyFirstType, "empty-first-type", E, false, "`Type=` is empty in `[Type1]`: the plug-in checks nothing", "write the type of its names"},
    LintRuleInfo{LoadsNothing, "loads-nothing", E, false, "the plug-in does not load the file, and no line says why", "check that the file can be read"},
    LintRuleInfo{TypeCountGap, "type-count-gap", W, true, "`TypeCount` counts a `[TypeN]` that is missing: loading stops", "`TypeCount=` the number of sections before the gap"},
    LintRuleInfo{MissingType, "missing-type", W, true, "a type section has no `Type=`: loading stops", "add `Type=` the type of its names"},
    LintRuleInfo{NoNameCount, "no-name-count", W, true, "a type section has no `NameCount=`: loading stops", "add `NameCount=` the section's number of names"},
    LintRuleInfo{NameCountValue, "name-count-value", W, true, "`NameCount` is no number: loading stops", "`NameCount=` the section's number of names"},
    LintRuleInfo{NumberForm, "number-form", W, false, "a count written otherwise than a whole number (`1.4`, `&H4`)", "the whole number it is read as"},
    LintRuleInfo{NameGap, "name-gap", W, false, "`NameCount` counts a `NameK` that is missing: the section's reading stops, empty names stay", "`NameCount=` the number of names before the gap"},
    LintRuleInfo{MissingMarker, "missing-marker", W, false, "a name reads as the plug-in's marker of a missing value", "`NameCount=` the number of names before it"},
    LintRuleInfo{TypeNameCase, "type-name-case", W, false, "a type name in another letter case: its names are ignored", "the type name in its letter case"},
    LintRuleInfo{MisspeltType, "misspelt-type", W, false, "a type name a few letters off one of the four", "the nearest type name, where no other section has it"},
    LintRuleInfo{UnknownType, "unknown-type", W, false, "a type name that is none of the four: its names are ignored", "one of the four type names, or remove the section"},
    LintRuleInfo{EmptyType, "empty-type", W, false, "`Type=` is empty in a later section: its names are ignored", "write the type of its names"},
    LintRuleInfo{DuplicateKind, "duplicate-kind", W, false, "two sections declare one type: the later one wins", "merge the names into one section"},
    LintRuleInfo{LeadingSpace, "leading-space", W, false, "a quoted value with leading spaces, which the plug-in drops", "the value without them"},
    LintRuleInfo{QuotedSpace, "quoted-space", W, false, "a quoted name whose quotes keep a trailing space: drawings' names never end so", "the name without the spaces and quotes"},
    LintRuleInfo{InlineComment, "inline-comment", W, false, "a name holding `;`, or ` #` after a space: the plug-in keeps the comment as part of the name", "the name alone, the comment on a `;` line of its own"},
    LintRuleInfo{InnerWhiteSpace, "inner-white-space", W, false, "a name holding a tab or a run of spaces, which the plug-in keeps", "the name as drawings spell it"},
    LintRuleInfo{ValueTooLong, "value-too-long", W, false, "a value over 254 bytes, which the plug-in cuts", "the first 254 bytes, which the plug-in reads"},
    LintRuleInfo{Utf8Text, "utf8-text", W, false, "a value in UTF-8, read in the system code page", "save the file in the system code page"},
    LintRuleInfo{UnreadableBytes, "unreadable-bytes", W, false, "bytes the system code page cannot read", "save the file in the system code page"},
    LintRuleInfo{LostCharacters, "lost-characters", W, false, "a line of a Unicode file with characters the code page cannot hold", "use only characters of the code page"},
    LintRuleInfo{ByteOrderMark, "byte-order-mark", W, false, "a UTF-8 byte order mark, which Windows reads as text", "save the file without a byte order mark"},
    LintRuleInfo{EmptyName, "empty-name", W, false, "`NameK=` is empty: it allows only an empty name", "write the name, or remove it and renumber"},
    LintRuleInfo{LetterCasePair, "letter-case-pair", W, false, "two names differing only in letter case: both are allowed", "keep the spelling drawings should use"},
    LintRuleInfo{NameAboveCount, "name-above-count", W, false, "a `NameK` above `NameCount`, never read", "`NameCount=` the section's number of names, where they follow on"},
    LintRuleInfo{NameUnread, "name-unread", W, false, "a name key the plug-in never asks for (`Name01`)", "number the names Name1, Name2, ..."},
    LintRuleInfo{MisspeltKey, "misspelt-key", W, false, "a key one or two letters off one the plug-in reads (`Typ=`, `NameCout=`)", "the key's right spelling, where the section lacks it"},
    LintRuleInfo{NoEquals, "no-equals", W, false, "a line without `=`, never read", "write it as `Key=Value`, or make it a `;` comment"},
    LintRuleInfo{DuplicateKey, "duplicate-key", W, false, "a key again in its section: only the first is read", "remove the later one, which is never read"},
    LintRuleInfo{DuplicateSection, "duplicate-section", W, false, "a section again: only the first is read", "merge the two"},
    LintRuleInfo{SectionAboveCount, "section-above-count", W, false, "a `[TypeN]` above `TypeCount`, never read", "`TypeCount=` the number of sections, where they follow on"},
    LintRuleInfo{AfterStop, "after-stop", W, false, "a `[TypeN]` past a gap in the numbering, after a stop with no usable `TypeCount`", "fix the line where loading stops"},
    LintRuleInfo{BeforeFirstSection, "before-first-section", W, false, "a line before the first `[section]`, never read", "move it into its section"},
    LintRuleInfo{WindowsDiffers, "windows-differs", W, false, "a line that Windows reads otherwise than other platforms, or may", "write it so that every platform reads it alike"},
    LintRuleInfo{DuplicateName, "duplicate-name", N, false, "a name listed twice", "remove the repeated name"},
    LintRuleInfo{UnknownKey, "unknown-key", N, false, "a key the plug-in never reads (`Author=`)", "remove the line"},
    LintRuleInfo{UnknownSection, "unknown-section", N, false, "a section the plug-in never reads (`[Notes]`)", "remove the section"},
};

}  // namespace catalogue

inline constexpr const auto& kLintRules = catalogue::kRules;

// Each rule at its own enumerator's place, so that a lookup is an index.
consteval bool EveryRuleInPlace() {
    for (std::size_t i = 0; i < kLintRules.size(); ++i)
        if (static_cast<std::size_t>(kLintRules[i].rule) != i) return false;
    return static_cast<std::size_t>(LintRule::UnknownSection) + 1 == kLintRules.size();
}
static_assert(EveryRuleInPlace(), "kLintRules lists each LintRule once, in the enumeration's order");

constexpr const LintRuleInfo& InfoOf(LintRule rule) { return kLintRules[static_cast<std::size_t>(rule)]; }

std::optional<LintRule> LintRuleOfId(std::string_view id);

}  // namespace kvstcheck
