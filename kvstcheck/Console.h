#pragma once
// Writes UTF-8 text to the standard output and error handles as it is, byte for byte, so that it
// reaches a pipe or a terminal unchanged.
#include <string_view>

namespace kvstcheck {

void WriteOut(std::string_view utf8);
void WriteErr(std::string_view utf8);
// A message for the user on the standard error: prefixed with "kvstcheck: ", ended with a new line.
void WriteError(std::string_view utf8);

}  // namespace kvstcheck
