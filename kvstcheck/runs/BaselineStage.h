#pragma once
// The baseline at work in a run, a stage before the outputs: read before the audit, it marks each
// drawing's accepted findings (with their comments) before any output sees the drawing, and at the
// end says which of its entries no longer occur.
#include <optional>
#include <string>
#include <vector>

#include "kvstcheck/CommandLine.h"
#include "kvstcheck/baseline/AcceptedFindings.h"

namespace kvstcheck {

class BaselineStage {
public:
    // Reads the baseline to apply and the one --write-baseline replaces; on failure error() says why.
    explicit BaselineStage(const Options& options);

    const std::string& error() const noexcept { return error_; }
    // The entries of the file that --write-baseline replaces, whose comments the new one keeps.
    const std::vector<BaselineEntry>& replaced() const noexcept { return replaced_; }
    void Accept(DrawingResult& drawing);
    std::vector<BaselineEntry> NoLongerFound() const;

private:
    std::string error_;
    std::optional<AcceptedFindings> accepted_;
    std::wstring acceptedFolder_;
    std::vector<BaselineEntry> replaced_;
};

}  // namespace kvstcheck
