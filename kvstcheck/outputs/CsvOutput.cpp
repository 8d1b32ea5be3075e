// CSV for a spreadsheet: rows kept as the drawings come, so the report need not keep them.
#include "kvstcheck/outputs/Output.h"
#include "kvstcheck/reports/CsvReport.h"

namespace kvstcheck {
namespace {

class CsvOutput final : public Output {
public:
    void Add(const DrawingResult& drawing) override { bytes_ += CsvRows(drawing); }
    std::optional<std::string> Finish(const RunReport& report) override { return bytes_ + CsvEnd(report); }

private:
    std::string bytes_ = CsvStart();
};

bool IsKvstcheckCsv(std::string_view head) { return head.starts_with("\xEF\xBB\xBF" "drawing,result,kind key,"); }

}  // namespace

extern const OutputFormat kCsvFormat = {
    "--csv", "Also write the findings as CSV (UTF-8), one row per finding, to this file", "the CSV file",
    IsKvstcheckCsv, false, [](const OutputSetting&) -> std::unique_ptr<Output> { return std::make_unique<CsvOutput>(); }};

}  // namespace kvstcheck
