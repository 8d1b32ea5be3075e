// The standard file image against the platform's own profile function: generated files, the
// cases those runs found, and the files that the image leaves to the platform.
#include <gtest/gtest.h>

#include "com/Handle.h"
#include "standards/FileImage.h"
#include "standards/ProfileImage.h"
#include "standards/clsIniFuncs.h"
#include "support/TempFolder.h"
#include "tests/standards/LoadedMembers.h"
#include "tests/standards/ProfileDifferential.h"

namespace {

using standardstest::CompareLoads;
using standardstest::CompareReads;
using standardstest::IniLines;
using standardstest::ProfileRead;

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string Listed(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// A short run of generated cases in blocks; scripts/profile_differential.sh runs long ones.
class GeneratedCasesTest : public ::testing::TestWithParam<std::uint32_t> {};

constexpr std::uint32_t kCasesPerBlock = 100;

TEST_P(GeneratedCasesTest, BothReadersAgreeOnEveryReadAndEveryLoad) {
    kvtest::TempFolder folder;
    const std::vector<std::string> disagreements =
        standardstest::RunDifferential(1 + GetParam() * kCasesPerBlock, kCasesPerBlock, folder.path());
    EXPECT_TRUE(disagreements.empty()) << Listed(disagreements);
}

INSTANTIATE_TEST_SUITE_P(Blocks, GeneratedCasesTest, ::testing::Values(0u, 1u, 2u, 3u));

TEST(GeneratedCasesTest, TheSameCaseNumberGivesTheSameCaseAndOthersDiffer) {
    const auto first = standardstest::GenerateCase(7);
    EXPECT_EQ(first.bytes, standardstest::GenerateCase(7).bytes);
    EXPECT_NE(first.bytes, standardstest::GenerateCase(8).bytes);
    EXPECT_GT(first.reads.size(), 10u);
}

// Files and reads where the two readers were found to disagree, and the platform's documented
// behaviours; each row is checked against the platform itself.
struct FoundCase {
    const char* what;
    std::string bytes;
    std::vector<ProfileRead> reads;
};

std::vector<ProfileRead> StandardReads() {
    return {{"Common", "TypeCount", "Return Err"}, {"Type1", "Type", "Return Err"},
            {"Type1", "NameCount", "Return Err"},  {"Type1", "Name1", "Return Err"},
            {"Type1", "Name2", "Return Err"},      {"Type2", "Name1", "Return Err"}};
}

std::vector<FoundCase> FoundCases() {
    const std::string longName(300, 'n');
    return {
        {"headers with blanks and text after the bracket",
         IniLines({"[ Common ]", "TypeCount=2", "[Type1] ;x", "Type=AcadLayer", "[\tType2\t]=x", "Name1=a"}),
         StandardReads()},
        {"the last bracket ends the name", IniLines({"[Type1]]", "Name1=a", "[Type1]", "Name1=b"}), StandardReads()},
        {"a bracket line without its bracket is a key", IniLines({"[Type1]", "[x=1", "Name1=a"}),
         {{"Type1", "[x", "d"}, {"Type1", "Name1", "d"}}},
        {"line breaks of every kind", std::string("[Type1]\rName1=a\r\rName2=b\n\rName3=c\r\n\r\nName4=d"),
         {{"Type1", "Name1", "d"}, {"Type1", "Name2", "d"}, {"Type1", "Name3", "d"}, {"Type1", "Name4", "d"}}},
        {"a lone CR inside a value splits it", std::string("[Type1]\r\nName1=a\rb\r\n"),
         {{"Type1", "Name1", "d"}, {"Type1", "b", "d"}}},
        {"quotes and the buffer's edge",
         IniLines({"[Type1]", "Name1=\"val2\"", "Name2='x'", "Name3=\"\"", "Name4=\"", "Name5=\"a\"b\"", "Name6=x\"y\""}),
         {{"Type1", "Name1", "d", 5}, {"Type1", "Name1", "d", 6}, {"Type1", "Name1", "d", 4}, {"Type1", "Name2", "d", 2},
          {"Type1", "Name3", "d", 1}, {"Type1", "Name3", "d", 2}, {"Type1", "Name4", "d"}, {"Type1", "Name5", "d"},
          {"Type1", "Name6", "d"}}},
        {"defaults: trailing spaces, all spaces, quotes, cut", IniLines({"[Type1]", "Name1=a"}),
         {{"Type1", "Missing", "abc  "}, {"Type1", "Missing", "   "}, {"Type1", "Missing", "\"dq\""},
          {"Type1", "Missing", "abc\t"}, {"Type1", "Missing", longName}, {"Type1", "Missing", "abcdef", 3},
          {"Type1", "Missing", "", 1}, {"Missing", "Name1", " lead"}}},
        {"requested names are trimmed and matched without letter case", IniLines({"[TYPE1]", "NAME1=a"}),
         {{" type1\t", "\tname1 ", "d"}, {"Type1", "Name10", "d"}, {"Type10", "Name1", "d"}}},
        {"empty names and the text before the first header",
         IniLines({"top=1", "=first", "=second", "[Type1]", "=x", "Name1=a"}),
         {{"", "top", "d"}, {" ", "", "d"}, {"Type1", "", "d"}, {"", "", "d"}}},
        {"comments are ordinary lines", IniLines({"[Type1]", ";Name1=c", "#Name2=h", "Name3=v ;c"}),
         {{"Type1", ";Name1", "d"}, {"Type1", "Name1", "d"}, {"Type1", "#Name2", "d"}, {"Type1", "Name3", "d"}}},
        {"the first of duplicate sections and keys", IniLines({"[Type1]", "Name1=a", "Name1=b", "[Type1]", "Name2=c"}),
         StandardReads()},
        {"long lines and values cut at the buffer", IniLines({"[" + longName + "]", "Name1=" + longName}),
         {{longName, "Name1", "d"}, {longName, "Name1", "d", 300}}},
        {"bytes above 127 in names and values",
         IniLines({"[Type\xE9]", "Name\xC9=\x81\x8D\x8F\x90\x9D\xA0", "name\xE9=lower"}),
         {{"Type\xE9", "Name\xC9", "d"}, {"Type\xE9", "Name\xE9", "d"}, {"TYPE\xE9", "name\xE9", "d"}}},
        {"a NUL after the last line break", Bytes("[Type1]\r\nName1=a\r\n\0\0"),
         {{"Type1", "Name1", "d"}, {"Type1", "", "d"}}},
        {"NULs inside lines", Bytes("[Type1]\r\nName1=a\0b\r\nNa\0me2=c\r\n\0[Type2]\r\nName3=d"),
         {{"Type1", "Name1", "d"}, {"Type1", "Na", "d"}, {"Type2", "Name3", "d"}, {"Type1", "Name3", "d"}}},
    };
}

TEST(FoundCasesTest, BothReadersGiveTheSameBytes) {
    kvtest::TempFolder folder;
    int number = 0;
    for (const FoundCase& c : FoundCases()) {
        const std::wstring path = folder / (L"found" + std::to_wstring(++number) + L".ini");
        const auto disagreements = CompareReads(c.bytes, c.reads, path);
        EXPECT_TRUE(disagreements.empty()) << c.what << "\n" << Listed(disagreements);
        const auto loads = CompareLoads(c.bytes, {L"a", L"b", L"AcadLayer"}, path);
        EXPECT_TRUE(loads.empty()) << c.what << "\n" << Listed(loads);
    }
}

// Files whose answers the platforms may give differently: the load leaves them to the platform,
// and gives the same results as the platform does.
TEST(FallbackTest, FilesWithUncertainAnswersAreLeftToThePlatform) {
    const std::string standard = IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2",
                                           "Name1=Walls", "Name2=Doors"});
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"UTF-8 byte order mark", "\xEF\xBB\xBF" + standard},
        {"UTF-16LE byte order mark", standardstest::Utf16WithByteOrderMark(kvtest::Wide(standard))},
        {"UTF-16BE byte order mark", "\xFE\xFF" + standard},
        {"NUL inside the text", standard + Bytes("Name3\0=x\r\n")},
        {"form feed", standard + "\f\r\n"},
        {"^Z", standard + "\x1a"},
        {"quote in a key name", standard + "\"Name1\"=x\r\n"},
        {"quoted value that fills the buffer", standard + "Name3=\"" + std::string(254, 'v') + "\"\r\n"},
        {"line without '=' before its key", IniLines({"[Common]", "TypeCount", "TypeCount=1"})},
        {"empty section name", standard + "[]\r\nx=1\r\n"},
        {"two closing brackets", IniLines({"[Common] ; [1]", "TypeCount=1"})},
        {"a header without ']'", standard + "[Type2\r\nType=AcadLayer\r\n"},
        {"no-break space at the end of a value", standard + "Name3=x\xA0\r\n"},
        {"control character at the start of a name", standard + "\x1DName3=x\r\n"},
        {"control character at the end of a section name", standard + "[Type2\x1F]\r\nx=1\r\n"},
        {"line without '=' under a name the loader reads", standard + "Name3\r\n"},
        {"quoted value longer than the buffer", standard + "Name3=\"" + std::string(300, 'v') + "\"\r\n"},
        {"a value of 32,768 bytes", standard + "Name3=" + std::string(32768, 'v') + "\r\n"},
    };
    kvtest::TempFolder folder;
    int number = 0;
    for (const Case& c : cases) {
        const std::wstring path = folder / (L"fallback" + std::to_wstring(++number) + L".ini");
        kvtest::WriteFileBytes(path, c.bytes);
        EXPECT_EQ(standards::FileImage::Read(path), nullptr) << c.what;
        const auto loads = CompareLoads(c.bytes, {L"Walls", L"Doors", L"x"}, path);
        EXPECT_TRUE(loads.empty()) << c.what << "\n" << Listed(loads);
    }
}

