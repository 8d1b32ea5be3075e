// SetupForAudit with a standard file beside the module: the snapshot it takes, its early exits,
// and one object auditing drawing after drawing.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "com/Bstr.h"
#include "com/Handle.h"
#include "com/Module.h"
#include "support/DispatchCall.h"
#include "support/TempFolder.h"
#include "tests/audit/DrawingDouble.h"
#include "tests/audit/HostDriver.h"
#include "tests/plugin/PluginInternals.h"

namespace {

using audittest::FindingText;
using audittest::RecordingDrawing;
using audittest::StandardText;
using audittest::TypeSection;
using plugin::PluginInternals;
using standards::NameList;

const std::vector<TypeSection> kStandard = {
    {"AcadLayer", {"0", "Walls"}},
    {"AcadLineType", {"Continuous"}},
    {"AcadTextStyle", {"Standard"}},
    {"AcadDimStyle", {"ISO-25"}},
};

drawing::DrawingNames SmallDrawing() {
    return {{L"0", L"Doors", L"Walls"}, {L"Continuous", L"dashed"}, {L"Standard"}, {L"ISO-25", L"Arch"}};
}

const std::vector<FindingText> kSmallFindings = {
    {L"Doors", L"图层"}, {L"dashed", L"线型"}, {L"Arch", L"标注样式"}};

class SetupTest : public ::testing::Test {
protected:
    void TearDown() override { ::DeleteFileW(standardPath.c_str()); }

    static std::wstring ModuleFolder() {
        std::wstring folder;
        EXPECT_EQ(kv::module::Folder(folder), S_OK);
        return folder;
    }

    void WriteStandard(const std::vector<TypeSection>& types) {
        kvtest::WriteFileBytes(standardPath, StandardText(types));
    }

    kv::ComPtr<IKVStPlugin> NewPlugin() {
        kv::ComPtr<IKVStPlugin> object;
        EXPECT_EQ(plugin::KVStPluginDefault::Create(IID_PPV_ARGS(&object)), S_OK);
        return object;
    }

    static HRESULT Setup(IKVStPlugin* plugin, IDispatch* drawing) {
        kv::Bstr path(L"C:\\drawings\\plan.dwg");
        return plugin->SetupForAudit(drawing, path.get());
    }

