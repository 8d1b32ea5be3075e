#pragma once
// The files a run writes beside its text, in the registry's formats. Every one is checked before
// the audit starts, so that a path that cannot be written stops the run at once, named with all the
// others that cannot; each is handed every drawing as the run takes it, and written at the end.
#include <memory>
#include <string>
#include <vector>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/OutputFile.h"
#include "kvstcheck/outputs/Output.h"

namespace kvstcheck {

class FileOutputs {
public:
    // An output that is one of inputs or another output, or where a file cannot be made, or an
    // existing file that kvstcheck did not write (without --force), is refused.
    FileOutputs(const Options& options, const RunInputs& inputs, const std::vector<BaselineEntry>& replacedBaseline);
    FileOutputs(const FileOutputs&) = delete;
    FileOutputs& operator=(const FileOutputs&) = delete;
    ~FileOutputs();

    // Why outputs cannot be written, one message naming each by the path the user gave; empty when all can.
    const std::string& error() const noexcept { return error_; }
    // Whether an output reads every drawing's result at the end.
    bool KeepsDrawings() const noexcept;
    void Add(const DrawingResult& drawing);
    // Writes every file; false, with error() naming each that failed, when one did.
    bool Finish(const RunReport& report);
    // What the outputs written have to tell beside their bytes, such as the entries a baseline kept.
    std::vector<std::string> Notices() const;

private:
    struct Open {
        RequestedOutput request;
        OutputFile file;
        std::unique_ptr<Output> output;
    };
    std::vector<Open> open_;
    std::string error_;
};

// One message of several refusals, each on a line of its own; the one refusal alone as it is.
std::string JoinRefusals(const std::vector<std::string>& refusals, const char* heading);

}  // namespace kvstcheck
