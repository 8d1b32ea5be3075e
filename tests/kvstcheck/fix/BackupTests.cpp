#include "kvstcheck/fix/Backups.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Interrupts.h"
#include "kvstcheck/reports/Sha256.h"
#include "com/Handle.h"

namespace {

using namespace kvstcheck::fix;

std::string Read(const std::wstring& path) {
    std::string error;
    return kvstcheck::ReadSmallFile(path, 1024, error).value_or("unreadable: " + error);
}

TEST(BackupNameTest, NeverEndsInDxf) {
    const std::wstring expected[] = {L"a.dxf.bak", L"a.dxf.1.bak", L"a.dxf.2.bak", L"a.dxf.10.bak"};
    const std::size_t attempts[] = {0, 1, 2, 10};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::wstring name = BackupName(L"a.dxf", attempts[i]);
        EXPECT_EQ(name, expected[i]);
        EXPECT_FALSE(kvstcheck::IsDrawingFileName(name)) << kvtest::Utf8(name);
    }
}

struct RelativeCase {
    const char* label;
    std::wstring argument, drawing;
    bool folder;
    std::wstring relative;
};

class RelativePathTest : public testing::TestWithParam<RelativeCase> {};

TEST_P(RelativePathTest, KeepsThePathBelowTheFolderGiven) {
    EXPECT_EQ(kvtest::Utf8(RelativePath(GetParam().argument, GetParam().drawing, GetParam().folder)),
              kvtest::Utf8(GetParam().relative));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelativePathTest,
    testing::Values(RelativeCase{"FileArgument", L"plans\\a.dxf", L"plans\\a.dxf", false, L"a.dxf"},
                    RelativeCase{"FileArgumentWithSlashes", L"plans/sub/a.dxf", L"plans/sub/a.dxf", false, L"a.dxf"},
                    RelativeCase{"BelowAFolder", L"plans", L"plans\\sub\\a.dxf", true, L"sub\\a.dxf"},
                    RelativeCase{"FolderWithItsSeparator", L"plans\\", L"plans\\sub\\a.dxf", true, L"sub\\a.dxf"},
                    RelativeCase{"BareFileName", L"a.dxf", L"a.dxf", false, L"a.dxf"}),
    [](const testing::TestParamInfo<RelativeCase>& info) { return info.param.label; });

// A backup kept, as the fix keeps it just before the drawing is replaced; its path.
std::wstring KeptBackup(const std::wstring& drawing, const std::wstring& folder) {
    const kvstcheck::InterruptsStopRun interrupts;
    PendingBackup backup = MakeBackup(drawing, folder, interrupts);
    std::string error;
    EXPECT_EQ(backup.sha256, kvstcheck::Sha256Hex(kvstcheck::ReadSmallFile(drawing, 1024, error).value_or("")));
    EXPECT_EQ(backup.file.Keep(), "");
    return backup.file.path();
}

TEST(BackupTest, AnEarlierBackupIsNeverReplaced) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"墙.dxf";
    kvtest::WriteFileBytes(drawing, "first");
    EXPECT_EQ(KeptBackup(drawing, folder.path()), folder / L"墙.dxf.bak");
    kvtest::WriteFileBytes(drawing, "second");
    EXPECT_EQ(KeptBackup(drawing, folder.path()), folder / L"墙.dxf.1.bak");
    kvtest::WriteFileBytes(drawing, "third");
    EXPECT_EQ(KeptBackup(drawing, folder.path()), folder / L"墙.dxf.2.bak");
    EXPECT_EQ(Read(folder / L"墙.dxf.bak"), "first");
    EXPECT_EQ(Read(folder / L"墙.dxf.1.bak"), "second");
    EXPECT_EQ(Read(folder / L"墙.dxf.2.bak"), "third");
}

TEST(BackupTest, ABackupNotKeptGoesAndItsNameIsFreeAgain) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"a.dxf";
    kvtest::WriteFileBytes(drawing, "bytes");
    const kvstcheck::InterruptsStopRun interrupts;
    {
        const PendingBackup dropped = MakeBackup(drawing, folder.path(), interrupts);
        EXPECT_EQ(dropped.file.path(), folder / L"a.dxf.bak");
    }
    EXPECT_EQ(kvstcheck::KindOfPath(folder / L"a.dxf.bak"), kvstcheck::PathKind::Missing);
    EXPECT_EQ(KeptBackup(drawing, folder.path()), folder / L"a.dxf.bak");
}

TEST(BackupTest, ABackupKeepsTheDrawingsTimes) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"a.dxf";
    kvtest::WriteFileBytes(drawing, "bytes");
    const FILETIME saved{0x12345600u, 0x01D00000u};
    {
        const kv::FileHandle file(::CreateFileW(drawing.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &saved));
    }
    const std::wstring backup = KeptBackup(drawing, folder.path());
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(backup.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(::CompareFileTime(&data.ftLastWriteTime, &saved), 0);
}

TEST(BackupTest, ABackupFolderIsMadeWithItsParents) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"a.dxf";
    kvtest::WriteFileBytes(drawing, "bytes");
    const std::wstring backups = BelowFolder(folder / L"backups", L"sub\\deeper");
    EXPECT_EQ(KeptBackup(drawing, backups), backups + L"\\a.dxf.bak");
    EXPECT_EQ(Read(backups + L"\\a.dxf.bak"), "bytes");
}

TEST(BackupTest, AFileWhereTheFolderBelongsIsNamed) {
    const kvtest::TempFolder folder;
    const std::wstring drawing = folder / L"a.dxf";
    kvtest::WriteFileBytes(drawing, "bytes");
    kvtest::WriteFileBytes(folder / L"taken", "");
    const kvstcheck::InterruptsStopRun interrupts;
    try {
        MakeBackup(drawing, folder / L"taken", interrupts);
        ADD_FAILURE() << "made a backup below a file";
    } catch (const BackupError& error) {
        EXPECT_NE(std::string(error.what()).find("a file stands there"), std::string::npos) << error.what();
    }
}

TEST(BackupTest, AMissingDrawingIsNamedAndLeavesNoBackup) {
    const kvtest::TempFolder folder;
    const kvstcheck::InterruptsStopRun interrupts;
    EXPECT_THROW(MakeBackup(folder / L"missing.dxf", folder.path(), interrupts), BackupError);
    EXPECT_EQ(kvstcheck::KindOfPath(folder / L"missing.dxf.bak"), kvstcheck::PathKind::Missing);
}

}  // namespace
