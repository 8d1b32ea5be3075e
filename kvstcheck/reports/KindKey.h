#pragma once
// The kind of a finding as programs and files name it, in any language of the user: layers,
// linetypes, textStyles, dimStyles.
#include <string>
#include <string_view>

namespace kvstcheck {

// The plug-in's label of a kind key; empty for no known key.
std::wstring LabelOfKindKey(std::string_view key);

}  // namespace kvstcheck
