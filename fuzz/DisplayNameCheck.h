#pragma once
// What must hold for the display form of any name; shared by the fuzz target and the replay of its
// saved corpus in the tests.
#include <string>
#include <string_view>

namespace fuzzcheck {

// The bytes as UTF-16 code units, low byte first; an odd last byte is a unit of its own.
std::wstring Utf16Units(std::string_view bytes);

// Empty when the display form of the name keeps its promises: it holds no character written in
// the notation, no space at either end, its UTF-8 form no control byte, and reading each <U+XXXX>
// back gives the name. Otherwise what went wrong.
std::string CheckDisplayName(std::wstring_view name);

}  // namespace fuzzcheck
