// The standard file loader against real files in a temporary folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "support/TempFolder.h"
#include "tests/plugin/PluginInternals.h"
#include "tests/standards/LoadedMembers.h"

namespace {

using standards::NameList;
using standardstest::FilterElements;
using standardstest::IniLines;
using standardstest::LoadedMembers;
using standardstest::Utf16WithByteOrderMark;
using ::testing::ElementsAre;
using ::testing::Each;
using ::testing::IsEmpty;

constexpr wchar_t kEmpty[] = L"<Empty>";

// What the members hold before each load, so that untouched members show.
const std::vector<std::wstring> kPreviousFilter = {L"Previous"};
const NameList kOldLayers = {L"old layer"};
const NameList kOldLinetypes = {L"old linetype"};
const NameList kOldTextStyles = {L"old text style"};
const NameList kOldDimStyles = {L"old dim style"};

// The small standard file and what it loads.
const std::string kExampleFile = IniLines({
    "[Common]", "TypeCount=2",
    "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0", "Name2=Walls",
    "[Type2]", "Type=AcadTextStyle", "NameCount=1", "Name1=Standard",
});

struct LoadCase {
    const char* what;
    std::string file;
    bool result;
    std::vector<std::wstring> filter;
    NameList layers, linetypes, textStyles, dimStyles;
};

class StandardLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        members.CheckFilter = standardstest::FilterOf({L"Previous"});
        members.StdLayerNames = standards::NameView::Of(kOldLayers);
        members.StdLinetypeNames = standards::NameView::Of(kOldLinetypes);
        members.StdTextStyleNames = standards::NameView::Of(kOldTextStyles);
        members.StdDimStyleNames = standards::NameView::Of(kOldDimStyles);
    }
    // Writes the bytes to a file of their own, which becomes file, and loads it.
    bool LoadBytes(std::string_view bytes) {
        file = folder / (L"standard" + std::to_wstring(++files) + L".ini");
        kvtest::WriteFileBytes(file, bytes);
        return members.Load(file);
    }
    // Loads each case's file into members in their previous state.
    template <std::size_t count>
    void Run(const LoadCase (&cases)[count]) {
        for (const LoadCase& c : cases) {
            SetUp();
            SCOPED_TRACE(c.what);
            EXPECT_EQ(LoadBytes(c.file), c.result);
            EXPECT_EQ(FilterElements(members.CheckFilter), c.filter);
            ExpectLists(c.layers, c.linetypes, c.textStyles, c.dimStyles);
        }
    }
    void ExpectUnchanged() {
        EXPECT_EQ(FilterElements(members.CheckFilter), kPreviousFilter);
        ExpectLists(kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles);
    }
    void ExpectLists(const NameList& layers, const NameList& linetypes, const NameList& textStyles,
                     const NameList& dimStyles) {
        EXPECT_EQ(members.StdLayerNames, layers);
        EXPECT_EQ(members.StdLinetypeNames, linetypes);
        EXPECT_EQ(members.StdTextStyleNames, textStyles);
        EXPECT_EQ(members.StdDimStyleNames, dimStyles);
    }

    kvtest::TempFolder folder;
    std::wstring file = folder / L"KVStPluginDefault.ini";
    int files = 0;
    LoadedMembers members;
};

