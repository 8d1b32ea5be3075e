#pragma once
// A code list: the first cell of each line of a CSV file, separated by "," or ";" (what spreadsheets
// write in many locales), decided by the header line. Portable.
#include <string>
#include <string_view>
#include <vector>

namespace kvstcheck::rules {

// text: decoded (UTF-8 without its mark). Lines starting with "#", empty cells and a header cell
// "code" are skipped.
std::vector<std::u32string> CodesOfCsv(std::string_view text);

}  // namespace kvstcheck::rules
