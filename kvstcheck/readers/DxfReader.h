#pragma once
// Reads an ASCII DXF file's LAYER, LTYPE, STYLE and DIMSTYLE table entries as a drawing's names.
// Portable: text conversions come from the caller's decoder, so the parse builds and is fuzzed natively.
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/readers/TextDecoder.h"

namespace kvstcheck {

// Reads what common DXF readers read: comment groups (999) anywhere, groups between sections,
// header variables after an early ENDSEC of the HEADER section, padded group codes, any mix of LF
// and CR LF. A file that ends without EOF after its complete TABLES section is read with a warning.
// Throws InputError (with the line) for anything else that is not an ASCII DXF file with a TABLES
// section. Text before AC1021 is in the drawing's code page, from AC1021 on UTF-8.
DrawingContent ReadDxf(std::string_view bytes, const TextDecoder& decoder);

// The Windows code page of a $DWGCODEPAGE value such as ANSI_936 or DOS850 (letter case ignored).
std::optional<unsigned> CodePageOfDxfName(std::string_view name);
// Replaces \U+XXXX and \M+nXXXX escapes; anything else, an incomplete escape too, stays as it is.
std::wstring DecodeDxfEscapes(std::wstring_view text, const TextDecoder& decoder);

}  // namespace kvstcheck
