#pragma once
// Differences a reader cannot see between a name and the allowed name it imitates: characters that
// show nothing, spaces at the ends, other spaces and dashes, and letters of another script that look
// like Latin ones (Cyrillic А for A, Greek Ο for O, fullwidth forms).
#include <string>
#include <string_view>
#include <vector>

namespace kvstcheck {

// The name as it reads: invisible characters dropped, look-alikes as the Latin letters they imitate,
// every space as U+0020 and none at the ends. Two names with the same skeleton look the same.
std::wstring Skeleton(std::wstring_view name);

// Sentences saying what sets name apart from allowed, for names whose skeletons are equal but for
// letter case ("U+200B ZERO WIDTH SPACE after position 6"). Positions count the allowed name's
// characters from 1.
std::vector<std::string> InvisibleDifferences(std::wstring_view name, std::wstring_view allowed);

}  // namespace kvstcheck