    std::wstring standardPath = ModuleFolder() + L"\\KVStPluginDefault.ini";
    kv::ComPtr<audittest::ErrorClassDouble> errors = kv::MakeObject<audittest::ErrorClassDouble>();
    audittest::ErrorClassRegistration registration{errors->unknown()};
};

TEST_F(SetupTest, ReadsTheDrawingInOrderAndReportsWhatTheStandardLacks) {
    WriteStandard(kStandard);
    auto plugin = NewPlugin();
    auto subject = kv::MakeObject<RecordingDrawing>(SmallDrawing());
    const LONG objectsBefore = kv::module::ObjectCount();
    ASSERT_EQ(Setup(plugin.Get(), subject.Get()), S_OK);
    EXPECT_EQ(kv::module::ObjectCount(), objectsBefore);
    EXPECT_EQ(PluginInternals::CheckPathName(plugin.Get()), L"C:\\drawings\\plan.dwg");
    const std::vector<std::wstring> reads(subject->log->begin(), subject->log->end());
    const std::vector<std::wstring> members = {L"Layers", L"Linetypes", L"TextStyles", L"DimStyles"};
    std::vector<std::wstring> memberReads;
    for (const std::wstring& call : reads)
        if (call.find(L'.') == std::wstring::npos) memberReads.push_back(call);
    EXPECT_EQ(memberReads, members);
    EXPECT_EQ(audittest::AllFindings(plugin.Get()), kSmallFindings);
}

TEST_F(SetupTest, AnEmptyFirstTypeNameLeavesTheDrawingUnread) {
    // TypeCount promises two sections, but [Type1] is missing: element 0 of the filter stays empty.
    kvtest::WriteFileBytes(standardPath,
                           "[Common]\r\nTypeCount=2\r\n[Type2]\r\nType=AcadLayer\r\nNameCount=1\r\nName1=0\r\n");
    auto plugin = NewPlugin();
    auto subject = kv::MakeObject<RecordingDrawing>(SmallDrawing());
    ASSERT_EQ(Setup(plugin.Get(), subject.Get()), S_OK);
    EXPECT_TRUE(subject->log->empty());
    EXPECT_EQ(PluginInternals::CheckFilter(plugin.Get()).size(), 2u);
    EXPECT_EQ(audittest::NextFinding(plugin.Get()), std::nullopt);
}

TEST_F(SetupTest, EachSetupStartsAFreshAuditOnTheSameObject) {
    WriteStandard(kStandard);
    auto plugin = NewPlugin();
    ASSERT_EQ(Setup(plugin.Get(), drawing::MakeDrawing(SmallDrawing()).Get()), S_OK);
    EXPECT_EQ(audittest::AllFindings(plugin.Get()), kSmallFindings);

    // The second drawing has no DimStyles member; the new standard names no layers.
    WriteStandard({{"AcadLineType", {"Continuous"}}, {"AcadTextStyle", {"Standard"}}, {"AcadDimStyle", {"X"}}});
    std::vector<audittest::TableFaults> faults(drawing::kTableCount);
    faults[3].missingMember = true;
    auto second = kv::MakeObject<RecordingDrawing>(
        drawing::DrawingNames{{L"0", L"Walls"}, {L"Continuous"}, {L"Notes"}, {L"ISO-25"}}, faults);
    ASSERT_EQ(Setup(plugin.Get(), second.Get()), S_OK);
    EXPECT_TRUE(PluginInternals::StandardLists(plugin.Get())[0]->empty());
    EXPECT_TRUE(PluginInternals::DrawingLists(plugin.Get())[3]->empty());
    EXPECT_EQ(audittest::AllFindings(plugin.Get()),
              (std::vector<FindingText>{{L"0", L"图层"}, {L"Walls", L"图层"}, {L"Notes", L"文字样式"}}));
}

// Each setup reads the file again: an edit between two audits of one object is seen, also one
// that keeps the file's size and time stamps (each edit here swaps names of equal length).
TEST_F(SetupTest, AnEditBetweenTwoAuditsOfOneObjectIsSeen) {
    const struct Edit {
        const char* what;
        bool keepTimes;
    } edits[] = {{"a plain edit", false}, {"an edit that keeps size and time stamps", true}};
    for (const Edit& edit : edits) {
        WriteStandard(kStandard);
        FILETIME created{}, accessed{}, written{};
        {
            const kv::FileHandle file(::CreateFileW(standardPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(::GetFileTime(file.get(), &created, &accessed, &written));
        }
        auto plugin = NewPlugin();
        ASSERT_EQ(Setup(plugin.Get(), drawing::MakeDrawing(SmallDrawing()).Get()), S_OK);
        EXPECT_EQ(audittest::AllFindings(plugin.Get()), kSmallFindings) << edit.what;

        WriteStandard({{"AcadLayer", {"0", "Doors"}}, {"AcadLineType", {"Continuous"}}, {"AcadTextStyle", {"Standard"}},
                       {"AcadDimStyle", {"ISO-25"}}});
        if (edit.keepTimes) {
            const kv::FileHandle file(::CreateFileW(standardPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(::SetFileTime(file.get(), &created, &accessed, &written));
        }
        ASSERT_EQ(Setup(plugin.Get(), drawing::MakeDrawing(SmallDrawing()).Get()), S_OK);
        EXPECT_EQ(audittest::AllFindings(plugin.Get()),
                  (std::vector<FindingText>{{L"Walls", L"图层"}, {L"dashed", L"线型"}, {L"Arch", L"标注样式"}}))
            << edit.what;
        // The same bytes again: the same answers.
        ASSERT_EQ(Setup(plugin.Get(), drawing::MakeDrawing(SmallDrawing()).Get()), S_OK);
        EXPECT_EQ(audittest::AllFindings(plugin.Get()).size(), 3u) << edit.what;
    }
}

TEST_F(SetupTest, AfterClearASetupLoadsTheStandardFileAgain) {
    WriteStandard(kStandard);
    auto plugin = NewPlugin();
    ASSERT_EQ(plugin->Clear(), S_OK);
    kv::Variant filter;
    ASSERT_EQ(plugin->GetCheckFilter(&filter), S_OK);
    EXPECT_EQ(filter.type(), VT_EMPTY);
    ASSERT_EQ(Setup(plugin.Get(), drawing::MakeDrawing(SmallDrawing()).Get()), S_OK);
    ASSERT_EQ(plugin->GetCheckFilter(&filter), S_OK);
    EXPECT_EQ(filter.type(), VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(audittest::AllFindings(plugin.Get()), kSmallFindings);
}

TEST_F(SetupTest, AStandardFileThatAppearsLaterIsFoundAtSetup) {
    auto plugin = NewPlugin();
    auto drawing = drawing::MakeDrawing(SmallDrawing());
    ASSERT_EQ(Setup(plugin.Get(), drawing.Get()), S_OK);
    EXPECT_EQ(audittest::NextFinding(plugin.Get()), std::nullopt);
    WriteStandard(kStandard);
    ASSERT_EQ(Setup(plugin.Get(), drawing.Get()), S_OK);
    EXPECT_EQ(audittest::AllFindings(plugin.Get()), kSmallFindings);
}

TEST_F(SetupTest, LongListsReportEveryFindingInOrder) {
    // Layers 150 (findings at 120 and 149), linetypes 101 (finding at 100), no text styles, and
    // 40000 dimension styles of which the standard names none.
    drawing::DrawingNames names;
    std::vector<std::string> layers, linetypes, dimStyles;
    std::vector<FindingText> expected;
    auto add = [&](drawing::Names& list, std::vector<std::string>& standard, const wchar_t* label, int count,
                   const std::function<bool(int)>& isFinding) {
        for (int i = 0; i < count; ++i) {
            const std::string name = "N" + std::to_string(i);
            list.push_back(kvtest::Wide(name));
            if (isFinding(i))
                expected.push_back({list.back(), label});
            else
                standard.push_back(name);
        }
    };
    add(names.layers, layers, L"图层", 150, [](int i) { return i == 120 || i == 149; });
    add(names.linetypes, linetypes, L"线型", 101, [](int i) { return i == 100; });
    add(names.dimStyles, dimStyles, L"标注样式", 40000, [](int) { return true; });
    WriteStandard({{"AcadLayer", layers}, {"AcadLineType", linetypes}});
    auto plugin = NewPlugin();
    ASSERT_EQ(Setup(plugin.Get(), drawing::MakeDrawing(std::move(names)).Get()), S_OK);
    EXPECT_EQ(audittest::AllFindings(plugin.Get(), expected.size()), expected);
    EXPECT_EQ(errors->created, static_cast<int>(expected.size()) + 1);
}

TEST_F(SetupTest, EverythingTheSnapshotTouchedIsReleased) {
    WriteStandard(kStandard);
    auto subject = kv::MakeObject<RecordingDrawing>(SmallDrawing());
    const LONG objectsBefore = kv::module::ObjectCount();
    const ULONG start = kvtest::RefCount(subject->unknown());
    {
        auto plugin = NewPlugin();
        ASSERT_EQ(Setup(plugin.Get(), subject.Get()), S_OK);
        EXPECT_EQ(kvtest::RefCount(subject->unknown()), start + 1);
        ASSERT_EQ(plugin->Clear(), S_OK);
        EXPECT_EQ(kvtest::RefCount(subject->unknown()), start);
        ASSERT_EQ(Setup(plugin.Get(), subject.Get()), S_OK);
        audittest::AllFindings(plugin.Get());
    }
    EXPECT_EQ(kvtest::RefCount(subject->unknown()), start);
    EXPECT_EQ(kv::module::ObjectCount(), objectsBefore);
}

}  // namespace
