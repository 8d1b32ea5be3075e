#pragma once
// The drawings a command line names: files as given, folders as every .dxf and .json file below them.
#include <string>
#include <vector>

#include "kvstcheck/selection/Glob.h"

namespace kvstcheck {

struct WalkEntry {
    std::wstring path;  // a file as the user gave it, or the folder the user gave joined with the way down
    std::string error;  // UTF-8; why this entry of a folder cannot be read (then it is no drawing)
};

// Folders are walked depth-first, each folder's entries in natural order (NaturalLess), so that
// a run lists the same drawings in the same order every time. A file or folder below a folder given
// whose path there matches one of excludes is left out. A folder that cannot be read, or one
// that is a link back to a folder above it, becomes an entry with its error; the walk goes on.
// Any other argument is a drawing, whether it exists or not: reading it tells.
std::vector<WalkEntry> ListDrawings(const std::vector<std::wstring>& arguments, const std::vector<Glob>& excludes = {});

// Whether the name ends in .dxf or .json, in any letter case.
bool IsDrawingFileName(const std::wstring& name);

}  // namespace kvstcheck
