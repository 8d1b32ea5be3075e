// The run's findings as a baseline, the comments of the file it replaces kept.
#include "kvstcheck/Files.h"
#include "kvstcheck/baseline/AcceptedFindings.h"
#include "kvstcheck/outputs/Output.h"

namespace kvstcheck {
namespace {

class BaselineOutput final : public Output {
public:
    explicit BaselineOutput(const OutputSetting& setting)
        : path_(setting.path), writer_(FolderOf(FullPath(setting.path)), setting.replacedBaseline) {}

    void Add(const DrawingResult& drawing) override { writer_.Add(drawing); }
    // A run that could not audit has no findings to accept: the baseline stays as it was.
    std::optional<std::string> Finish(const RunReport& report) override {
        if (!report.setupError.empty()) return std::nullopt;
        writer_.Checked({report.checkedKinds, report.checkedRules});
        keptUnchecked_ = writer_.KeptUnchecked();
        return writer_.Bytes();
    }
    std::string Notice() const override {
        return keptUnchecked_ > 0 ? KeptUncheckedMessage(path_, keptUnchecked_) : std::string();
    }

private:
    std::wstring path_;
    BaselineWriter writer_;
    std::size_t keptUnchecked_ = 0;
};

bool IsKvstcheckBaseline(std::string_view head) {
    return head.find("\"generator\": \"kvstcheck baseline\"") != std::string_view::npos;
}

}  // namespace

extern const OutputFormat kBaselineFormat = {
    "--write-baseline", "Write the run's findings as a baseline to this file (comments of an existing one are kept)",
    "the baseline", IsKvstcheckBaseline, false,
    [](const OutputSetting& setting) -> std::unique_ptr<Output> { return std::make_unique<BaselineOutput>(setting); }};

}  // namespace kvstcheck
