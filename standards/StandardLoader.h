#pragma once
// Reads the standard file into the check filter and the four standard name lists.
#include <memory>
#include <string>

#include "NameList.h"
#include "clsIniFuncs.h"
#include "com/Variant.h"

namespace standards {

// The plug-in members that a load reads and writes.
struct StandardTargets {
    std::unique_ptr<clsIniFuncs>& IniFuncs;
    kv::Variant& CheckFilter;
    NameList& StdLayerNames;
    NameList& StdLinetypeNames;
    NameList& StdTextStyleNames;
    NameList& StdDimStyleNames;
};

// How a load reads the file's values.
enum class StandardFileReading {
    OncePerLoad,           // one reading of the file when the load starts, where its answers are certain
    ProfileReadPerValue,   // the platform's profile function for every value
};

// True when the file was found, its type count read and its type sections walked.
bool LoadStandardFile(const std::wstring& path, const StandardTargets& targets,
                      StandardFileReading reading = StandardFileReading::OncePerLoad) noexcept;

}  // namespace standards
