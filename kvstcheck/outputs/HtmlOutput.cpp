// The HTML page: written from the whole report at the end, so it keeps every drawing.
#include "kvstcheck/outputs/Output.h"
#include "kvstcheck/reports/HtmlReport.h"

namespace kvstcheck {
namespace {

class HtmlOutput final : public Output {
public:
    void Add(const DrawingResult&) override {}
    std::optional<std::string> Finish(const RunReport& report) override { return FormatHtml(report); }
};

}  // namespace

extern const OutputFormat kHtmlFormat = {
    "--html", "Also write the report as one self-contained HTML page to this file", "the HTML report",
    IsKvstcheckHtml, true, [](const OutputSetting&) -> std::unique_ptr<Output> { return std::make_unique<HtmlOutput>(); }};

}  // namespace kvstcheck