TEST_F(StandardLoaderTest, FilesFillTheFilterAndTheListsByTheirStoppingRules) {
    const LoadCase cases[] = {
        {"the small example", kExampleFile, true, {L"AcadLayer", L"AcadTextStyle"},
         {L"0", L"Walls"}, kOldLinetypes, {L"Standard"}, kOldDimStyles},
        {"four kinds and an unknown type, names in their own order",
         IniLines({"[Common]", "TypeCount=5",
                   "[Type1]", "Type=AcadDimStyle", "NameCount=1", "Name1=ISO-25",
                   "[Type2]", "Type=AcadBlock", "NameCount=1", "Name1=Discarded",
                   "[Type3]", "Type=AcadLineType", "NameCount=2", "Name1=Dashed", "Name2=Continuous",
                   "[Type4]", "Type=AcadTextStyle", "NameCount=1", "Name1=Standard",
                   "[Type5]", "Type=AcadLayer", "NameCount=1", "Name1=Walls"}),
         true, {L"AcadDimStyle", L"AcadBlock", L"AcadLineType", L"AcadTextStyle", L"AcadLayer"},
         {L"Walls"}, {L"Dashed", L"Continuous"}, {L"Standard"}, {L"ISO-25"}},
        {"fewer sections than TypeCount",
         IniLines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A",
                   "[Type2]", "Type=AcadLineType", "NameCount=1", "Name1=B"}),
         true, {L"AcadLayer", L"AcadLineType", kEmpty}, {L"A"}, {L"B"}, kOldTextStyles, kOldDimStyles},
        {"a gap in the sections ends the walk",
         IniLines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A",
                   "[Type3]", "Type=AcadLineType", "NameCount=1", "Name1=Never read"}),
         true, {L"AcadLayer", kEmpty, kEmpty}, {L"A"}, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"a section without its Type key ends the walk",
         IniLines({"[Common]", "TypeCount=2", "[Type1]", "NameCount=1", "Name1=A",
                   "[Type2]", "Type=AcadLayer", "NameCount=1", "Name1=B"}),
         true, {kEmpty, kEmpty}, kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"a type name reading Return Err is missing",
         IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=Return Err", "NameCount=1", "Name1=A"}),
         true, {kEmpty}, kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"a missing NameCount ends the walk after entering the type name",
         IniLines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "Name1=A",
                   "[Type2]", "Type=AcadTextStyle", "NameCount=1", "Name1=B"}),
         true, {L"AcadLayer", kEmpty}, kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"a NameCount out of range ends the walk",
         IniLines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=40000", "Name1=A",
                   "[Type2]", "Type=AcadTextStyle", "NameCount=1", "Name1=B"}),
         true, {L"AcadLayer", kEmpty}, kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"a missing name leaves the rest of the list empty",
         IniLines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=3", "Name1=A",
                   "Name3=Never read", "[Type2]", "Type=AcadLineType", "NameCount=1", "Name1=B"}),
         true, {L"AcadLayer", L"AcadLineType"}, {L"A", L"", L""}, {L"B"}, kOldTextStyles, kOldDimStyles},
        {"a name reading Return Err is missing",
         IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2",
                   "Name1=Return Err", "Name2=B"}),
         true, {L"AcadLayer"}, {L"", L""}, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"type names compare exactly",
         IniLines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLinetype", "NameCount=1", "Name1=A",
                   "[Type2]", "Type=\"AcadLayer \"", "NameCount=1", "Name1=B",
                   "[Type3]", "Type=\"  AcadDimStyle\"", "NameCount=1", "Name1=C"}),
         true, {L"AcadLinetype", L"AcadLayer ", L"AcadDimStyle"},
         kOldLayers, kOldLinetypes, kOldTextStyles, {L"C"}},
        {"two sections of one kind: the later one wins",
         IniLines({"[Common]", "TypeCount=2",
                   "[Type1]", "Type=AcadLayer", "NameCount=3", "Name1=A", "Name2=B", "Name3=C",
                   "[Type2]", "Type=AcadLayer", "NameCount=1", "Name1=Only"}),
         true, {L"AcadLayer", L"AcadLayer"}, {L"Only"}, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"NameCount 0 under a known kind fails after the earlier sections",
         IniLines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A",
                   "[Type2]", "Type=AcadDimStyle", "NameCount=0",
                   "[Type3]", "Type=AcadLineType", "NameCount=1", "Name1=B"}),
         false, {L"AcadLayer", L"AcadDimStyle", kEmpty}, {L"A"}, kOldLinetypes, kOldTextStyles,
         kOldDimStyles},
        {"a negative NameCount under a known kind fails",
         IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadTextStyle", "NameCount=-2"}),
         false, {L"AcadTextStyle"}, kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"NameCount 0 or below under an unknown type reads nothing and goes on",
         IniLines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadBlock", "NameCount=0", "Name1=X",
                   "[Type2]", "Type=Other", "NameCount=-5",
                   "[Type3]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
         true, {L"AcadBlock", L"Other", L"AcadLayer"}, {L"A"}, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"names keep inner and trailing spaces and lose leading ones; empty names count",
         IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=4",
                   "Name1=\"  Leading\"", "Name2=\"Trailing  \"", "Name3=", "Name4=Inner  space"}),
         true, {L"AcadLayer"}, {L"Leading", L"Trailing  ", L"", L"Inner  space"}, kOldLinetypes,
         kOldTextStyles, kOldDimStyles},
        {"section and key names in any letter case; counts rounded half to even",
         IniLines({"[COMMON]", "typecount=1.5", "[type1]", "TYPE=AcadLayer", "namecount=2.5",
                   "NAME1=A", "name2=B", "Name3=Never read"}),
         true, {L"AcadLayer", kEmpty}, {L"A", L"B"}, kOldLinetypes, kOldTextStyles, kOldDimStyles},
    };
    Run(cases);
}

