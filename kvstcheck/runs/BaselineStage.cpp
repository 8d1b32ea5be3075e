#include "kvstcheck/runs/BaselineStage.h"

#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/runs/RunFiles.h"

namespace kvstcheck {
namespace {

// Far more than the findings of any project.
constexpr std::size_t kLargestBaseline = 256u << 20;

std::vector<BaselineEntry> ReadBaseline(const std::wstring& path) {
    std::string error;
    const auto bytes = ReadSmallFile(path, kLargestBaseline, error);
    if (!bytes) throw BaselineError(error);
    return ParseBaseline(*bytes);
}

}  // namespace

BaselineStage::BaselineStage(const Options& options) {
    const std::wstring written = OutputPath(options, "--write-baseline");
    std::wstring reading;
    try {
        if (!options.baseline.empty()) {
            reading = options.baseline;
            replaced_ = ReadBaseline(options.baseline);
            accepted_.emplace(replaced_);
            acceptedFolder_ = FolderOf(FullPath(options.baseline));
        }
        if (written.empty()) return;
        if (options.baseline.empty() || !SamePath(options.baseline, written)) {
            reading = written;
            replaced_ = KindOfPath(written) == PathKind::Missing ? std::vector<BaselineEntry>() : ReadBaseline(written);
        }
    } catch (const BaselineError& error) {
        error_ = "the baseline " + EncodeUtf8(reading) + " cannot be used: " + error.what();
    }
}

void BaselineStage::Accept(DrawingResult& drawing) {
    if (accepted_ && drawing.error.empty())
        accepted_->Accept(BaselineDrawingName(drawing.path, acceptedFolder_), EncodeUtf8(drawing.path), drawing.findings);
}

std::vector<BaselineEntry> BaselineStage::NoLongerFound() const {
    return accepted_ ? accepted_->NoLongerFound() : std::vector<BaselineEntry>();
}

}  // namespace kvstcheck
