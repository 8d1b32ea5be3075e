#pragma once
// A baseline at work in a run: which findings it accepts, which of its entries no longer occur,
// and the entries a run writes as the new baseline.
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "kvstcheck/baseline/BaselineFile.h"
#include "kvstcheck/baseline/BaselineScope.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {

// How a baseline in folder names the drawing at path (as given, relative to the working folder or
// absolute); UTF-8.
std::string BaselineDrawingName(const std::wstring& path, const std::wstring& folder);

// A finding as a baseline identifies it: drawing (letter case folded), kind, name, rule.
using BaselineKey = std::tuple<std::string, std::string, std::string, std::string>;

class AcceptedFindings {
public:
    explicit AcceptedFindings(const std::vector<BaselineEntry>& entries);

    // Marks as accepted the findings the baseline lists for the drawing, each entry as many times as
    // its count; drawing: as BaselineDrawingName gives it; path: as the run names the drawing.
    void Accept(const std::string& drawing, const std::string& path, std::vector<Finding>& findings);
    // The entries of drawings seen by Accept that were not found again, with the count not found,
    // each drawing named as the run names it.
    std::vector<BaselineEntry> NoLongerFound() const;

private:
    std::map<BaselineKey, std::size_t> left_;
    std::map<BaselineKey, BaselineEntry> entries_;
    std::map<std::string, std::string> seen_;  // drawing folded: its path in the run
};

// The baseline a run writes: every finding of its audited drawings, repeats counted, each with the
// comment the previous file gave it; the previous entries the run did not check (drawings not
// audited, kinds and rules outside its scope) are kept as they were.
class BaselineWriter {
public:
    BaselineWriter(std::wstring folder, const std::vector<BaselineEntry>& previous);

    // What the run checks; until told, it checked nothing and every previous entry stays.
    void Checked(BaselineScope scope) { scope_ = std::move(scope); }
    void Add(const DrawingResult& drawing);
    std::string Bytes() const;
    // How many previous entries Bytes keeps because the run did not check them.
    std::size_t KeptUnchecked() const { return Unchecked().size(); }

private:
    std::vector<BaselineEntry> Unchecked() const;

    std::wstring folder_;
    std::vector<BaselineEntry> previous_;
    std::map<BaselineKey, std::string> comments_;  // of the previous entries
    std::map<BaselineKey, BaselineEntry> entries_;
    std::set<std::string> audited_;  // drawings folded
    BaselineScope scope_;
};

// Told when a baseline is written: how many entries it kept that the run did not check.
std::string KeptUncheckedMessage(const std::wstring& baseline, std::size_t kept);

}  // namespace kvstcheck
