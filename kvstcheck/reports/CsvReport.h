#pragma once
// A run's findings as CSV for a spreadsheet: one row per finding, a row per drawing not audited,
// a row per accepted finding no longer found. UTF-8 with a byte order mark, so that spreadsheets
// read it as UTF-8; quoted as RFC 4180 has it, lines ended CR LF.
#include <string>
#include <string_view>

#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

// The byte order mark and the header row.
std::string CsvStart();
// The drawing's rows: its findings (result "finding" or "accepted"), or one row "not audited" with
// its reason; none for a drawing audited without findings.
std::string CsvRows(const DrawingResult& drawing);
// One row "no longer found" per such accepted finding of the baseline.
std::string CsvEnd(const RunReport& report);

// One cell: a text a spreadsheet would take for a formula (starting with =, +, -, @, TAB or CR)
// gets a leading "'"; a cell holding ", """, CR or LF is quoted with its quotes doubled.
std::string CsvCell(std::string_view utf8);

}  // namespace kvstcheck
