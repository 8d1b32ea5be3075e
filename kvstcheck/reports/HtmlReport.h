#pragma once
// A run's report as one self-contained HTML page for people who do not read command lines, fit to be
// forwarded: when and with what it was made (tool and plug-in versions, the standard file's path,
// size and SHA-256), the totals, the findings by name across drawings (most widespread first), a
// table of the drawings linking to their sections, and for each drawing its findings. It needs
// nothing from the network and no script: filtering by kind and "only drawings with findings" are
// the page's own style rules on its check boxes, and a printout shows what the page shows.
#include <string>

#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

// UTF-8. Every text of the run (paths, names, kinds, messages) is escaped: it cannot become markup.
std::string FormatHtml(const RunReport& report);

// The text with &, <, >, " and ' written as character references; control characters, which a
// page cannot show, as their visible pictures (U+2400 and on).
std::string EscapeHtml(std::string_view utf8);

}  // namespace kvstcheck
