// JUnit XML for a CI job: the cases kept as the drawings come.
#include "kvstcheck/outputs/Output.h"
#include "kvstcheck/reports/JunitReport.h"

namespace kvstcheck {
namespace {

class JunitOutput final : public Output {
public:
    void Add(const DrawingResult& drawing) override { report_.Add(drawing); }
    std::optional<std::string> Finish(const RunReport& report) override { return report_.Document(report); }

private:
    JunitReport report_;
};

bool IsKvstcheckJunit(std::string_view head) { return head.find("<testsuites name=\"kvstcheck\"") != std::string_view::npos; }

}  // namespace

extern const OutputFormat kJunitFormat = {
    "--junit", "Also write the run as JUnit XML, one test case per drawing, to this file", "the JUnit file",
    IsKvstcheckJunit, false, [](const OutputSetting&) -> std::unique_ptr<Output> { return std::make_unique<JunitOutput>(); }};

}  // namespace kvstcheck
