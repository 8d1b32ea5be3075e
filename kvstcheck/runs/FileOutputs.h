#pragma once
// What a run reads and writes beside its drawings: the baseline of accepted findings, and the
// CSV, JUnit and baseline files. Everything is read, and every output opened, before the audit
// starts, so that a bad baseline or a path that cannot be written stops the run at once.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/OutputFile.h"
#include "kvstcheck/baseline/AcceptedFindings.h"
#include "kvstcheck/reports/JunitReport.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

class FileOutputs {
public:
    // On failure, error() says why, in UTF-8, naming the file. An output that is one of inputs, or an
    // existing file that kvstcheck did not write (without --force), is refused.
    FileOutputs(const Options& options, const RunInputs& inputs);
    FileOutputs(const FileOutputs&) = delete;
    FileOutputs& operator=(const FileOutputs&) = delete;
    ~FileOutputs();

    const std::string& error() const noexcept { return error_; }
    // Marks the drawing's accepted findings, then adds the drawing to every file.
    void Add(DrawingResult& drawing);
    // What the run checks, so that the baseline written keeps the entries it did not.
    void Checked(BaselineScope scope) {
        if (writer_) writer_->Checked(std::move(scope));
    }
    // How many entries of the previous baseline the one written keeps unchecked; 0 when none is written.
    std::size_t BaselineKeptUnchecked() const { return writer_ && baseline_ ? writer_->KeptUnchecked() : 0; }
    // Sets report.noLongerFound, writes every file; false, with error() set, when one failed.
    bool Finish(RunReport& report);

private:
    struct Output;
    void Open(std::unique_ptr<Output>& output, const std::wstring& path, const char* what, OutputMark mark,
              const RunInputs& inputs, bool force);
    bool Write(Output& output, const std::string& bytes);
    void ReadBaselines(const Options& options);

    std::string error_;
    std::optional<AcceptedFindings> accepted_;
    std::wstring acceptedFolder_;
    std::optional<BaselineWriter> writer_;
    std::unique_ptr<Output> csv_;
    std::string csvBytes_;
    std::unique_ptr<Output> junit_;
    JunitReport junitReport_;
    std::unique_ptr<Output> baseline_;
};

}  // namespace kvstcheck
