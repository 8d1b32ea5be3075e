#pragma once
// The drawings a command line names: files as given, folders as every .dxf and .json file below them.
#include <string>
#include <vector>

#include "kvstcheck/Files.h"
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
// Any other argument is a drawing, whether it exists or not: reading it tells. Files below a folder
// that are one of skipped (the run's own outputs) are left out.
std::vector<WalkEntry> ListDrawings(const std::vector<std::wstring>& arguments,
                                    const std::vector<FileIdentity>& skipped = {}, const std::vector<Glob>& excludes = {});

// The separator that joins the way down a folder: the one the user wrote in it; when it holds none
// or both, the preferred one.
wchar_t SeparatorOf(const std::wstring& folder);

// Whether the name ends in .dxf or .json, in any letter case.
bool IsDrawingFileName(const std::wstring& name);

}  // namespace kvstcheck
