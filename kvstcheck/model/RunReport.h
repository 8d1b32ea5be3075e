#pragma once
// What one run found: each drawing's result and the run's counts, every count taken once as the
// drawing is added, so that every output tells the same numbers. Outputs only read it.
#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/model/Finding.h"
#include "kvstcheck/reports/RunFacts.h"

namespace kvstcheck {

// Findings the baseline does not accept (open) and those it does.
struct OpenAndAccepted {
    std::size_t open = 0;
    std::size_t accepted = 0;

    std::size_t total() const noexcept { return open + accepted; }
    bool operator==(const OpenAndAccepted&) const = default;
};

struct FindingCounts {
    OpenAndAccepted all{};
    std::array<OpenAndAccepted, vocabulary::kKindCount> byKind{};
    std::map<std::wstring, OpenAndAccepted> byOtherLabel{};  // kinds of another plug-in's labels
    std::map<std::string, OpenAndAccepted> byRule{};         // rules files' findings by rule id

    void Add(const Finding& finding);
};

struct DrawingResult {
    std::wstring path;  // as the user gave it, or below a folder the user gave
    std::size_t names = 0;
    std::vector<Finding> findings;
    std::string error;                  // UTF-8; empty when the drawing was audited
    std::vector<std::string> warnings;  // UTF-8; what the reader doubts about a file it read
    FindingCounts counts{};             // set when the run adds the drawing
};

enum ExitStatus : int { kNoFindings = 0, kFindings = 1, kBroken = 2 };

struct RunCounts {
    std::size_t drawings = 0;
    std::size_t findings = 0;  // those the baseline does not accept
    std::size_t accepted = 0;
    std::size_t notAudited = 0;
    std::size_t names = 0;  // of the drawings audited
    FindingCounts byKind{};
};

// A name found in the run's kept drawings: one row of a table by name.
struct NameTally {
    Finding first;                     // the first finding of it, whose explanation a table shows
    std::size_t openDrawings = 0;      // drawings where it is open
    std::size_t acceptedDrawings = 0;  // drawings where the baseline accepts every one of it
};

class RunReport {
public:
    std::vector<DrawingResult> drawings;  // kept for the outputs written at the end of the run
    std::string setupError;    // UTF-8; empty when the plug-in and its standard file were ready
    std::wstring standardFile;  // the standard file audited against; empty when not known
    std::string outputError;    // UTF-8; empty when every output asked for was written
    // Accepted findings of the baseline that drawings of this run no longer have, each drawing named
    // as the run names it; count: how many of the entry's repeats are gone.
    std::vector<BaselineEntry> noLongerFound{};
    Language language = Language::English;  // of the kinds' names in outputs for people
    RunFacts facts{};
    std::optional<std::size_t> standardProblems{};  // lines lint doubts in a standard file that loads
    bool interrupted = false;   // stopped by the user before every drawing was audited
    // What the run could find again: the kind keys the plug-in checked (none when it audited nothing)
    // and the rule ids of its rules files. A baseline written keeps the entries outside them.
    std::set<std::string> checkedKinds{};
    std::set<std::string> checkedRules{};

    // Counts the result, and keeps it when asked, so that a long run's memory does not grow with it.
    // The result as counted: the kept one, or the last one let go (valid until the next Add).
    const DrawingResult& Add(DrawingResult result, bool keep = true);
    const RunCounts& Counts() const noexcept { return counts_; }
    // The names found in the kept drawings, in the order first found.
    const std::vector<NameTally>& ByName() const noexcept { return byName_; }
    ExitStatus Status() const;

private:
    void TallyNames(const DrawingResult& drawing);

    RunCounts counts_{};
    std::vector<NameTally> byName_;
    std::map<std::tuple<std::wstring, std::wstring, std::string>, std::size_t> nameRow_;
    DrawingResult last_{};
};

// How many findings the exit status counts: those the baseline does not accept.
std::size_t NewFindingCount(const DrawingResult& drawing);

}  // namespace kvstcheck
