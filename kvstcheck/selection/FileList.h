#pragma once
// A list of drawings to audit, one path per line, as a script or another program writes it.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kvstcheck {

// Why a list cannot be read, with the line to blame where there is one; UTF-8.
class FileListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The paths of the list, in UTF-8, in its order. The bytes are UTF-8 (with or without a byte
// order mark) or UTF-16 LE or BE with a byte order mark; lines end in LF or CR LF (CRs before the
// LF are dropped), the last may end without one; empty lines are skipped, every other line is one path as written.
// Throws FileListError for text that is not in one of those encodings or a line that holds a NUL.
std::vector<std::string> ParseFileList(std::string_view bytes);

}  // namespace kvstcheck

namespace kvstcheck {

// Reads the list from a file, or from the standard input when source is "-"; the paths as wide
// text. Throws FileListError, naming no file (the caller names the source).
std::vector<std::wstring> ReadFileList(const std::wstring& source);

}  // namespace kvstcheck
