#pragma once
// Every format a run can write, in the order of its options.
#include <span>
#include <string_view>

#include "kvstcheck/outputs/Output.h"

namespace kvstcheck {

std::span<const OutputFormat* const> OutputFormats();
// The format whose option is given ("--csv"); nullptr for none.
const OutputFormat* FormatOfOption(std::string_view option);

}  // namespace kvstcheck
