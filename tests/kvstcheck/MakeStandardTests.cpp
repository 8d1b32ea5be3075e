#include "kvstcheck/standardtools/MakeStandard.h"

#include <gtest/gtest.h>

#include "kvstcheck/standardtools/LoadedStandard.h"
#include "kvstcheck/standardtools/Lint.h"
#include "support/TempFolder.h"

namespace {

using kvstcheck::DraftStandard;
using kvstcheck::DrawingNames;
using kvstcheck::ReferenceDrawing;

constexpr UINT kWestern = 1252;

TEST(MakeStandard, EveryNameOnceInFirstSeenOrderInTheFilesFormat) {
    const std::vector<ReferenceDrawing> drawings = {
        {L"a.dxf", DrawingNames{{L"0", L"Walls", L"M\u00F6bel"}, {}, {L"Standard"}, {}}},
        {L"b.json", DrawingNames{{L"Doors", L"Walls", L"walls"}, {}, {L"Notes", L"Standard"}, {L"'quoted'", L"\"x\""}}},
    };
    const auto draft = DraftStandard(drawings, kWestern);
    EXPECT_TRUE(draft.refusals.empty());
    EXPECT_EQ(draft.nameCounts, (audit::PerKind<std::size_t>{5, 0, 2, 2}));
    EXPECT_EQ(draft.bytes,
              "; The names a drawing may use, per kind: made by kvstcheck make-standard from 2 reference drawings.\r\n"
              "[Common]\r\nTypeCount=3\r\n"
              "\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=5\r\n"
              "Name1=0\r\nName2=Walls\r\nName3=M\xF6" "bel\r\nName4=Doors\r\nName5=walls\r\n"
              "\r\n[Type2]\r\nType=AcadTextStyle\r\nNameCount=2\r\nName1=Standard\r\nName2=Notes\r\n"
              "\r\n[Type3]\r\nType=AcadDimStyle\r\nNameCount=2\r\nName1=\"'quoted'\"\r\nName2='\"x\"'\r\n");
}

TEST(MakeStandard, RefusesEachNameItCannotWriteFaithfullyAndWritesNothing) {
    const std::wstring tooMany(32767, L'x');
    // Each name as the message shows it: in its display form, so that nothing of it acts on a terminal.
    const struct {
        std::wstring name;
        const char* problem;
        const char* shown = nullptr;  // when it differs from the name
    } cases[] = {
        {L" lead", "begins or ends with a space or tab", "<U+0020>lead"},
        {L"trail ", "begins or ends with a space or tab", "trail<U+0020>"},
        {L"\tlead", "begins or ends with a space or tab", "<U+0009>lead"},
        {L"two\r\nlines", "holds a control character", "two<U+000D><U+000A>lines"},
        {std::wstring(L"nul\0", 4), "holds a control character", "nul<U+0000>"},
        {L"esc\x1B[2J", "holds a control character", "esc<U+001B>[2J"},
        {L"Return Err", "reads as a missing name"},
        {L"\u56FE\u5C42", "cannot be written in the system code page 1252"},
        {std::wstring(255, L'a'), "is 255 bytes long in code page 1252; the plug-in reads at most 254"},
        {L"'" + std::wstring(252, L'a') + L"'", "is 254 bytes long in code page 1252; the plug-in reads at most 253"},
    };
    for (const auto& c : cases) {
        const auto draft = DraftStandard({{L"d.json", DrawingNames{{L"0", c.name}, {}, {}, {}}}}, kWestern);
        EXPECT_TRUE(draft.bytes.empty()) << kvtest::Utf8(c.name);
        ASSERT_EQ(draft.refusals.size(), 1u) << kvtest::Utf8(c.name);
        const std::string shown = c.shown ? c.shown : kvtest::Utf8(c.name);
        EXPECT_EQ(draft.refusals[0].find("d.json: layer \"" + shown + "\" " + c.problem), 0u) << draft.refusals[0];
    }
    // The longest names that can be written are written.
    const auto longest = DraftStandard({{L"d.json", DrawingNames{{std::wstring(254, L'a')}, {}, {}, {}}}}, kWestern);
    EXPECT_TRUE(longest.refusals.empty());
}

TEST(MakeStandard, MoreNamesThanASectionDeclaresAndNoNamesAtAll) {
    // One line per kind over the limit, whatever its count; names that cannot be written still get theirs,
    // and names repeated across drawings count once.
    const struct {
        int layers;
        int linetypes;
        std::vector<std::string> refusals;
    } cases[] = {
        {32767, 0, {}},
        {32768, 0, {"the reference drawings hold 32768 layers that can be written, more than a section can declare (32767)"}},
        {100000, 40000,
         {"the reference drawings hold 100000 layers that can be written, more than a section can declare (32767)",
          "the reference drawings hold 40000 linetypes that can be written, more than a section can declare (32767)"}},
    };
    for (const auto& c : cases) {
        DrawingNames many;
        many.layers = {L"Bad\r\nname"};
        for (int i = 0; i < c.layers; ++i) many.layers.push_back(L"A-" + std::to_wstring(i));
        for (int i = 0; i < c.linetypes; ++i) many.linetypes.push_back(L"L" + std::to_wstring(i));
        const auto draft = DraftStandard({{L"big.json", many}, {L"again.json", many}}, kWestern);
        ASSERT_EQ(draft.refusals.size(), c.refusals.size() + 1) << c.layers;
        EXPECT_EQ(draft.unfaithfulNames, 1u);
        const std::vector<std::string> kinds(draft.refusals.begin() + 1, draft.refusals.end());
        EXPECT_EQ(kinds, c.refusals);
        EXPECT_TRUE(draft.bytes.empty());
    }

    // Drawings without names refuse no name: there is simply nothing to write.
    const auto empty = DraftStandard({{L"empty.json", {}}, {L"none.dxf", {}}}, kWestern);
    EXPECT_TRUE(empty.refusals.empty());
    EXPECT_TRUE(empty.bytes.empty());
    EXPECT_EQ(empty.nameCounts, (audit::PerKind<std::size_t>{}));
}

// What the plug-in loads from a made file is exactly the names it was made from, and lint has
// nothing to say about it.
TEST(MakeStandard, RoundTripThroughThePluginsLoaderAndLint) {
    const UINT codePage = ::GetACP();
    const std::vector<std::wstring> layers = {L"0", L"A-WALL", L"a-wall-old", L"x=y", L"[not a section]", L";not a comment",
                                              L"'q'", L"\"q\"", L"\"", L"in \"quotes\" inside", L"Return err", L"tab\tinside",
                                              std::wstring(254, L'z'), L"Name1", L"\u00C9tage"};
    const DrawingNames names{layers, {L"Continuous"}, {}, {L"ISO-25", L"Arch"}};
    const auto draft = DraftStandard({{L"r.json", names}}, codePage);
    ASSERT_TRUE(draft.refusals.empty()) << draft.refusals.front();
    kvtest::TempFolder folder;
    const std::wstring path = folder / L"made.ini";
    kvtest::WriteFileBytes(path, draft.bytes);

    const auto loaded = kvstcheck::LoadAsThePluginDoes(path);
    ASSERT_TRUE(loaded.loaded);
    ASSERT_TRUE(loaded.names[0]);
    EXPECT_EQ(*loaded.names[0], layers);
    EXPECT_EQ(loaded.names[1], standards::NameList{L"Continuous"});
    EXPECT_FALSE(loaded.names[2]);
    EXPECT_EQ(loaded.names[3], (standards::NameList{L"ISO-25", L"Arch"}));
    const auto warnings = kvstcheck::FindLintWarnings(draft.bytes, codePage, loaded);
    EXPECT_TRUE(warnings.empty()) << warnings.front().line << ": " << warnings.front().problem;
}

}  // namespace
