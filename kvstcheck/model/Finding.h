#pragma once
// One finding of a run, as every output reads it: its kind typed, whoever found it, and what the
// stages before the outputs added (hints, the baseline's acceptance).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vocabulary/Kinds.h"

namespace kvstcheck {

using vocabulary::Kind;

// The language of the kinds' words in outputs for people; files for programs use English and keys.
enum class Language : std::uint8_t { English, Chinese };

enum class FindingSeverity : std::uint8_t { Error, Warning, Note };

// Allowed names of the finding's kind that its author may have meant, read from the standard file.
// They only explain a finding: which names are findings is the plug-in's answer alone.
struct NameHints {
    std::vector<std::wstring> names;  // nearest first, at most three; empty when none is close
    bool letterCase = false;          // names holds the one allowed name equal but for letter case
    // UTF-8: what sets the name apart from the one allowed name in names that it looks like; empty else.
    std::vector<std::string> differences{};

    bool operator==(const NameHints&) const = default;
};

struct Finding {
    // Nothing for a label that names no kind the tools know (another plug-in's); otherLabel holds it.
    std::optional<Kind> kind;
    std::wstring name;
    NameHints hints{};
    std::string rule{};     // a rules file's finding: its rule id ("layers.pattern"); empty for the plug-in's
    std::string message{};  // UTF-8; a rule's finding in words
    bool accepted = false;  // the baseline lists it: shown apart, and the exit status leaves it out
    std::string comment{};  // UTF-8; the baseline's reason for accepting it
    FindingSeverity severity = FindingSeverity::Error;
    std::wstring otherLabel{};  // the plug-in's label when kind is empty
    // The 1-based line of the name's value in a DXF drawing; none for other files and missing names.
    std::optional<int> line{};
};

// A finding of the plug-in from the label it gave.
Finding PluginFinding(const std::wstring& label, std::wstring name);

// The kind as the plug-in labels it for its host: the vocabulary's label, or the label it gave.
std::wstring HostLabelOf(const Finding& finding);
// "layers", "textStyles"...; the plug-in's own label (UTF-8) for a kind the tools do not know.
std::string KindKeyOf(const Finding& finding);
// "layer", "text style"...; the plug-in's own label (UTF-8) for a kind the tools do not know.
std::string EnglishKindOf(const Finding& finding);

}  // namespace kvstcheck