TEST_F(StandardLoaderTest, WithoutAUsableTypeCountNothingChanges) {
    const std::string cases[] = {
        "",
        IniLines({"[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "TypeCount=", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "TypeCount=abc", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "TypeCount=32768", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "TypeCount=0", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "TypeCount=-2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A"}),
        IniLines({"[Common]", "TypeCount=Return Err"}),
    };
    for (const std::string& bytes : cases) {
        SetUp();
        SCOPED_TRACE(bytes);
        EXPECT_FALSE(LoadBytes(bytes));
        ExpectUnchanged();
    }
}

TEST_F(StandardLoaderTest, PathsThatNameNoReadableFileFailAndChangeNothing) {
    kvtest::WriteFileBytes(file, kExampleFile);
    const std::wstring subfolder = folder / L"KVStPluginDefault.ini.d";
    ASSERT_TRUE(::CreateDirectoryW(subfolder.c_str(), nullptr));
    struct Case {
        std::wstring path;
        bool searchFindsIt;  // the reader is created only after the search found the path
    } cases[] = {
        {L"", false},
        {folder / L"missing.ini", false},
        {folder / L"missing folder\\KVStPluginDefault.ini", false},
        {subfolder, true},
        {folder.path(), true},
        // The search matches the file, the profile function cannot open a wildcard name.
        {folder / L"*.ini", true},
        {folder / L"\u0E01.ini", false},
    };
    for (const Case& c : cases) {
        SetUp();
        members.IniFuncs.reset();
        SCOPED_TRACE(kvtest::Utf8(c.path));
        EXPECT_FALSE(members.Load(c.path));
        ExpectUnchanged();
        EXPECT_EQ(members.IniFuncs != nullptr, c.searchFindsIt);
    }
}

TEST_F(StandardLoaderTest, AFileInAFolderTheCodePageCannotNameIsNotReadThroughASubstitute) {
    const std::wstring unnamable = folder / L"\u0E01";
    if (!::CreateDirectoryW(unnamable.c_str(), nullptr))
        GTEST_SKIP() << "the file system here cannot name a folder with a Thai letter either";
    kvtest::WriteFileBytes(unnamable + L"\\KVStPluginDefault.ini", kExampleFile);
    EXPECT_FALSE(members.Load(unnamable + L"\\KVStPluginDefault.ini"));
    ExpectUnchanged();
}

TEST_F(StandardLoaderTest, TheReaderIsCreatedOnFirstUseAndKept) {
    members.IniFuncs.reset();
    ASSERT_TRUE(LoadBytes(kExampleFile));
    standards::clsIniFuncs* const reader = members.IniFuncs.get();
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(members.Load(file));
    EXPECT_FALSE(members.Load(L""));
    EXPECT_EQ(members.IniFuncs.get(), reader);
}

TEST_F(StandardLoaderTest, ASecondLoadOfAnEditedFileKeepsTheKindsItNoLongerNames) {
    kvtest::WriteFileBytes(file, IniLines({"[Common]", "TypeCount=2",
                                           "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=A", "Name2=B",
                                           "[Type2]", "Type=AcadLineType", "NameCount=1", "Name1=Dashed"}));
    ASSERT_TRUE(members.Load(file));
    kvtest::WriteFileBytes(file, IniLines({"[Common]", "TypeCount=1",
                                           "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=C"}));
    ASSERT_TRUE(members.Load(file));
    EXPECT_THAT(FilterElements(members.CheckFilter), ElementsAre(L"AcadLayer"));
    ExpectLists({L"C"}, {L"Dashed"}, kOldTextStyles, kOldDimStyles);
}

// Deterministic bytes of every value, the NUL included.
std::string JunkBytes(std::size_t size, bool withSectionBrackets) {
    std::string junk(size, '\0');
    std::uint32_t state = 2463534242u;
    for (char& byte : junk) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
        if (!withSectionBrackets && byte == '[') byte = ']';
    }
    return junk;
}

TEST_F(StandardLoaderTest, JunkAndOversizedInputGiveTheOrdinaryResults) {
    const std::string hugeLine(100000, 'n');
    std::string tenMegabytes = IniLines({"[Common]", "TypeCount=1", "[Filler]"});
    for (int line = 0; tenMegabytes.size() < 10 * 1024 * 1024; ++line)
        tenMegabytes += "Key" + std::to_string(line) + "=" + std::string(100, 'f') + "\r\n";
    tenMegabytes += IniLines({"[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=After ten megabytes"});

    const LoadCase cases[] = {
        {"binary junk", JunkBytes(64 * 1024, true), false, kPreviousFilter,
         kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"binary junk in a section of its own", kExampleFile + "[Junk]\r\n" + JunkBytes(64 * 1024, false), true,
         {L"AcadLayer", L"AcadTextStyle"}, {L"0", L"Walls"}, kOldLinetypes, {L"Standard"}, kOldDimStyles},
        {"ten megabytes", tenMegabytes, true, {L"AcadLayer"}, {L"After ten megabytes"},
         kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"lines of 100,000 characters",
         IniLines({"[Common]", "TypeCount=2", hugeLine, "[Type1]", "Type=" + hugeLine, "NameCount=1",
                   "Name1=" + hugeLine, "[Type2]", "Type=AcadLayer", "NameCount=2", "Name1=" + hugeLine,
                   "Name2=Short"}),
         true, {std::wstring(254, L'n'), L"AcadLayer"}, {std::wstring(254, L'n'), L"Short"},
         kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"a count of 100,000 digits", IniLines({"[Common]", "TypeCount=" + std::string(100000, '1')}), false,
         kPreviousFilter, kOldLayers, kOldLinetypes, kOldTextStyles, kOldDimStyles},
        {"UTF-16 with a byte-order mark",
         Utf16WithByteOrderMark(kvtest::Wide(kExampleFile)), true, {L"AcadLayer", L"AcadTextStyle"},
         {L"0", L"Walls"}, kOldLinetypes, {L"Standard"}, kOldDimStyles},
        {"a NUL inside a name",
         IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1",
                   std::string("Name1=ab\0cd", 11)}),
         true, {L"AcadLayer"}, {L"ab"}, kOldLinetypes, kOldTextStyles, kOldDimStyles},
    };
    Run(cases);
}