TEST(FallbackTest, CertainFilesAndPathsAreReadOnce) {
    kvtest::TempFolder folder;
    const std::wstring path = folder / L"KVStPluginDefault.ini";
    kvtest::WriteFileBytes(path, Bytes("[Common]\r\nTypeCount=1\r\n\0"));
    EXPECT_NE(standards::FileImage::Read(path), nullptr) << "NULs after the last line break are harmless";
    kvtest::WriteFileBytes(path, IniLines({"[Common]", "TypeCount=\xE9"}));
    EXPECT_EQ(standards::FileImage::Read(path) != nullptr, standards::CodePageKeepsEveryByte(::GetACP()));

    const std::wstring unreadable[] = {
        L"", L"KVStPluginDefault.ini", folder / L"missing.ini", folder.path(), folder / L"*.ini",
        folder / (std::wstring(MAX_PATH, L'x') + L".ini"), folder / L"\u0E01.ini",
    };
    for (const std::wstring& other : unreadable)
        EXPECT_EQ(standards::FileImage::Read(other), nullptr) << kvtest::Utf8(other);
}

TEST(FallbackTest, ALineWithoutEqualsUnderAnotherNameIsReadOnce) {
    kvtest::TempFolder folder;
    const std::wstring path = folder / L"KVStPluginDefault.ini";
    kvtest::WriteFileBytes(path, IniLines({"; comment", "[Common]", "Layers of the office", "TypeCount=1"}));
    EXPECT_NE(standards::FileImage::Read(path), nullptr);
}

