// Replays the fuzzer's saved corpus of standard files through lint's walk and its checks, so that
// every input the fuzzer found worth keeping stays sound in the Windows build too.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "StandardLintCheck.h"
#include "support/TempFolder.h"

namespace {

std::vector<std::wstring> FilesIn(std::wstring folder) {
    for (wchar_t& c : folder)
        if (c == L'/') c = L'\\';
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + entry.cFileName);
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return files;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(LintCorpusReplay, EverySavedInputKeepsTheWalksRules) {
    const std::vector<std::wstring> files = FilesIn(kvtest::Wide(KV_STANDARD_LINT_CORPUS));
    ASSERT_FALSE(files.empty()) << "no saved corpus in " << KV_STANDARD_LINT_CORPUS;
    for (const std::wstring& path : files)
        EXPECT_EQ(fuzzcheck::CheckStandardLint(ReadBytes(path)), "") << kvtest::Utf8(path);
}

}  // namespace
