#pragma once
// A DXF file as units: a group 0 pair and the pairs up to the next one, each pair seen as its raw
// bytes (code line and value line with their line ends, comments too), so that a unit can be
// written back byte for byte. Portable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/readers/DxfLines.h"

namespace kvstcheck::fix {

inline constexpr int kCommentCode = 999;

std::string_view TrimBlanks(std::string_view text) noexcept;

struct RawPair {
    int code = 0;
    std::size_t line = 0;        // of the value
    std::string_view raw;        // code line and value line, with their line ends
    std::size_t valueStart = 0;  // in raw
    std::size_t valueSize = 0;   // without the line end

    std::string_view codeLine() const noexcept { return raw.substr(0, valueStart); }
    std::string_view value() const noexcept { return raw.substr(valueStart, valueSize); }
    std::string_view lineEnd() const noexcept { return raw.substr(valueStart + valueSize); }
    std::string_view keyword() const noexcept { return TrimBlanks(value()); }
};

// Where a unit stands in the file; views valid as long as the unit.
struct UnitPlace {
    std::string_view section;  // "" before the first section and between sections
    std::string_view table;    // inside TABLES: the table from its TABLE unit on, "" after ENDTAB
    std::string_view type;     // the unit's group 0 keyword ("" for what precedes the first group 0)
    bool tableHead() const noexcept { return type == "TABLE"; }
    bool tableEntry() const noexcept { return section == "TABLES" && !table.empty() && type != "TABLE" && type != "ENDTAB"; }
};

// A unit's bytes and pairs are views into its reader's buffer, valid until the reader's next unit.
class Unit {
public:
    const std::vector<RawPair>& pairs() const noexcept { return pairs_; }
    std::string_view bytes() const noexcept { return bytes_; }
    const UnitPlace& place() const noexcept { return place_; }
    std::size_t line() const noexcept { return pairs_.empty() ? 0 : pairs_.front().line; }
    // The first value of that code outside extended data, or nullptr.
    const RawPair* Find(int code) const noexcept;
    // The unit's own handle (group 5, or 105 in a DIMSTYLE entry); "" without one.
    std::string_view Handle() const noexcept;

private:
    friend class UnitReader;
    std::string_view bytes_;
    std::vector<RawPair> pairs_;
    UnitPlace place_;
};

// Reads units from the file's blocks without copying them; memory is that of the largest unit.
// Throws InputError (with the line) for what is not an ASCII DXF file; a binary DXF is told by
// binary() first.
class UnitReader {
public:
    explicit UnitReader(DxfBytes& bytes) : lines_(bytes) {}
    // The bytes before the first pair (a UTF-8 byte order mark), to be written back as they are.
    std::string_view Preamble() const noexcept { return lines_.preamble(); }
    bool binary() const noexcept { return lines_.binary(); }
    // False at the end of the file.
    bool Next(Unit& unit);

private:
    // The next pair; false at the end.
    bool ReadPair(RawPair& pair);
    void Place(Unit& unit);

    DxfLineReader lines_;
    // A pair read ahead: the first of the next unit.
    RawPair pending_;
    std::uint64_t pendingStart_ = 0;
    bool hasPending_ = false;
    bool ended_ = false;
    std::string section_, table_;  // where the last unit stood
    bool leaveTable_ = false, leaveSection_ = false;  // after ENDTAB, ENDSEC or EOF
};

}  // namespace kvstcheck::fix
