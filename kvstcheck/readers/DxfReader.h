#pragma once
// Reads an ASCII DXF file's LAYER, LTYPE, STYLE and DIMSTYLE table entries as a drawing's names.
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/readers/DrawingNames.h"

namespace kvstcheck {

// Throws InputError (with the line) for anything that is not a complete ASCII DXF file with a
// TABLES section. Text before AC1021 is in the drawing's code page, from AC1021 on UTF-8.
DrawingNames ReadDxf(std::string_view bytes);

// The Windows code page of a $DWGCODEPAGE value such as ANSI_936 or DOS850 (letter case ignored).
std::optional<unsigned> CodePageOfDxfName(std::string_view name);
// Replaces \U+XXXX and \M+nXXXX escapes; anything else, an incomplete escape too, stays as it is.
std::wstring DecodeDxfEscapes(std::wstring_view text);

}  // namespace kvstcheck
