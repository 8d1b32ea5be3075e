#pragma once
// Reads a drawing file, DXF or JSON by its extension, into the drawing's names.
#include <string>

#include "kvstcheck/readers/DrawingNames.h"

namespace kvstcheck {

// Throws InputError: the file cannot be read, its extension is neither .dxf nor .json (any
// letter case), or its content is broken (then the error carries the line).
DrawingContent ReadDrawingFile(const std::wstring& path);

}  // namespace kvstcheck
