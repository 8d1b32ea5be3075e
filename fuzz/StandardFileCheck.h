#pragma once
// What must hold for any bytes given to the standard file image: its structure is consistent,
// and its reads give what a plain scan by the platform's rules gives. Portable: the fuzz target
// and the test that replays the saved corpus both use it.
#include <string>
#include <string_view>

namespace fuzzcheck {

// The first broken rule, in words; empty when every rule holds.
std::string CheckStandardFile(std::string_view bytes);

}  // namespace fuzzcheck
