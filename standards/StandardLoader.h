#pragma once
// Reads the standard file through the plug-in's INI class, and writes a load into the plug-in's
// members.
#include <memory>
#include <string>

#include "StandardLoad.h"
#include "clsIniFuncs.h"

namespace standards {

// How a load reads the file's values.
enum class StandardFileReading {
    OncePerLoad,           // one reading of the file when the load starts, where its answers are certain
    ProfileReadPerValue,   // the platform's profile function for every value
};

// Loads path after the existence test, through iniFuncs (made on first use and kept by the
// caller). The account of the reading is built only when asked for.
StandardLoad LoadStandardFile(const std::wstring& path, std::unique_ptr<clsIniFuncs>& iniFuncs,
                              StandardFileReading reading = StandardFileReading::OncePerLoad,
                              bool withAccount = false) noexcept;

// The plug-in members that a load writes, the lists in kind order (layers, linetypes, text
// styles, dimension styles).
struct StandardMembers {
    TypeNames& CheckFilter;
    std::array<NameView*, kStandardKindCount> lists;
};

// Writes what the load changed, as the loader changes members: the filter once TypeCount was read,
// each list that a section filled; the others keep what they held. Returns load.loaded.
bool Apply(StandardLoad&& load, const StandardMembers& members) noexcept;

}  // namespace standards
