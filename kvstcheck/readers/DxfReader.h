#pragma once
// Reads an ASCII DXF file's LAYER, LTYPE, STYLE and DIMSTYLE table entries as a drawing's names.
// Portable: the bytes come from the caller's source and text conversions from the caller's decoder,
// so the parse builds and is fuzzed natively.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/readers/DxfLines.h"
#include "kvstcheck/readers/TextDecoder.h"

namespace kvstcheck {

// Reads what common DXF readers read: comment groups (999) anywhere, groups between sections,
// header variables after an early ENDSEC of the HEADER section, padded group codes, any mix of LF
// and CR LF. Reading stops at the end of the TABLES section: what follows it is not parsed. Whether
// the file ends with EOF is told from its last bytes; one that does not is read with a warning.
// Throws InputError (with the line) for anything else that is not an ASCII DXF file with a TABLES
// section. Text before AC1021 is in the drawing's code page, from AC1021 on UTF-8.
DrawingContent ReadDxf(DxfBytes& bytes, const TextDecoder& decoder);
DrawingContent ReadDxf(std::string_view bytes, const TextDecoder& decoder);

// Whether these last bytes of a file hold its EOF group (0, then EOF; anything after it is ignored).
// wholeFile: the bytes are the whole file, so their first line is a whole line.
bool EndsWithEof(std::string_view lastBytes, bool wholeFile);

// The Windows code page of a $DWGCODEPAGE value such as ANSI_936 or DOS850 (letter case ignored).
std::optional<unsigned> CodePageOfDxfName(std::string_view name);
// Replaces \U+XXXX and \M+nXXXX escapes; anything else, an incomplete escape too, stays as it is.
std::wstring DecodeDxfEscapes(std::wstring_view text, const TextDecoder& decoder);

}  // namespace kvstcheck
