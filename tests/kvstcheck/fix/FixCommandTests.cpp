#include "kvstcheck/fix/FixOptions.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Interrupts.h"
#include "kvstcheck/fix/FixFiles.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Sha256.h"
#include "support/TempFolder.h"

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

}  // namespace

namespace {

// A drawing another program holds open for writing is named so, in plain words, before any byte is read.
TEST(FixFilesTest, ADrawingHeldOpenIsNamedInPlainWords) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"held.dxf";
    kvtest::WriteFileBytes(drawing, "0\nEOF\n");
    const kv::FileHandle held(::CreateFileW(drawing.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    try {
        kvstcheck::fix::DrawingBytes bytes(drawing);
        ADD_FAILURE() << "opened a drawing another program holds";
    } catch (const kvstcheck::InputError& error) {
        EXPECT_NE(std::string(error.what()).find("another program has it open"), std::string::npos) << error.what();
    }
}

TEST(FixFilesTest, TheHashCoversTheWholeFileWhateverWasRead) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"a.dxf";
    const std::string bytes(200000, 'x');
    kvtest::WriteFileBytes(drawing, bytes);
    kvstcheck::fix::DrawingBytes file(drawing);
    char piece[10];
    ASSERT_EQ(file.ReadNext(piece, sizeof piece), sizeof piece);
    EXPECT_EQ(file.ReadTail(5), "xxxxx");
    EXPECT_EQ(file.FinishHash(), kvstcheck::Sha256Hex(bytes));
}

TEST(FixFilesTest, ATemporaryDrawingGoesUnlessMovedIntoPlace) {
    const kvtest::TempFolder folder;
    const kvstcheck::InterruptsStopRun interrupts;
    const std::wstring destination = folder / L"out.dxf";
    std::wstring left;
    {
        PendingFile temporary = TemporaryDrawingFor(destination, interrupts);
        temporary.Write("0\nEOF\n");
        temporary.Finish();
        left = temporary.path();
        EXPECT_EQ(kvstcheck::KindOfPath(left), kvstcheck::PathKind::File);
        DrawingBytes again = temporary.ReadBack();
        std::string back(16, '\0');
        back.resize(again.ReadNext(back.data(), back.size()));
        EXPECT_EQ(back, "0\nEOF\n");
    }
    EXPECT_EQ(kvstcheck::KindOfPath(left), kvstcheck::PathKind::Missing);
    EXPECT_EQ(kvstcheck::KindOfPath(destination), kvstcheck::PathKind::Missing);
    PendingFile kept = TemporaryDrawingFor(destination, interrupts);
    kept.Write("kept");
    kept.Finish();
    EXPECT_EQ(kept.MoveTo(destination, false), "");
    EXPECT_EQ(kvstcheck::KindOfPath(kept.path()), kvstcheck::PathKind::Missing);
    std::string error;
    EXPECT_EQ(kvstcheck::ReadSmallFile(destination, 100, error), "kept");
}

// What is left on disk after each way a written file can end: only a file kept stays, and a file that
// could not be moved into place goes too.
struct PendingEnd {
    const char* label;
    bool keep;
    bool moveOntoAFolder;
    bool stays;
    bool targetWritten;
};

class PendingFileTest : public testing::TestWithParam<PendingEnd> {};

TEST_P(PendingFileTest, LeavesOnlyWhatWasKept) {
    const PendingEnd& end = GetParam();
    const kvtest::TempFolder folder;
    const kvstcheck::InterruptsStopRun interrupts;
    const std::wstring path = folder / L"墙.dxf.bak";
    const std::wstring target = folder / (end.moveOntoAFolder ? L"folder" : L"target.dxf");
    if (end.moveOntoAFolder) {
        ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));
    }
    {
        PendingFile file(path, CREATE_NEW, interrupts);
        ASSERT_EQ(file.error(), 0u);
        // Another program cannot open it meanwhile; a second file of that name is not made over it.
        EXPECT_EQ(PendingFile(path, CREATE_NEW, interrupts).error(), static_cast<DWORD>(ERROR_FILE_EXISTS));
        file.Write("bytes");
        file.Finish();
        if (end.keep) {
            EXPECT_EQ(file.Keep(), "");
        }
        if (end.moveOntoAFolder) {
            EXPECT_NE(file.MoveTo(target, true), "");
        }
    }
    EXPECT_EQ(kvstcheck::KindOfPath(path) == kvstcheck::PathKind::File, end.stays);
    EXPECT_EQ(kvstcheck::KindOfPath(target) == kvstcheck::PathKind::File, end.targetWritten);
}

INSTANTIATE_TEST_SUITE_P(Ends, PendingFileTest,
                         testing::Values(PendingEnd{"Dropped", false, false, false, false},
                                         PendingEnd{"Kept", true, false, true, false},
                                         PendingEnd{"MovedOntoAFolder", false, true, false, false}),
                         [](const testing::TestParamInfo<PendingEnd>& info) { return info.param.label; });

}  // namespace
