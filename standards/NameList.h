#pragma once
// A name list: a zero-based dynamic array of names (UTF-16, compared exactly).
#include <string>
#include <vector>

namespace standards {

using NameList = std::vector<std::wstring>;

}  // namespace standards