// The registry may map a file's name to its own keys; the profile functions then answer from there.
// The name is this test's own: the prefix is shared by tests that run at once.
TEST(FallbackTest, AFileNameTheRegistryMapsIsLeftToThePlatform) {
    constexpr wchar_t kFileName[] = L"kvtest-mapped-standard-17.ini";
    const std::wstring mappingKey =
        std::wstring(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\") + kFileName;
    constexpr wchar_t kValuesKey[] = L"Software\\kvtest-mapped-standard-17";
    kvtest::TempFolder folder;
    const std::wstring path = folder / kFileName;
    kvtest::WriteFileBytes(path, IniLines({"[Common]", "TypeCount=1"}));
    ASSERT_NE(standards::FileImage::Read(path), nullptr);

    kv::RegistryKey mapping, values;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, mappingKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, mapping.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kValuesKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                values.put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring target = std::wstring(L"USR:") + kValuesKey;
    ::RegSetValueExW(mapping.get(), L"Common", 0, REG_SZ, reinterpret_cast<const BYTE*>(target.c_str()),
                     static_cast<DWORD>((target.size() + 1) * sizeof(wchar_t)));
    constexpr wchar_t kMappedCount[] = L"3";
    ::RegSetValueExW(values.get(), L"TypeCount", 0, REG_SZ, reinterpret_cast<const BYTE*>(kMappedCount),
                     sizeof kMappedCount);

    const bool imaged = standards::FileImage::Read(path) != nullptr;
    standards::clsIniFuncs ini;
    LONG count = 0;
    bool read = false;
    {
        standards::clsIniFuncs::OneReading reading(ini, path);
        read = ini.GetNodeCount(path, count);
    }
    values.reset();
    mapping.reset();
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kValuesKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, mappingKey.c_str());

    EXPECT_FALSE(imaged);
    EXPECT_TRUE(read);
    EXPECT_EQ(count, 3) << "the registry's value, not the file's";
}