TEST_F(StandardLoaderTest, LargestCountsWithTheSectionsMissingStopAtTheFirstGap) {
    ASSERT_TRUE(LoadBytes(IniLines({"[Common]", "TypeCount=32767", "[Type1]", "Type=AcadLayer",
                                    "NameCount=32767", "Name1=A", "Name2=B", "Name4=Never read"})));
    const std::vector<std::wstring> filter = FilterElements(members.CheckFilter);
    ASSERT_EQ(filter.size(), 32767u);
    EXPECT_EQ(filter[0], L"AcadLayer");
    EXPECT_THAT(std::vector<std::wstring>(filter.begin() + 1, filter.end()), Each(kEmpty));
    ASSERT_EQ(members.StdLayerNames.size(), 32767u);
    EXPECT_EQ(members.StdLayerNames[0], L"A");
    EXPECT_EQ(members.StdLayerNames[1], L"B");
    EXPECT_THAT(NameList(members.StdLayerNames.begin() + 2, members.StdLayerNames.end()), Each(IsEmpty()));
}

TEST_F(StandardLoaderTest, NamesTheCodePageCannotHoldComeBackSubstitutedWithoutHarm) {
    // Thai letters exist in neither the Western nor the Chinese code page.
    const std::wstring text = L"[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=3\r\n"
                              L"Name1=\u0E01\u0E02\r\nName2=Walls\r\nName3=A\u0E01B\r\n";
    ASSERT_TRUE(LoadBytes(Utf16WithByteOrderMark(text)));
    ASSERT_EQ(members.StdLayerNames.size(), 3u);
    EXPECT_EQ(members.StdLayerNames[0], L"??");
    EXPECT_EQ(members.StdLayerNames[1], L"Walls");
    EXPECT_EQ(members.StdLayerNames[2], L"A?B");
}

// The plug-in's own members, in their declaration order, filled through its private loader.
TEST(PluginLoaderWiringTest, ThePluginsLoaderFillsItsOwnMembers) {
    kvtest::TempFolder folder;
    const std::wstring file = folder / L"KVStPluginDefault.ini";
    kvtest::WriteFileBytes(file, IniLines({"[Common]", "TypeCount=4",
                                           "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=Layer",
                                           "[Type2]", "Type=AcadLineType", "NameCount=1", "Name1=Linetype",
                                           "[Type3]", "Type=AcadTextStyle", "NameCount=1", "Name1=Text",
                                           "[Type4]", "Type=AcadDimStyle", "NameCount=1", "Name1=Dim"}));
    kv::ComPtr<IKVStPlugin> plugin;
    ASSERT_EQ(plugin::KVStPluginDefault::Create(IID_PPV_ARGS(&plugin)), S_OK);
    ASSERT_TRUE(plugin::PluginInternals::Load(plugin.Get(), file));

    kv::Variant filter;
    ASSERT_EQ(plugin->GetCheckFilter(&filter), S_OK);
    EXPECT_THAT(FilterElements(filter), ElementsAre(L"AcadLayer", L"AcadLineType", L"AcadTextStyle", L"AcadDimStyle"));
    const std::vector<NameList> lists = plugin::PluginInternals::Lists(plugin.Get());
    const NameList expected[] = {{}, {}, {}, {}, {L"Layer"}, {L"Linetype"}, {L"Dim"}, {L"Text"}};
    for (std::size_t list = 0; list < lists.size(); ++list) EXPECT_EQ(lists[list], expected[list]) << list;
}

}  // namespace
