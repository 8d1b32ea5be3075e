#include "kvstcheck/runs/FileOutputs.h"

#include "kvstcheck/runs/RunFiles.h"

namespace kvstcheck {

std::string JoinRefusals(const std::vector<std::string>& refusals, const char* heading) {
    if (refusals.size() == 1) return refusals.front();
    std::string text = heading;
    for (const std::string& refusal : refusals) text += "\n  " + refusal;
    return text;
}

FileOutputs::FileOutputs(const Options& options, const RunInputs& inputs,
                         const std::vector<BaselineEntry>& replacedBaseline) {
    std::vector<std::string> refusals;
    for (std::size_t i = 0; i < options.outputs.size(); ++i) {
        const RequestedOutput& request = options.outputs[i];
        OutputFile file(request.path, request.format->what, request.format->mark);
        // An existing input is named by what it is to the run; a path no file has yet, by the clash.
        std::string refusal = file.Refusal(inputs, options.force);
        if (refusal.empty()) refusal = OutputClash(options, i);
        if (!refusal.empty()) {
            refusals.push_back(std::move(refusal));
            continue;
        }
        auto output = request.format->make({request.path, replacedBaseline});
        open_.push_back({request, std::move(file), std::move(output)});
    }
    if (!refusals.empty()) {
        open_.clear();
        error_ = JoinRefusals(refusals, "these outputs cannot be written, so no drawing was audited:");
    }
}

FileOutputs::~FileOutputs() = default;

bool FileOutputs::KeepsDrawings() const noexcept {
    for (const Open& open : open_)
        if (open.request.format->keepsDrawings) return true;
    return false;
}

void FileOutputs::Add(const DrawingResult& drawing) {
    for (Open& open : open_) open.output->Add(drawing);
}

bool FileOutputs::Finish(const RunReport& report) {
    std::vector<std::string> failures;
    for (Open& open : open_) {
        const auto bytes = open.output->Finish(report);
        if (!bytes) continue;
        std::string error = open.file.Write(*bytes);
        if (!error.empty()) failures.push_back(std::move(error));
    }
    if (failures.empty()) return true;
    error_ = JoinRefusals(failures, "these outputs could not be written:");
    return false;
}

std::vector<std::string> FileOutputs::Notices() const {
    std::vector<std::string> notices;
    for (const Open& open : open_)
        if (std::string notice = open.output->Notice(); !notice.empty()) notices.push_back(std::move(notice));
    return notices;
}

}  // namespace kvstcheck
