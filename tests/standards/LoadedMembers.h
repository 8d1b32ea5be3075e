#pragma once
// The plug-in members that a load fills, held by a test, and readable forms of what they hold.
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "com/Variant.h"
#include "standards/NameList.h"
#include "standards/StandardLoader.h"

namespace standardstest {

// How FilterElements shows an element that holds nothing.
inline constexpr wchar_t kEmptyElement[] = L"<Empty>";

struct LoadedMembers {
    std::unique_ptr<standards::clsIniFuncs> IniFuncs;
    standards::TypeNames CheckFilter;
    standards::NameView StdLayerNames;
    standards::NameView StdLinetypeNames;
    standards::NameView StdTextStyleNames;
    standards::NameView StdDimStyleNames;

    bool Load(const std::wstring& path,
              standards::StandardFileReading reading = standards::StandardFileReading::OncePerLoad) {
        return standards::Apply(standards::LoadStandardFile(path, IniFuncs, reading),
                                {CheckFilter, {&StdLayerNames, &StdLinetypeNames, &StdTextStyleNames, &StdDimStyleNames}});
    }
};

// The filter's elements in order: strings as they are, Empty elements as kEmptyElement. An Empty
// filter gives no elements; any other shape than a zero-based one-dimensional array of variants
// is recorded as a test failure.
std::vector<std::wstring> FilterElements(const kv::Variant& filter);
// The same for the type names a filter is built from.
std::vector<std::wstring> FilterElements(const standards::TypeNames& filter);

// Type names as a loaded filter holds them.
standards::TypeNames FilterOf(std::initializer_list<std::wstring_view> elements);

// The text as a UTF-16 little-endian file with its byte-order mark.
std::string Utf16WithByteOrderMark(std::wstring_view text);

// The lines of an INI file, each ended with CR LF.
std::string IniLines(std::initializer_list<std::string_view> lines);

}  // namespace standardstest

namespace standards {

// A loaded list against the names it should hold.
inline bool operator==(const NameView& view, const NameList& names) {
    return std::equal(view.begin(), view.end(), names.begin(), names.end());
}

}  // namespace standards
