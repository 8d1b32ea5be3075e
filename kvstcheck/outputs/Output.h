#pragma once
// A format a run writes beside its text, as every part of the run sees it: the option parser offers
// its option, the checks before the audit vet its path, and the run hands it each drawing and, at
// the end, the whole report. A new format is one file of this folder and one line of Registry.cpp.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/OutputFile.h"
#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/model/RunReport.h"

namespace kvstcheck {

// What a format may need beyond the report.
struct OutputSetting {
    std::wstring path;  // as the user gave it
    // The entries of the baseline file this output replaces, read before the audit; empty for none.
    std::vector<BaselineEntry> replacedBaseline{};
};

class Output {
public:
    virtual ~Output() = default;
    // Each drawing as the run takes it: counted, with its hints and the baseline's acceptance.
    virtual void Add(const DrawingResult& drawing) = 0;
    // The file's bytes at the end of the run; nothing when the file is to stay as it was.
    virtual std::optional<std::string> Finish(const RunReport& report) = 0;
    // What the run tells of the file once written, beside its bytes; empty for nothing.
    virtual std::string Notice() const { return {}; }
};

struct OutputFormat {
    const char* option;  // "--csv"
    const char* help;
    const char* what;    // how messages name the file: "the CSV file"
    OutputMark mark;     // how an existing file shows that kvstcheck wrote it, so that it may be replaced
    bool keepsDrawings;  // reads every drawing's result at the end, not only as they come
    std::unique_ptr<Output> (*make)(const OutputSetting& setting);
};

}  // namespace kvstcheck
