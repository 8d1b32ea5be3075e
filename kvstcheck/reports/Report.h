#pragma once
// What one run found, and how it is shown: lines for people, one JSON document for programs.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/reports/KindLabels.h"
#include "kvstcheck/reports/RunFacts.h"

namespace kvstcheck {

// Allowed names of the finding's kind that its author may have meant, read from the standard file.
// They only explain a finding: which names are findings is the plug-in's answer alone.
struct NameHints {
    std::vector<std::wstring> names;  // nearest first, at most three; empty when none is close
    bool letterCase = false;          // names holds the one allowed name equal but for letter case
    // UTF-8: what sets the name apart from the one allowed name in names that it looks like; empty else.
    std::vector<std::string> differences{};

    bool operator==(const NameHints&) const = default;
};

struct Finding {
    std::wstring kind;  // the kind label as the plug-in gives it; for a rule's finding "layer", ...
    std::wstring name;
    NameHints hints{};
    std::string rule{};     // a rules file's finding: its rule id ("layers.pattern"); empty for the plug-in's
    std::string message{};  // UTF-8; a rule's finding in words
    bool accepted = false;  // the baseline lists it: shown apart, and the exit status leaves it out
};

struct DrawingResult {
    std::wstring path;  // as the user gave it, or below a folder the user gave
    std::size_t names = 0;
    std::vector<Finding> findings;
    std::string error;                  // UTF-8; empty when the drawing was audited
    std::vector<std::string> warnings;  // UTF-8; what the reader doubts about a file it read
};

enum ExitStatus : int { kNoFindings = 0, kFindings = 1, kBroken = 2 };

// What remains of drawings whose results were printed and let go.
struct RunCounts {
    std::size_t drawings = 0;
    std::size_t findings = 0;  // those the baseline does not accept
    std::size_t accepted = 0;
    std::size_t notAudited = 0;
};

struct RunReport {
    std::vector<DrawingResult> drawings;  // kept for the reports written at the end of the run
    std::string setupError;    // UTF-8; empty when the plug-in and its standard file were ready
    std::wstring standardFile;  // the standard file audited against; empty when not known
    std::string outputError;    // UTF-8; empty when every report asked for was written
    // Accepted findings of the baseline that drawings of this run no longer have, each drawing named
    // as the run names it; count: how many of the entry's repeats are gone.
    std::vector<BaselineEntry> noLongerFound{};
    Language language = Language::English;  // of the kinds' names in reports for people
    RunFacts facts{};
    std::optional<std::size_t> standardProblems{};  // lines lint doubts in a standard file that loads
    RunCounts letGo{};          // the drawings not kept in drawings
    bool interrupted = false;   // stopped by the user before every drawing was audited

    // Keeps the result, or only counts it, so that a long run's memory does not grow with it.
    void Add(DrawingResult result, bool keep);
    // The whole run's counts: the drawings kept and those let go.
    RunCounts Counts() const;
    ExitStatus Status() const;
};

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
// How many findings the exit status counts: those the baseline does not accept.
std::size_t NewFindingCount(const DrawingResult& drawing);

}  // namespace kvstcheck
