// The registry of output formats: what the option parser, the checks and the writing iterate.
#include "kvstcheck/outputs/Registry.h"

#include <gtest/gtest.h>

#include <set>

#include "kvstcheck/CommandLine.h"
#include "tests/kvstcheck/RunModelMaking.h"

namespace {

// Each format's file, as written for a run, carries the mark by which a later run may replace it;
// a file someone else wrote does not.
TEST(OutputRegistry, EveryFormatKnowsItsOwnFileAndNoOther) {
    std::set<std::string> options;
    const auto report = kvtest::RunOf({{L"a.dxf", 3, {kvtest::F(L"\u56FE\u5C42", L"X")}, {}, {}}});
    for (const kvstcheck::OutputFormat* format : kvstcheck::OutputFormats()) {
        SCOPED_TRACE(format->option);
        EXPECT_TRUE(std::string_view(format->option).starts_with("--"));
        EXPECT_TRUE(options.insert(format->option).second) << "two formats on one option";
        EXPECT_EQ(kvstcheck::FormatOfOption(format->option), format);
        const auto output = format->make({L"out", {}});
        for (const kvstcheck::DrawingResult& drawing : report.drawings) output->Add(drawing);
        const auto bytes = output->Finish(report);
        ASSERT_TRUE(bytes);
        EXPECT_TRUE(format->mark(std::string_view(*bytes).substr(0, 4096)));
        EXPECT_FALSE(format->mark("<html>the minutes of a meeting</html>"));
    }
    EXPECT_EQ(kvstcheck::FormatOfOption("--json"), nullptr);
}

TEST(OutputRegistry, TheParserOffersEveryFormatAndKeepsTheirOrder) {
    const auto parsed = kvstcheck::ParseCommandLine(
        {"kvstcheck", "a.dxf", "--sarif", "r.sarif", "--csv", "r.csv", "--html", "r.html"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    std::vector<std::string> asked;
    for (const kvstcheck::RequestedOutput& output : parsed.options->outputs) asked.push_back(output.format->option);
    EXPECT_EQ(asked, (std::vector<std::string>{"--html", "--csv", "--sarif"}));
    EXPECT_EQ(kvstcheck::OutputPath(*parsed.options, "--sarif"), L"r.sarif");
}

}  // namespace
