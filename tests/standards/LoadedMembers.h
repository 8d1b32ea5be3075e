#pragma once
// The plug-in members that a load fills, held by a test, and readable forms of what they hold.
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "standards/StandardLoader.h"

namespace standardstest {

// How FilterElements shows an element that holds nothing.
inline constexpr wchar_t kEmptyElement[] = L"<Empty>";

struct LoadedMembers {
    std::unique_ptr<standards::clsIniFuncs> IniFuncs;
    kv::Variant CheckFilter;
    standards::NameList StdLayerNames;
    standards::NameList StdLinetypeNames;
    standards::NameList StdTextStyleNames;
    standards::NameList StdDimStyleNames;

    bool Load(const std::wstring& path) {
        return standards::LoadStandardFile(
            path, {IniFuncs, CheckFilter, StdLayerNames, StdLinetypeNames, StdTextStyleNames, StdDimStyleNames});
    }
};

// The filter's elements in order: strings as they are, Empty elements as kEmptyElement. An Empty
// filter gives no elements; any other shape than a zero-based one-dimensional array of variants
// is recorded as a test failure.
std::vector<std::wstring> FilterElements(const kv::Variant& filter);

// A one-dimensional array of variants holding the given strings, as a loaded filter holds them.
kv::Variant FilterOf(std::initializer_list<std::wstring_view> elements);

// The text as a UTF-16 little-endian file with its byte-order mark.
std::string Utf16WithByteOrderMark(std::wstring_view text);

// The lines of an INI file, each ended with CR LF.
std::string IniLines(std::initializer_list<std::string_view> lines);

}  // namespace standardstest
