#pragma once
// What must hold for the files a user hands an audit run, whatever their bytes: a list of drawings
// reads as paths that read back the same, or is refused with a line; a baseline reads as entries that
// write and read back the same, or is refused with a reason. Portable: the fuzz targets and the tests
// that replay their saved corpora both use it.
#include <string>
#include <string_view>

namespace fuzzcheck {

// The first broken rule, in words; empty when every rule holds.
std::string CheckFileList(std::string_view bytes);
std::string CheckBaseline(std::string_view bytes);

}  // namespace fuzzcheck
