#pragma once
// The run's model as the text and JSON outputs show it: lines for people, one JSON document for
// programs. The model itself is kvstcheck/model/.
#include <string>

#include "kvstcheck/model/RunReport.h"

namespace kvstcheck {

inline constexpr int kAuditSchemaVersion = 1;

// One line per finding (the kind named in language), the accepted ones after the others, then the
// drawing's summary; nothing for a drawing that was not audited. colour: with the terminal's colour
// sequences.
std::string FormatDrawing(const DrawingResult& drawing, Language language = Language::English, bool colour = false);
// The closing line of a run over several drawings.
std::string FormatTotals(const RunReport& report, bool colour = false);
// One line per accepted finding that the run no longer finds; nothing when there are none.
std::string FormatNoLongerFound(const RunReport& report);
std::string FormatJson(const RunReport& report);

// What the hints say: "the standard has "A-DOOR": only the letter case differs",
// "nearest allowed names: "A-WALL", "A-WALLS""; empty without hints.
std::string DescribeHints(const NameHints& hints);
// The finding as the text report words it, without its drawing: "layer "A-WALL-OLD" (hints)", or a
// rule's "[layers.pattern] message".
std::string DescribeFinding(const Finding& finding, Language language = Language::English);

}  // namespace kvstcheck
