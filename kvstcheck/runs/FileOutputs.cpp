#include "kvstcheck/runs/FileOutputs.h"

#include <windows.h>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/reports/CsvReport.h"
#include "kvstcheck/runs/RunFiles.h"

namespace kvstcheck {
namespace {

// Far more than the findings of any project.
constexpr std::size_t kLargestBaseline = 256u << 20;

std::wstring FolderOf(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    return full.substr(0, full.find_last_of(L"\\/"));
}

std::vector<BaselineEntry> ReadBaseline(const std::wstring& path) {
    std::string error;
    const auto bytes = ReadSmallFile(path, kLargestBaseline, error);
    if (!bytes) throw BaselineError(error);
    return ParseBaseline(*bytes);
}

}  // namespace

// An output is created at the start when it does not exist yet, and an existing one only tried for
// writing then: it is replaced at the end, so that a run that breaks leaves it as it was.
struct FileOutputs::Output {
    std::wstring path;
    const char* what;
    std::optional<OutputFile> file;

    std::string Check() {
        if (KindOfPath(path) == PathKind::Missing) {
            file.emplace(path);
            return file->error();
        }
        if (KindOfPath(path) == PathKind::Folder) return "this is a folder, not a file";
        const kv::FileHandle tried(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return tried ? std::string() : SystemMessage(::GetLastError());
    }
};

FileOutputs::FileOutputs(const Options& options) {
    ReadBaselines(options);
    if (!error_.empty()) return;
    Open(csv_, options.csv, "the CSV file");
    Open(junit_, options.junit, "the JUnit file");
    Open(baseline_, options.writeBaseline, "the baseline");
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
            acceptedFolder_ = FolderOf(options.baseline);
        }
        if (options.writeBaseline.empty()) return;
        const bool same = !options.baseline.empty() && SamePath(options.baseline, options.writeBaseline);
        if (!same) {
            reading = options.writeBaseline;
            previous = KindOfPath(options.writeBaseline) == PathKind::Missing ? std::vector<BaselineEntry>()
                                                                               : ReadBaseline(options.writeBaseline);
        }
        writer_.emplace(FolderOf(options.writeBaseline), previous);
    } catch (const BaselineError& error) {
        error_ = "the baseline " + EncodeUtf8(reading) + " cannot be used: " + error.what();
    }
}

void FileOutputs::Open(std::unique_ptr<Output>& output, const std::wstring& path, const char* what) {
    if (path.empty() || !error_.empty()) return;
    output.reset(new Output{path, what, std::nullopt});
    if (const std::string problem = output->Check(); !problem.empty())
        error_ = std::string("cannot write ") + what + " " + EncodeUtf8(path) + ": " + problem;
}

void FileOutputs::Add(DrawingResult& drawing) {
    if (accepted_ && drawing.error.empty())
        accepted_->Accept(BaselineDrawingName(drawing.path, acceptedFolder_), EncodeUtf8(drawing.path), drawing.findings);
    if (csv_) csvBytes_ += CsvRows(drawing);
    if (junit_) junitReport_.Add(drawing);
    if (writer_ && baseline_) writer_->Add(drawing);
}

bool FileOutputs::Write(Output& output, const std::string& bytes) {
    if (!output.file) output.file.emplace(output.path);
    if (output.file->Write(bytes)) return true;
    error_ = std::string("cannot write ") + output.what + " " + EncodeUtf8(output.path) + ": " + output.file->error();
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
