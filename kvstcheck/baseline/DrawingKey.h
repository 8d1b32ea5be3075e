#pragma once
// How a baseline names a drawing: by its path relative to the baseline file's folder, with "/", so
// that a baseline kept beside the drawings in a repository holds in every clone.
#include <string>
#include <string_view>

namespace kvstcheck {

// drawing and folder: absolute Windows paths ("C:\a\b.dxf", "\\server\share\a"). Parts compare with
// letter case ignored, as the file system compares them; the drawing's own spelling is kept. A
// drawing under another root (drive or share) keeps its absolute path, with "/".
std::wstring RelativeDrawingPath(std::wstring_view drawing, std::wstring_view folder);

}  // namespace kvstcheck
