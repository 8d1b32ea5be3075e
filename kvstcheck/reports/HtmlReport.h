#pragma once
// A run's report as one self-contained HTML page for people who do not read command lines: the
// standard file, the totals, a table per drawing with its findings per kind, every finding. It needs
// nothing from the network and no script: filtering by kind and by drawing is done by the page's
// own style rules on its check boxes and radio buttons, and a printout shows what the page shows.
#include <string>

#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

// UTF-8. Every text of the run (paths, names, kinds, messages) is escaped: it cannot become markup.
std::string FormatHtml(const RunReport& report);

// The text with &, <, >, " and ' written as character references; control characters, which a
// page cannot show, as their visible pictures (U+2400 and on).
std::string EscapeHtml(std::string_view utf8);

}  // namespace kvstcheck
