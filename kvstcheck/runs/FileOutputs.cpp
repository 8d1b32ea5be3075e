#include "kvstcheck/runs/FileOutputs.h"


#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/reports/CsvReport.h"
#include "kvstcheck/runs/RunFiles.h"

namespace kvstcheck {
namespace {

// Far more than the findings of any project.
constexpr std::size_t kLargestBaseline = 256u << 20;

std::wstring FolderOfFile(const std::wstring& path) { return FolderOf(FullPath(path)); }

// The marks by which an existing file shows that kvstcheck wrote it, so that it may be replaced.
bool IsKvstcheckCsv(std::string_view head) { return head.starts_with("\xEF\xBB\xBF" "drawing,result,kind key,"); }
bool IsKvstcheckJunit(std::string_view head) { return head.find("<testsuites name=\"kvstcheck\"") != std::string_view::npos; }
bool IsKvstcheckBaseline(std::string_view head) {
    return head.find("\"generator\": \"kvstcheck baseline\"") != std::string_view::npos;
}

std::vector<BaselineEntry> ReadBaseline(const std::wstring& path) {
    std::string error;
    const auto bytes = ReadSmallFile(path, kLargestBaseline, error);
    if (!bytes) throw BaselineError(error);
    return ParseBaseline(*bytes);
}

}  // namespace

struct FileOutputs::Output {
    OutputFile file;
};

FileOutputs::FileOutputs(const Options& options, const RunInputs& inputs) {
    ReadBaselines(options);
    Open(csv_, options.csv, "the CSV file", IsKvstcheckCsv, inputs, options.force);
    Open(junit_, options.junit, "the JUnit file", IsKvstcheckJunit, inputs, options.force);
    // A baseline that is not kvstcheck's has already stopped the run.
    Open(baseline_, options.writeBaseline, "the baseline", IsKvstcheckBaseline, inputs, options.force);
    if (csv_) csvBytes_ = CsvStart();
}

FileOutputs::~FileOutputs() = default;

// The baseline to apply, and the comments of the one to rewrite, both read before any file is opened.
void FileOutputs::ReadBaselines(const Options& options) {
    std::wstring reading;
    try {
        std::vector<BaselineEntry> previous;
        if (!options.baseline.empty()) {
            reading = options.baseline;
            previous = ReadBaseline(options.baseline);
            accepted_.emplace(previous);
            acceptedFolder_ = FolderOfFile(options.baseline);
        }
        if (options.writeBaseline.empty()) return;
        const bool same = !options.baseline.empty() && SamePath(options.baseline, options.writeBaseline);
        if (!same) {
            reading = options.writeBaseline;
            previous = KindOfPath(options.writeBaseline) == PathKind::Missing ? std::vector<BaselineEntry>()
                                                                               : ReadBaseline(options.writeBaseline);
        }
        writer_.emplace(FolderOfFile(options.writeBaseline), previous);
    } catch (const BaselineError& error) {
        error_ = "the baseline " + EncodeUtf8(reading) + " cannot be used: " + error.what();
    }
}

void FileOutputs::Open(std::unique_ptr<Output>& output, const std::wstring& path, const char* what, OutputMark mark,
                       const RunInputs& inputs, bool force) {
    if (path.empty() || !error_.empty()) return;
    output.reset(new Output{OutputFile(path, what, mark)});
    error_ = output->file.Refusal(inputs, force);
}

void FileOutputs::Add(DrawingResult& drawing) {
    if (accepted_ && drawing.error.empty())
        accepted_->Accept(BaselineDrawingName(drawing.path, acceptedFolder_), EncodeUtf8(drawing.path), drawing.findings);
    if (csv_) csvBytes_ += CsvRows(drawing);
    if (junit_) junitReport_.Add(drawing);
    if (writer_ && baseline_) writer_->Add(drawing);
}

bool FileOutputs::Write(Output& output, const std::string& bytes) {
    const std::string error = output.file.Write(bytes);
    if (error.empty()) return true;
    error_ = error;
    return false;
}

bool FileOutputs::Finish(RunReport& report) {
    if (accepted_) report.noLongerFound = accepted_->NoLongerFound();
    bool written = true;
    if (csv_) written = Write(*csv_, csvBytes_ + CsvEnd(report)) && written;
    if (junit_) written = Write(*junit_, junitReport_.Document(report)) && written;
    // A run that could not audit has no findings to accept: the baseline stays as it was.
    if (baseline_ && report.setupError.empty()) written = Write(*baseline_, writer_->Bytes()) && written;
    return written;
}

}  // namespace kvstcheck
