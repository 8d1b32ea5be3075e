#pragma once
// The kinds of findings as people read them. The plug-in labels each finding with its own Chinese
// word; reports for people name the kind in the user's language where the tool knows it, and
// programs get a key that does not depend on any language.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "audit/Kinds.h"

namespace kvstcheck {

enum class Language : std::uint8_t { English, Chinese };

// The user's interface language, as far as kinds go: Chinese for any Chinese UI language, else English.
Language UserLanguage();

// The kind of a finding's label: the plug-in's word for it, or the English word a rules file's
// finding carries ("layer"); nothing for another label.
std::optional<audit::Kind> KindOfFindingLabel(std::wstring_view label);

// "layers", "linetypes", "textStyles", "dimStyles"; empty for a label of no known kind.
std::string KindKey(std::wstring_view pluginLabel);

// UTF-8: "layer", "text style"... or their Chinese names; a label of no known kind as the plug-in
// gave it, in its display form.
std::string KindName(std::wstring_view pluginLabel, Language language);

}  // namespace kvstcheck
