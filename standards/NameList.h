#pragma once
// A name list: a zero-based dynamic array of names (UTF-16, compared exactly). The drawing's lists
// own their names; the standard's lists are views into their load's pool (NameStore.h).
#include <string>
#include <vector>

namespace standards {

using NameList = std::vector<std::wstring>;

}  // namespace standards
