// The files a run writes: refused when they are an input or a stranger's file, written whole or not at
// all, with plain words for what went wrong.
#include "kvstcheck/OutputFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "support/TempFolder.h"

namespace {

using kvstcheck::OutputFile;
using kvstcheck::RunInputs;

constexpr char kOurHtml[] = "<!DOCTYPE html>\n<html>\n<head>\n<meta name=\"generator\" content=\"kvstcheck\">\n";

std::string Contents(const std::wstring& path) {
    std::string bytes;
    const kv::FileHandle file(::CreateFileW(kvstcheck::SystemPath(path).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return "<missing>";
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

// Every name in the folder, so that a temporary file left behind shows.
std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const kv::FindHandle search(::FindFirstFileW((kvstcheck::SystemPath(folder) + L"\\*").c_str(), &found));
    if (!search) return names;
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..") names.push_back(found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

class OutputFileTest : public testing::Test {
protected:
    void SetUp() override {
        kvtest::WriteFileBytes(folder_ / L"drawing.dxf", "0\nEOF\n");
        kvtest::WriteFileBytes(folder_ / L"standard.ini", "[Common]\r\n");
        kvtest::WriteFileBytes(folder_ / L"ours.html", std::string(kOurHtml) + "old report");
        kvtest::WriteFileBytes(folder_ / L"theirs.html", "<html>a page someone wrote</html>");
        ASSERT_TRUE(::CreateDirectoryW((folder_ / L"sub").c_str(), nullptr));
        drawings_.push_back({folder_ / L"other.dxf", {}});
        drawings_.push_back({folder_ / L"drawing.dxf", {}});
        inputs_.AddDrawings(drawings_);
        inputs_.Add(folder_ / L"standard.ini", "the standard file of this run");
    }

    std::string RefusalOf(const std::wstring& path, bool force = false) const {
        OutputFile output(path, "the HTML report", kvstcheck::IsKvstcheckHtml);
        return output.Refusal(inputs_, force);
    }

    kvtest::TempFolder folder_;
    std::vector<kvstcheck::WalkEntry> drawings_;
    RunInputs inputs_;
};

TEST_F(OutputFileTest, RefusedOrAllowedBeforeAnyWork) {
    ASSERT_TRUE(::CreateHardLinkW((folder_ / L"linked.dxf").c_str(), (folder_ / L"drawing.dxf").c_str(), nullptr));
    std::wstring slashed = folder_ / L"SUB\\..\\Drawing.DXF";
    for (wchar_t& c : slashed)
        if (c == L'\\') c = L'/';
    struct Case {
        std::wstring path;
        bool force;
        std::string expected;  // a part of the refusal; empty: allowed
    };
    const Case cases[] = {
        {folder_ / L"drawing.dxf", false, "it is a drawing of this run, which the run reads"},
        {slashed, true, "it is a drawing of this run"},
        {folder_ / L"linked.dxf", true, "it is a drawing of this run"},
        {folder_ / L"standard.ini", true, "it is the standard file of this run"},
        {folder_ / L"sub", false, "it is a folder; give a file name"},
        {folder_ / L"missing\\report.html", false, "does not exist"},
        {folder_ / L"theirs.html", false, "kvstcheck did not write it; add --force to replace it"},
        {folder_ / L"theirs.html", true, ""},
        {folder_ / L"ours.html", false, ""},
        {folder_ / L"new.html", false, ""},
    };
    for (const Case& c : cases) {
        const std::string refusal = RefusalOf(c.path, c.force);
        if (c.expected.empty()) {
            EXPECT_EQ(refusal, "") << kvtest::Utf8(c.path);
        } else {
            EXPECT_NE(refusal.find(c.expected), std::string::npos) << refusal;
            EXPECT_EQ(refusal.find(kvtest::Utf8(c.path)), 0u) << refusal;
        }
    }
}

TEST_F(OutputFileTest, AReadOnlyFileOrOneHeldOpenIsNamedInPlainWords) {
    ASSERT_TRUE(::SetFileAttributesW((folder_ / L"ours.html").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(RefusalOf(folder_ / L"ours.html").find("the file is read-only"), std::string::npos);
    ::SetFileAttributesW((folder_ / L"ours.html").c_str(), FILE_ATTRIBUTE_NORMAL);

    // Another program that opened the file without sharing it.
    kv::FileHandle held(::CreateFileW((folder_ / L"ours.html").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    const std::string refusal = RefusalOf(folder_ / L"ours.html");
    EXPECT_NE(refusal.find("another program has it open"), std::string::npos) << refusal;
    OutputFile output(folder_ / L"ours.html", "the HTML report", kvstcheck::IsKvstcheckHtml);
    output.Refusal(inputs_, true);
    const std::string error = output.Write("new");
    EXPECT_NE(error.find("another program has the file open"), std::string::npos) << error;
    held.reset();
    EXPECT_EQ(Contents(folder_ / L"ours.html"), std::string(kOurHtml) + "old report");
    EXPECT_EQ(Names(folder_.path()),
              (std::vector<std::wstring>{L"drawing.dxf", L"ours.html", L"standard.ini", L"sub", L"theirs.html"}));
}

TEST_F(OutputFileTest, WrittenWholeThroughATemporaryFileThatDoesNotStay) {
    OutputFile fresh(folder_ / L"sub\\new.html", "the HTML report", kvstcheck::IsKvstcheckHtml);
    ASSERT_EQ(fresh.Refusal(inputs_, false), "");
    EXPECT_EQ(fresh.Write("first"), "");
    EXPECT_EQ(Contents(folder_ / L"sub\\new.html"), "first");
    OutputFile again(folder_ / L"sub\\new.html", "the HTML report", kvstcheck::IsKvstcheckHtml);
    ASSERT_EQ(again.Refusal(inputs_, true), "");
    EXPECT_EQ(again.Write("second, longer"), "");
    EXPECT_EQ(Contents(folder_ / L"sub\\new.html"), "second, longer");
    EXPECT_EQ(Names(folder_ / L"sub"), std::vector<std::wstring>{L"new.html"});

    // The folder went away during the run: nothing is written, and the message says where.
    OutputFile lost(folder_ / L"gone\\report.html", "the HTML report", kvstcheck::IsKvstcheckHtml);
    const std::string error = lost.Write("x");
    EXPECT_NE(error.find("cannot create a file in its folder"), std::string::npos) << error;
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
}

TEST_F(OutputFileTest, AFileThatAppearedDuringTheRunIsNotClobbered) {
    OutputFile output(folder_ / L"late.html", "the HTML report", kvstcheck::IsKvstcheckHtml);
    ASSERT_EQ(output.Refusal(inputs_, false), "");
    kvtest::WriteFileBytes(folder_ / L"late.html", "someone else's");
    const std::string error = output.Write(kOurHtml);
    EXPECT_NE(error.find("appeared during the run; it is left as it is"), std::string::npos) << error;
    EXPECT_EQ(Contents(folder_ / L"late.html"), "someone else's");
    EXPECT_EQ(Names(folder_.path()), (std::vector<std::wstring>{L"drawing.dxf", L"late.html", L"ours.html",
                                                                 L"standard.ini", L"sub", L"theirs.html"}));
}

TEST_F(OutputFileTest, PathsLongerThanMaxPath) {
    std::wstring folder = folder_.path();
    while (folder.size() < MAX_PATH + 40) {
        folder += L"\\a-folder-name-of-some-length";
        ASSERT_TRUE(::CreateDirectoryW(kvstcheck::SystemPath(folder).c_str(), nullptr)) << ::GetLastError();
    }
    const std::wstring report = folder + L"\\report.html";
    OutputFile output(report, "the HTML report", kvstcheck::IsKvstcheckHtml);
    EXPECT_EQ(output.Refusal(inputs_, false), "");
    EXPECT_EQ(output.Write(kOurHtml), "");
    EXPECT_EQ(Contents(report), kOurHtml);
    OutputFile again(report, "the HTML report", kvstcheck::IsKvstcheckHtml);
    EXPECT_EQ(again.Refusal(inputs_, false), "");
    EXPECT_EQ(again.Write(std::string(kOurHtml) + "again"), "");
    EXPECT_EQ(Contents(report), std::string(kOurHtml) + "again");
    EXPECT_TRUE(kvstcheck::IdentityOf(report).has_value());
    EXPECT_EQ(kvstcheck::KindOfPath(report), kvstcheck::PathKind::File);
    ::DeleteFileW(kvstcheck::SystemPath(report).c_str());
    for (; folder.size() > folder_.path().size(); folder.erase(folder.find_last_of(L'\\')))
        ::RemoveDirectoryW(kvstcheck::SystemPath(folder).c_str());
}

TEST(SystemPath, LongPathsGetTheExtendedPrefix) {
    const std::wstring longName(300, L'n');
    struct Case {
        std::wstring given;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\short\\a.dxf", L"C:\\short\\a.dxf"},
        {L"C:\\" + longName, L"\\\\?\\C:\\" + longName},
        {L"C:/x/" + longName, L"\\\\?\\C:\\x\\" + longName},
        {L"\\\\server\\share\\" + longName, L"\\\\?\\UNC\\server\\share\\" + longName},
        {L"\\\\?\\C:\\" + longName, L"\\\\?\\C:\\" + longName},
    };
    for (const Case& c : cases) EXPECT_EQ(kvstcheck::SystemPath(c.given), c.expected) << kvtest::Utf8(c.given);
}

TEST(FolderOf, TheFolderPartOfAFullPath) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\a\\b.html", L"C:\\a"}, {L"C:\\b.html", L"C:\\"}, {L"\\\\server\\share\\b.html", L"\\\\server\\share"},
        {L"b.html", L"."}};
    for (const auto& [path, folder] : cases) EXPECT_EQ(kvstcheck::FolderOf(path), folder) << kvtest::Utf8(path);
}

// The system's own texts for these do not say what to do, nor in words a user knows.
TEST(SystemMessage, CommonErrorsInPlainWords) {
    using kvstcheck::FileUse;
    struct Case {
        DWORD error;
        FileUse use;
        const char* words;
        const char* wrong;  // words that would mislead for this use; nullptr: none
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, FileUse::Reading, "does not exist", nullptr},
        {ERROR_PATH_NOT_FOUND, FileUse::Reading, "a folder on its way does not exist", nullptr},
        {ERROR_ACCESS_DENIED, FileUse::Writing, "read-only, a folder, or not open to this user", nullptr},
        // A read-only file can be read: a reader refused is told the causes that apply.
        {ERROR_ACCESS_DENIED, FileUse::Reading, "a folder, or not open to this user", "read-only"},
        {ERROR_SHARING_VIOLATION, FileUse::Reading, "another program has it open", nullptr},
        {ERROR_LOCK_VIOLATION, FileUse::Writing, "another program has it open", nullptr},
        {ERROR_DIRECTORY, FileUse::Reading, "a file where a folder belongs", nullptr},
        {ERROR_INVALID_NAME, FileUse::Writing, "not a valid path", nullptr},
        {ERROR_DISK_FULL, FileUse::Writing, "disk is full", nullptr},
        {ERROR_BAD_NETPATH, FileUse::Reading, "network share cannot be reached", nullptr},
        {ERROR_FILENAME_EXCED_RANGE, FileUse::Reading, "too long", nullptr},
    };
    for (const Case& c : cases) {
        const std::string message = kvstcheck::SystemMessage(c.error, c.use);
        EXPECT_NE(message.find(c.words), std::string::npos) << c.error << ": " << message;
        if (c.wrong) {
            EXPECT_EQ(message.find(c.wrong), std::string::npos) << c.error << ": " << message;
        }
        for (const char* raw : {"denied", "Access", "invalid", "cannot find", "not found"})
            EXPECT_EQ(message.find(raw), std::string::npos) << c.error << ": " << message;
    }
    // Any other error keeps the system's text, with its number to look up.
    EXPECT_NE(kvstcheck::SystemMessage(ERROR_CRC).find("(system error 23)"), std::string::npos);
}

}  // namespace
