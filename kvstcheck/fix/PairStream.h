#pragma once
// A DXF file as units: a group 0 pair and the pairs up to the next one, each pair kept as its raw
// bytes (code line and value line with their line ends, comments too), so that a unit can be
// written back byte for byte. Portable.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/readers/DxfReader.h"

namespace kvstcheck::fix {

inline constexpr int kCommentCode = 999;

std::string_view TrimBlanks(std::string_view text) noexcept;
// A group code or number as DXF writes it: blanks around it, an optional sign.
bool ParseDxfInt(std::string_view text, long long& value) noexcept;

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

// Where a unit stands in the file.
struct UnitPlace {
    std::string section;  // "" before the first section and between sections
    std::string table;    // inside TABLES: the table from its TABLE unit on, "" after ENDTAB
    std::string type;     // the unit's group 0 keyword ("" for what precedes the first group 0)
    bool tableHead() const noexcept { return type == "TABLE"; }
    bool tableEntry() const noexcept { return section == "TABLES" && !table.empty() && type != "TABLE" && type != "ENDTAB"; }
};

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
    std::string bytes_;
    std::vector<RawPair> pairs_;
    UnitPlace place_;
};

// Reads units piece by piece; memory is that of the largest unit. Throws InputError (with the
// line) for what is not an ASCII DXF file; a binary DXF is told by IsBinaryDxf first.
class UnitReader {
public:
    explicit UnitReader(DxfBytes& bytes);
    // The bytes before the first pair (a UTF-8 byte order mark), to be written back as they are.
    std::string_view Preamble() const noexcept { return preamble_; }
    bool binary() const noexcept { return binary_; }
    // False at the end of the file.
    bool Next(Unit& unit);

private:
    bool NextLine(std::string_view& line);  // with its line end
    bool Fill();
    // Appends the next pair's bytes to into; pair.raw is left empty (into may move). False at the end.
    bool ReadPair(std::string& into, RawPair& pair);
    void Place(Unit& unit);

    DxfBytes& bytes_;
    std::string buffer_;
    std::size_t start_ = 0, end_ = 0;
    bool atEnd_ = false;
    bool binary_ = false;
    std::string preamble_;
    std::size_t line_ = 0;
    std::vector<std::size_t> starts_;  // of the unit's pairs in its bytes
    // A pair read ahead: the first of the next unit.
    std::string pending_;
    RawPair pendingPair_;
    bool hasPending_ = false;
    UnitPlace place_;
};

}  // namespace kvstcheck::fix
