#pragma once
// Reads a drawing file, DXF or JSON by its extension, into the drawing's names; and a drawing file's
// bytes for those that read it piece by piece (the DXF reader, the fix's rewriter).
#include <optional>
#include <string>

#include "com/Handle.h"
#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/readers/DxfReader.h"

namespace kvstcheck {

// Throws InputError: the file cannot be read, its extension is neither .dxf nor .json (any
// letter case), or its content is broken (then the error carries the line).
DrawingContent ReadDrawingFile(const std::wstring& path);

// A drawing file read from its start piece by piece; its tail is read aside, the place kept. Errors
// throw InputError in plain words.
class DrawingFileBytes final : public DxfBytes {
public:
    // Others may read the file meanwhile, not write it.
    explicit DrawingFileBytes(const std::wstring& path);
    // A file open for reading (one this process writes), read from its start.
    explicit DrawingFileBytes(kv::FileHandle file);

    std::size_t ReadNext(char* buffer, std::size_t size) override;
    std::string ReadTail(std::size_t count) override;

private:
    kv::FileHandle file_;
    std::size_t pieces_ = 0;
    std::optional<std::string> wholeFile_;  // a file read whole in its first piece gives its tail from it
};

}  // namespace kvstcheck
