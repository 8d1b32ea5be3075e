// Folders named on the command line: which files are drawings and in what order. Links that loop,
// unreadable folders and vanishing files are made with Unix tools in kvstcheck_e2e.py.
#include "kvstcheck/DrawingWalk.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace {

using kvstcheck::ListDrawings;
using kvstcheck::WalkEntry;

std::vector<std::wstring> Paths(const std::vector<WalkEntry>& entries) {
    std::vector<std::wstring> paths;
    for (const WalkEntry& entry : entries) {
        EXPECT_EQ(entry.error, "") << kvtest::Utf8(entry.path);
        paths.push_back(entry.path);
    }
    return paths;
}

class DrawingWalk : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* folder : {L"b", L"A", L"A\\z", L"\u56FE\u7EB8", L"empty", L"c.dxf"})
            ASSERT_TRUE(::CreateDirectoryW((root_ / folder).c_str(), nullptr));
        for (const wchar_t* file : {L"b\\2.json", L"b\\10.DXF", L"b\\notes.txt", L"A\\z\\deep.dxf", L"A\\a.dxf",
                                    L"\u56FE\u7EB8\\\u529E\u516C\u5BA4.dxf", L"Z.Json", L"a.dxf.bak", L"c.dxf\\in.dxf",
                                    L"\u00E9t\u00E9.dxf", L"e.dxf"})
            kvtest::WriteFileBytes(root_ / file, "");
    }

    kvtest::TempFolder root_;
};

TEST_F(DrawingWalk, EveryDrawingBelowInNaturalOrderIgnoringLetterCase) {
    const std::wstring& r = root_.path();
    EXPECT_EQ(Paths(ListDrawings({r})),
              (std::vector<std::wstring>{r + L"\\A\\a.dxf", r + L"\\A\\z\\deep.dxf", r + L"\\b\\2.json",
                                         r + L"\\b\\10.DXF", r + L"\\c.dxf\\in.dxf", r + L"\\e.dxf",
                                         r + L"\\Z.Json", r + L"\\\u00E9t\u00E9.dxf",
                                         r + L"\\\u56FE\u7EB8\\\u529E\u516C\u5BA4.dxf"}));
}

TEST_F(DrawingWalk, PathsKeepTheUsersSeparatorAndFilesComeAsGiven) {
    std::wstring slashed = root_.path();
    for (wchar_t& c : slashed)
        if (c == L'\\') c = L'/';
    EXPECT_EQ(Paths(ListDrawings({slashed + L"/A/", L"missing.dxf", root_ / L"b\\notes.txt"})),
              (std::vector<std::wstring>{slashed + L"/A/a.dxf", slashed + L"/A/z/deep.dxf", L"missing.dxf",
                                         root_ / L"b\\notes.txt"}));
}

TEST_F(DrawingWalk, AFolderWithoutDrawingsIsReported) {
    const auto entries = ListDrawings({root_ / L"empty", root_ / L"A\\a.dxf"});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, root_ / L"empty");
    EXPECT_EQ(entries[0].error, "no .dxf or .json files in this folder");
    EXPECT_EQ(entries[1].error, "");
}

TEST_F(DrawingWalk, ExcludedFilesAndFoldersAreLeftOut) {
    const std::wstring& r = root_.path();
    const auto globs = [](std::vector<const wchar_t*> patterns) {
        std::vector<kvstcheck::Glob> parsed;
        std::string problem;
        for (const wchar_t* pattern : patterns) parsed.push_back(*kvstcheck::Glob::Parse(pattern, problem));
        return parsed;
    };
    EXPECT_EQ(Paths(ListDrawings({r + L"\\A", r + L"\\b"}, {}, globs({L"z", L"*.json"}))),
              (std::vector<std::wstring>{r + L"\\A\\a.dxf", r + L"\\b\\10.DXF"}));
    // Matched below each folder given: "b/*" leaves out nothing of the folder b itself.
    EXPECT_EQ(Paths(ListDrawings({r}, {}, globs({L"b/*", L"**/*.dxf", L"\u56FE*"}))),
              (std::vector<std::wstring>{r + L"\\Z.Json"}));
    EXPECT_EQ(Paths(ListDrawings({r + L"\\b"}, {}, globs({L"b/*"}))),
              (std::vector<std::wstring>{r + L"\\b\\2.json", r + L"\\b\\10.DXF"}));
    const auto none = ListDrawings({r + L"\\A"}, {}, globs({L"**"}));
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].error, "no .dxf or .json files in this folder that --exclude leaves");
}

TEST(DrawingFileNames, ByExtensionInAnyLetterCase) {
    const std::pair<const wchar_t*, bool> cases[] = {{L"a.dxf", true},  {L"A.DXF", true},    {L"b.Json", true},
                                                     {L"dxf", false},   {L"a.dxf.bak", false}, {L"a.dwg", false},
                                                     {L".json", true}, {L"a.jsonl", false}};
    for (const auto& [name, drawing] : cases) EXPECT_EQ(kvstcheck::IsDrawingFileName(name), drawing) << kvtest::Utf8(name);
}

}  // namespace
