// Whether audits against a standard file would check anything: the plug-in's own reading decides,
// and a file it checks nothing with is named with the line where loading stopped and why.
#include "kvstcheck/standardtools/StandardReadiness.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/TempFolder.h"

namespace {

using kvstcheck::ReadinessOf;

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (const std::string_view line : lines) text.append(line).append("\r\n");
    return text;
}

struct Case {
    const char* name;
    std::string bytes;
    bool checks;
    std::uint32_t line;    // where loading stopped, for a file that checks nothing
    const char* reason;    // a part of the reason; or, for a file that checks, nothing
    std::size_t problems;  // for a file that checks
};

TEST(StandardReadiness, TheLineAndTheReasonWhereLoadingStops) {
    const Case cases[] = {
        {"no common", Lines({"[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}), false, 1, "no [Common] section", 0},
        {"no type count", Lines({"[Common]", "Types=1"}), false, 1, "[Common] has no TypeCount=", 0},
        {"type count zero", Lines({"[Common]", "TypeCount=0"}), false, 2, "TypeCount=0 is not a number from 1", 0},
        {"type count words", Lines({"[Common]", "TypeCount=four"}), false, 2, "is not a number from 1", 0},
        {"name count zero", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=0"}), false, 5,
         "NameCount=0 under Type=AcadLayer", 0},
        {"name count zero in the second",
         Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[Type2]",
                "Type=AcadDimStyle", "NameCount=0"}),
         false, 9, "NameCount=0 under Type=AcadDimStyle", 0},
        {"no first type section", Lines({"[Common]", "TypeCount=1", "[Type2]", "Type=AcadLayer"}), false, 2,
         "there is no [Type1]", 0},
        {"first type without a type", Lines({"[Common]", "TypeCount=1", "[Type1]", "NameCount=1", "Name1=0"}), false, 3,
         "[Type1] has no Type=", 0},
        // Loads, yet hands the host no first type name: nothing is checked either.
        {"empty first type", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=", "NameCount=1", "Name1=0"}), false, 4,
         "Type= is empty in [Type1]", 0},
        {"clean", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}), true, 0,
         nullptr, 0},
        // Notes change nothing the plug-in reads: only errors and warnings count.
        {"loads with two problems and a note",
         Lines({"[Common]", "TypeCount=1", "Version=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                "Name2=1", "Name1=x"}),
         true, 0, nullptr, 2},
        // No text for lint, yet the plug-in loads it: audits run, and lint's refusal counts as a problem.
        {"binary comment", Lines({"[Common]", "TypeCount=1", "; \x01", "[Type1]", "Type=AcadLayer", "NameCount=1",
                                  "Name1=0"}),
         true, 0, nullptr, 1},
    };
    kvtest::TempFolder folder;
    for (const Case& c : cases) {
        const std::wstring path = folder / (kvtest::Wide(c.name) + L".ini");
        kvtest::WriteFileBytes(path, c.bytes);
        const auto readiness = ReadinessOf(path);
        EXPECT_EQ(readiness.checks, c.checks) << c.name;
        if (c.checks) {
            EXPECT_EQ(readiness.problems, c.problems) << c.name;
            EXPECT_EQ(readiness.reason, "") << c.name;
            continue;
        }
        EXPECT_EQ(readiness.line, c.line) << c.name << ": " << readiness.reason;
        EXPECT_NE(readiness.reason.find(c.reason), std::string::npos) << c.name << ": " << readiness.reason;
    }
}

TEST(StandardReadiness, AFileThatCannotBeReadChecksNothing) {
    kvtest::TempFolder folder;
    ASSERT_TRUE(::CreateDirectoryW((folder / L"folder.ini").c_str(), nullptr));
    const std::pair<std::wstring, const char*> cases[] = {{folder / L"absent.ini", "does not exist"},
                                                          {folder / L"folder.ini", "folder"}};
    for (const auto& [path, reason] : cases) {
        const auto readiness = ReadinessOf(path);
        EXPECT_FALSE(readiness.checks) << kvtest::Utf8(path);
        EXPECT_EQ(readiness.line, 0u);
        EXPECT_NE(readiness.reason.find(reason), std::string::npos) << readiness.reason;
    }
}

TEST(StandardReadiness, MessagesNameTheFileAsGivenAndTheCommandThatExplains) {
    kvstcheck::StandardReadiness stopped{false, 5, "NameCount=0 under Type=AcadLayer: why", 0};
    EXPECT_EQ(kvstcheck::NothingCheckedMessage(stopped, L"std/zero.ini"),
              "not audited: the plug-in checks nothing with the standard file std/zero.ini:5: NameCount=0 under "
              "Type=AcadLayer: why; run kvstcheck lint std/zero.ini");
    stopped.line = 0;
    EXPECT_EQ(kvstcheck::NothingCheckedMessage(stopped, L"my standards\\a.ini"),
              "not audited: the plug-in checks nothing with the standard file my standards\\a.ini: NameCount=0 under "
              "Type=AcadLayer: why; run kvstcheck lint \"my standards\\a.ini\"");
    const kvstcheck::StandardReadiness loads{true, 0, "", 1};
    EXPECT_EQ(kvstcheck::ProblemsMessage(loads, L"a.ini"),
              "warning: the plug-in reads 1 line of the standard file a.ini otherwise than its author most likely meant; "
              "run kvstcheck lint a.ini");
}

// The run reads its standard file once and judges those bytes where the plug-in reads them (its private
// copy): a file edited after the reading does not change the verdict, and the edit is seen.
TEST(RunStandard, JudgesTheBytesReadOnceAndSeesTheFileChangeAfter) {
    const std::string clean = Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"});
    // The same size as clean, so that only the bytes tell the edit.
    const std::string zero = Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=0", "Name1=0"});
    struct Case {
        const char* name;
        std::optional<std::string> later;  // what the file holds after the reading; nothing: removed
        bool changed;
    };
    const Case cases[] = {
        {"untouched", clean, false},
        {"edited, same size", zero, true},
        {"emptied", std::string(), true},
        {"removed", std::nullopt, true},
    };
    kvtest::TempFolder folder;
    for (const Case& c : cases) {
        const std::wstring path = folder / (kvtest::Wide(c.name) + L".ini");
        const std::wstring copy = folder / (kvtest::Wide(c.name) + L"-copy.ini");
        kvtest::WriteFileBytes(path, clean);
        kvstcheck::RunStandard standard(path);
        ASSERT_TRUE(standard.bytes()) << c.name;
        EXPECT_EQ(*standard.bytes(), clean) << c.name;
        if (c.later) kvtest::WriteFileBytes(path, *c.later);
        else ASSERT_TRUE(::DeleteFileW(path.c_str())) << c.name;
        kvtest::WriteFileBytes(copy, *standard.bytes());
        const auto& readiness = standard.Judge(copy);
        EXPECT_TRUE(readiness.checks) << c.name << ": " << readiness.reason;
        ASSERT_NE(standard.loaded(), nullptr) << c.name;
        EXPECT_EQ(standard.ChangedSinceRead(), c.changed) << c.name;
    }
}

TEST(RunStandard, BytesThatCannotBeReadAreJudgedByTheFileItself) {
    kvtest::TempFolder folder;
    ASSERT_TRUE(::CreateDirectoryW((folder / L"folder.ini").c_str(), nullptr));
    kvstcheck::RunStandard standard(folder / L"folder.ini");
    EXPECT_FALSE(standard.bytes());
    const auto& readiness = standard.Judge(standard.shownPath());
    EXPECT_FALSE(readiness.checks);
    EXPECT_NE(readiness.reason.find("folder"), std::string::npos) << readiness.reason;
    EXPECT_EQ(standard.loaded(), nullptr);
    EXPECT_FALSE(standard.ChangedSinceRead());  // still nothing to read
}

}  // namespace
