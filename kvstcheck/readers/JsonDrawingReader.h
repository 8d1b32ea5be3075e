#pragma once
// Reads a drawing described in JSON: {"Layers": [...], "Linetypes": [...], "TextStyles": [...],
// "DimStyles": [...]}, each a list of names; a kind left out has no names.
#include <string_view>

#include "kvstcheck/readers/DrawingNames.h"

namespace kvstcheck {

// Throws InputError (with the line) for invalid JSON and for anything but the shape above.
DrawingNames ReadJsonDrawing(std::string_view bytes);

}  // namespace kvstcheck