// A mapping in either registry view sends the file to the platform: which view the 32-bit
// functions read on a 64-bit system is not pinned.
TEST(FallbackTest, AMappingInEitherRegistryViewIsLeftToThePlatform) {
    constexpr wchar_t kFileName[] = L"kvtest-mapped-view-17.ini";
    const std::wstring mappingKey =
        std::wstring(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\") + kFileName;
    kvtest::TempFolder folder;
    const std::wstring path = folder / kFileName;
    kvtest::WriteFileBytes(path, IniLines({"[Common]", "TypeCount=1"}));
    for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
        SCOPED_TRACE(view);
        ASSERT_NE(standards::FileImage::Read(path), nullptr);
        kv::RegistryKey mapping;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, mappingKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS | view, nullptr, mapping.put(), nullptr),
                  ERROR_SUCCESS);
        const bool imaged = standards::FileImage::Read(path) != nullptr;
        mapping.reset();
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, mappingKey.c_str(), view, 0);
        EXPECT_FALSE(imaged);
    }
}

// A relative path is resolved against the current folder; a full path of MAX_PATH or more goes to
// the platform, a shorter one is read once.
TEST(FallbackTest, ARelativePathWhoseFullPathReachesMaxPathIsLeftToThePlatform) {
    kvtest::TempFolder folder;
    std::wstring deep = folder.path();
    while (deep.size() < MAX_PATH - 40) {
        deep += L"\\" + std::wstring(20, L'd');
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    }
    const std::wstring shortName = L"s.ini";
    const std::wstring longName = std::wstring(60, L'n') + L".ini";
    const std::string bytes = IniLines({"[Common]", "TypeCount=1"});
    kvtest::WriteFileBytes(deep + L"\\" + shortName, bytes);
    kvtest::WriteFileBytes(L"\\\\?\\" + deep + L"\\" + longName, bytes);

    wchar_t previous[MAX_PATH * 4];
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH * 4, previous), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(deep.c_str()));
    const bool shortImaged = standards::FileImage::Read(L".\\" + shortName) != nullptr;
    const bool longImaged = standards::FileImage::Read(L".\\" + longName) != nullptr;
    ::SetCurrentDirectoryW(previous);
    EXPECT_TRUE(shortImaged);
    EXPECT_FALSE(longImaged);
    ::DeleteFileW((L"\\\\?\\" + deep + L"\\" + longName).c_str());
}

TEST(FallbackTest, CodePagesThatKeepEveryByteAreTheSingleByteOnes) {
    EXPECT_TRUE(standards::CodePageKeepsEveryByte(1252));
    EXPECT_FALSE(standards::CodePageKeepsEveryByte(936));
    EXPECT_FALSE(standards::CodePageKeepsEveryByte(932));
    EXPECT_FALSE(standards::CodePageKeepsEveryByte(CP_UTF8));
}

// One plug-in object loads its standard file once per audit: each load sees the file as it is then.
TEST(EditedFileTest, EachLoadOfOneObjectReadsTheFileAsItIsThen) {
    kvtest::TempFolder folder;
    const std::wstring path = folder / L"KVStPluginDefault.ini";
    standardstest::LoadedMembers members;
    for (const char* name : {"First", "Second", "Third"}) {
        kvtest::WriteFileBytes(path, IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1",
                                               std::string("Name1=") + name}));
        ASSERT_TRUE(members.Load(path));
        EXPECT_EQ(members.StdLayerNames, standards::NameList{kvtest::Wide(name)});
    }
    // Now a form the platform must read: the next load still sees the edit.
    kvtest::WriteFileBytes(path, standardstest::Utf16WithByteOrderMark(
                                     L"[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=1\r\nName1=Fourth\r\n"));
    ASSERT_TRUE(members.Load(path));
    EXPECT_EQ(members.StdLayerNames, standards::NameList{L"Fourth"});
}

TEST(EditedFileTest, AWriteDuringOneReadingIsSeenByTheNextRead) {
    kvtest::TempFolder folder;
    const std::wstring path = folder / L"values.ini";
    kvtest::WriteFileBytes(path, IniLines({"[Type1]", "Name1=before"}));
    standards::clsIniFuncs ini;
    standards::clsIniFuncs::OneReading reading(ini, path);
    std::wstring text;
    ASSERT_TRUE(ini.GetKeyValue(path, text, 1, 1));
    EXPECT_EQ(text, L"before");
    // The file changes behind the reading's back: it keeps answering from the one reading.
    kvtest::WriteFileBytes(path, IniLines({"[Type1]", "Name1=elsewhere"}));
    ASSERT_TRUE(ini.GetKeyValue(path, text, 1, 1));
    EXPECT_EQ(text, L"before");
    ASSERT_TRUE(ini.WriteInfoToIniFile(L"Type1", L"Name2", L"written", path));
    ASSERT_TRUE(ini.GetKeyValue(path, text, 1, 2));
    EXPECT_EQ(text, L"written");
    ASSERT_TRUE(ini.GetKeyValue(path, text, 1, 1));
    EXPECT_EQ(text, L"elsewhere");
}

}  // namespace
