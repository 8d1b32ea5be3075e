#pragma once
// Reads an ASCII DXF file's LAYER, LTYPE, STYLE and DIMSTYLE table entries as a drawing's names.
// Portable: the bytes come from the caller's source and text conversions from the caller's decoder,
// so the parse builds and is fuzzed natively.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/readers/TextDecoder.h"

namespace kvstcheck {

// Where the reader gets a file's bytes: from the start, piece by piece, and the file's last bytes.
// Both may throw InputError (line 0) when the file cannot be read.
class DxfBytes {
public:
    virtual ~DxfBytes() = default;
    // Copies the next bytes, at most size, into buffer; 0 at the end of the file.
    virtual std::size_t ReadNext(char* buffer, std::size_t size) = 0;
    // The file's last bytes, at most count; fewer only when the file holds fewer.
    virtual std::string ReadTail(std::size_t count) = 0;
};

// Bytes in memory, handed out at most pieceSize at a time.
class DxfMemoryBytes final : public DxfBytes {
public:
    explicit DxfMemoryBytes(std::string_view bytes, std::size_t pieceSize = 64 * 1024);
    std::size_t ReadNext(char* buffer, std::size_t size) override;
    std::string ReadTail(std::size_t count) override;

private:
    std::string_view bytes_;
    std::size_t pieceSize_;
    std::size_t next_ = 0;
};

// No line of a DXF file comes near this length; a longer one means the file is something else.
inline constexpr std::size_t kLongestDxfLine = 1 << 20;

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
