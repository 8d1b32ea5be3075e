#pragma once
// The section and key names of the standard file. Portable: the tools that explain a standard
// file use them as well.
#include <algorithm>
#include <string_view>

namespace standards {

inline constexpr std::string_view kCommonSectionName = "Common";
inline constexpr std::string_view kTypeCountKeyName = "TypeCount";
inline constexpr std::string_view kTypeSectionPrefix = "Type";
inline constexpr std::string_view kTypeKeyName = "Type";
inline constexpr std::string_view kNameCountKeyName = "NameCount";
inline constexpr std::string_view kNameKeyPrefix = "Name";

// True for a key name the loader may read, compared as the profile functions compare (ASCII
// letter case ignored): TypeCount, Type, NameCount, and Name followed by a number.
inline bool IsStandardKeyName(std::string_view name) noexcept {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    const auto same = [&](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
    };
    if (same(name, kTypeCountKeyName) || same(name, kTypeKeyName) || same(name, kNameCountKeyName)) return true;
    if (name.size() <= kNameKeyPrefix.size() || !same(name.substr(0, kNameKeyPrefix.size()), kNameKeyPrefix)) return false;
    std::string_view number = name.substr(kNameKeyPrefix.size());
    if (number.front() == '-') number.remove_prefix(1);
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace standards
