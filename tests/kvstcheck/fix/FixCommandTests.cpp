#include "kvstcheck/fix/FixOptions.h"

#include <gtest/gtest.h>

namespace {

using namespace kvstcheck::fix;

std::vector<std::string> Command(std::vector<std::string> rest) {
    rest.insert(rest.begin(), {"kvstcheck.exe", "fix"});
    return rest;
}

struct UsageCase {
    const char* label;
    std::vector<std::string> arguments;
    std::string error;  // a part of the usage error
};

class FixUsageTest : public testing::TestWithParam<UsageCase> {};

TEST_P(FixUsageTest, RefusesBeforeAnyDrawingIsRead) {
    const ParsedFixCommand parsed = ParseFixCommand(Command(GetParam().arguments));
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exitStatus, 2);
    EXPECT_NE(parsed.error.find(GetParam().error), std::string::npos) << parsed.error;
    EXPECT_NE(parsed.error.find("kvstcheck fix --help"), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixUsageTest,
    testing::Values(UsageCase{"NoStandard", {"a.dxf"}, "--standard is required"},
                    UsageCase{"NoDrawings", {"--standard", "s.ini"}, "drawings (or --plan)"},
                    UsageCase{"PlanAndDrawings", {"--standard", "s.ini", "--plan", "p.json", "a.dxf"}, "give --plan alone"},
                    UsageCase{"PlanAndWritePlan", {"--standard", "s.ini", "--plan", "p.json", "--write-plan", "q.json"}, "excludes"},
                    UsageCase{"OutputAndInPlace", {"--standard", "s.ini", "--in-place", "--output", "d", "a.dxf"}, "excludes"},
                    UsageCase{"BackupDirAlone", {"--standard", "s.ini", "--backup-dir", "b", "a.dxf"}, "requires --in-place"},
                    UsageCase{"UnknownOption", {"--standard", "s.ini", "--dry", "a.dxf"}, "--dry"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return info.param.label; });

TEST(FixCommandLineTest, ReadsEveryOption) {
    const ParsedFixCommand parsed = ParseFixCommand(
        Command({"--standard", "s.ini", "--rules", "a.toml", "--rules", "b.toml", "--map", "m.csv", "--in-place",
                 "--backup-dir", "bak", "--write-plan", "p.json", "--csv", "p.csv", "--json", "--force", "墙.dxf", "dir"}));
    ASSERT_TRUE(parsed.options) << parsed.error;
    const FixOptions& options = *parsed.options;
    EXPECT_EQ(options.standard, L"s.ini");
    EXPECT_EQ(options.rules, (std::vector<std::wstring>{L"a.toml", L"b.toml"}));
    EXPECT_EQ(options.maps, std::vector<std::wstring>{L"m.csv"});
    EXPECT_EQ(options.drawings, (std::vector<std::wstring>{L"墙.dxf", L"dir"}));
    EXPECT_EQ(options.backupDir, L"bak");
    EXPECT_EQ(options.writePlan, L"p.json");
    EXPECT_EQ(options.csv, L"p.csv");
    EXPECT_TRUE(options.inPlace && options.json && options.force && options.Writes());
}

TEST(FixCommandLineTest, ADryRunWritesNoDrawing) {
    const ParsedFixCommand parsed = ParseFixCommand(Command({"--standard", "s.ini", "--plan", "p.json"}));
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_FALSE(parsed.options->Writes());
    EXPECT_EQ(parsed.options->plan, L"p.json");
}

TEST(FixCommandLineTest, HelpGoesToTheStandardOutput) {
    const ParsedFixCommand parsed = ParseFixCommand(Command({"--help"}));
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exitStatus, 0);
    EXPECT_NE(parsed.output.find("--in-place"), std::string::npos);
    EXPECT_TRUE(parsed.error.empty());
}

TEST(FixCommandLineTest, OnlyTheWordFixChoosesTheCommand) {
    EXPECT_TRUE(IsFixCommand({"kvstcheck.exe", "fix", "a.dxf"}));
    EXPECT_FALSE(IsFixCommand({"kvstcheck.exe", "fix.dxf"}));
    EXPECT_FALSE(IsFixCommand({"kvstcheck.exe", "a.dxf", "fix"}));
    EXPECT_FALSE(IsFixCommand({"kvstcheck.exe"}));
}

}  // namespace
