// The plug-in's audit as the host drives it: SetupForAudit, then CheckNext and GetError until
// False, with the host's error class played by a double registered in this apartment.
#include <gtest/gtest.h>

#include <optional>

#include "com/Bstr.h"
#include "com/Module.h"
#include "drawing/Drawing.h"
#include "support/DispatchCall.h"
#include "tests/audit/HostDriver.h"
#include "tests/plugin/PluginInternals.h"

namespace {

using audittest::ErrorClassDouble;
using audittest::FindingText;
using plugin::PluginInternals;
using standards::NameList;

kv::ComPtr<IKVStPlugin> NewPlugin() {
    kv::ComPtr<IKVStPlugin> object;
    EXPECT_EQ(plugin::KVStPluginDefault::Create(IID_PPV_ARGS(&object)), S_OK);
    return object;
}

class PluginAuditTest : public ::testing::Test {
protected:
    // Puts names into the plug-in's lists as a setup would, kind by kind in walk order.
    void Fill(const audit::PerKind<NameList>& drawing, const audit::PerKind<NameList>& standard) {
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            *PluginInternals::DrawingLists(plugin.Get())[kind] = drawing[kind];
            *PluginInternals::StandardLists(plugin.Get())[kind] = standards::NameView::Of(standard[kind]);
        }
        PluginInternals::IndexStandardLists(plugin.Get());
    }

    std::optional<FindingText> Next() { return audittest::NextFinding(plugin.Get()); }
    std::vector<FindingText> WalkToEnd() { return audittest::AllFindings(plugin.Get(), 100); }

    kv::ComPtr<ErrorClassDouble> errors = kv::MakeObject<ErrorClassDouble>();
    std::optional<audittest::ErrorClassRegistration> registration{std::in_place, errors->unknown()};
    kv::ComPtr<IKVStPlugin> plugin = NewPlugin();
};

const audit::PerKind<NameList> kDrawing = {{{L"0", L"Walls", L"walls"}, {L"Dashed"}, {L"Standard", L"Notes"}, {L"ISO "}}};
const audit::PerKind<NameList> kStandard = {{{L"0", L"Walls"}, {}, {L"Standard"}, {L"ISO"}}};
const std::vector<FindingText> kFindings = {
    {L"walls", L"图层"}, {L"Dashed", L"线型"}, {L"Notes", L"文字样式"}, {L"ISO ", L"标注样式"}};

TEST_F(PluginAuditTest, FindingsComeOnePerCallEachInItsOwnNewErrorObject) {
    Fill(kDrawing, kStandard);
    EXPECT_EQ(WalkToEnd(), kFindings);
    // One object per call, the final False call included; a later call makes one more.
    EXPECT_EQ(errors->created, 5);
    EXPECT_EQ(Next(), std::nullopt);
    EXPECT_EQ(errors->created, 6);
    EXPECT_EQ(PluginInternals::CurrentError(plugin.Get()).Get(), nullptr);
    _KVStError* none = reinterpret_cast<_KVStError*>(1);
    EXPECT_EQ(plugin->GetError(&none), S_OK);
    EXPECT_EQ(none, nullptr);
}

TEST_F(PluginAuditTest, EntryNameIsSetBeforeKindLabelAndNothingElseIsTouched) {
    Fill(kDrawing, kStandard);
    ASSERT_TRUE(Next());
    ASSERT_NE(errors->last, nullptr);
    EXPECT_EQ(errors->last->setters, (std::vector<std::wstring>{L"EntryName", L"KindLabel"}));
    kv::ComPtr<_KVStError> held;
    ASSERT_EQ(plugin->GetError(&held), S_OK);
    EXPECT_EQ(held.Get(), static_cast<_KVStError*>(errors->last));
}

TEST_F(PluginAuditTest, GetErrorTwiceHandsOutTheSameObject) {
    Fill(kDrawing, kStandard);
    ASSERT_TRUE(Next());
    kv::ComPtr<_KVStError> first, second;
    ASSERT_EQ(plugin->GetError(&first), S_OK);
    ASSERT_EQ(plugin->GetError(&second), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
}

TEST_F(PluginAuditTest, AnObjectTheHostHoldsIsNeverWrittenAgain) {
    Fill(kDrawing, kStandard);
    ASSERT_TRUE(Next());
    auto* heldRecord = errors->last;
    kv::ComPtr<_KVStError> held;
    ASSERT_EQ(plugin->GetError(&held), S_OK);
    // The host skips GetError for the next finding and then runs to the end.
    VARIANT_BOOL found = VARIANT_FALSE;
    ASSERT_EQ(plugin->CheckNext(&found), S_OK);
    EXPECT_EQ(found, VARIANT_TRUE);
    while (found == VARIANT_TRUE) ASSERT_EQ(plugin->CheckNext(&found), S_OK);
    EXPECT_EQ(audittest::ReadFinding(held.Get()), kFindings[0]);
    EXPECT_EQ(heldRecord->setters.size(), 2u);
    EXPECT_EQ(kvtest::RefCount(held.Get()), 1u);
}

TEST_F(PluginAuditTest, AFailedCreationReportsTheFailureAndLosesNoFinding) {
    Fill(kDrawing, kStandard);
    ASSERT_TRUE(Next());
    kv::ComPtr<_KVStError> held;
    ASSERT_EQ(plugin->GetError(&held), S_OK);
    errors->failuresLeft = 2;
    for (int attempt = 0; attempt < 2; ++attempt) {
        VARIANT_BOOL found = VARIANT_TRUE;
        EXPECT_EQ(plugin->CheckNext(&found), E_OUTOFMEMORY);
        EXPECT_EQ(found, VARIANT_FALSE);
        _KVStError* none = reinterpret_cast<_KVStError*>(1);
        EXPECT_EQ(plugin->GetError(&none), S_OK);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(audittest::ReadFinding(held.Get()), kFindings[0]);
    std::vector<FindingText> rest(kFindings.begin() + 1, kFindings.end());
    EXPECT_EQ(WalkToEnd(), rest);
}

TEST_F(PluginAuditTest, TheClassObjectIsObtainedOnceAndLockedWhileKept) {
    Fill(kDrawing, kStandard);
    WalkToEnd();
    EXPECT_EQ(errors->lockCalls, 1);
    EXPECT_EQ(errors->locks, 1);
    const LONG objectsBefore = kv::module::ObjectCount();
    plugin.Reset();
    EXPECT_EQ(errors->locks, 0);
    EXPECT_EQ(kv::module::ObjectCount(), objectsBefore - 1);
}

// Answers IUnknown only, so that asking it for a class factory fails.
class NotAFactory : public kv::ComObject<IUnknown> {};

TEST_F(PluginAuditTest, AClassObjectThatCannotBeObtainedIsAskedForAgain) {
    Fill(kDrawing, kStandard);
    registration.reset();
    {
        kv::ComPtr<NotAFactory> broken = kv::MakeObject<NotAFactory>();
        audittest::ErrorClassRegistration shadow(broken->unknown());
        for (int attempt = 0; attempt < 2; ++attempt) {
            VARIANT_BOOL found = VARIANT_TRUE;
            EXPECT_EQ(plugin->CheckNext(&found), E_NOINTERFACE);
            EXPECT_EQ(found, VARIANT_FALSE);
        }
    }
    registration.emplace(errors->unknown());
    EXPECT_EQ(WalkToEnd(), kFindings);
    EXPECT_EQ(errors->lockCalls, 1);
}

TEST_F(PluginAuditTest, AFailingSetterStillReportsAndMovesOn) {
    Fill(kDrawing, kStandard);
    errors->setterResult = E_FAIL;
    VARIANT_BOOL found = VARIANT_FALSE;
    ASSERT_EQ(plugin->CheckNext(&found), S_OK);
    EXPECT_EQ(found, VARIANT_TRUE);
    EXPECT_EQ(errors->last->setters, (std::vector<std::wstring>{L"EntryName", L"KindLabel"}));
    EXPECT_EQ(PluginInternals::AuditCursor(plugin.Get()), (audit::Cursor{0, 3}));
    errors->setterResult = S_OK;
    EXPECT_EQ(Next(), kFindings[1]);
}

TEST_F(PluginAuditTest, ANullDrawingChangesNothing) {
    Fill(kDrawing, kStandard);
    ASSERT_TRUE(Next());
    auto drawing = drawing::MakeDrawing({});
    PluginInternals::CheckDb(plugin.Get()) = drawing;
    kv::Bstr path(L"C:\\a.dwg");
    ASSERT_EQ(plugin->SetupForAudit(nullptr, path.get()), S_OK);
    EXPECT_EQ(PluginInternals::CheckDb(plugin.Get()).Get(), drawing.Get());
    EXPECT_TRUE(PluginInternals::CheckPathName(plugin.Get()).empty());
    EXPECT_EQ(*PluginInternals::DrawingLists(plugin.Get())[0], kDrawing[0]);
    EXPECT_EQ(PluginInternals::AuditCursor(plugin.Get()), (audit::Cursor{0, 3}));
    EXPECT_EQ(Next(), kFindings[1]);
}

TEST_F(PluginAuditTest, SetupWithADrawingStartsAFreshAudit) {
    Fill(kDrawing, kStandard);
    ASSERT_TRUE(Next());
    PluginInternals::CheckFilter(plugin.Get()) = {L"AcadLayer"};
    auto drawing = drawing::MakeDrawing({{L"New"}, {}, {}, {}});
    kv::Bstr path(L"C:\\b.dwg");
    // No standard file beside the module: the load fails and the setup ends after the reset.
    ASSERT_EQ(plugin->SetupForAudit(drawing.Get(), path.get()), S_OK);
    EXPECT_EQ(PluginInternals::CheckDb(plugin.Get()).Get(), drawing.Get());
    EXPECT_EQ(PluginInternals::CheckPathName(plugin.Get()), L"C:\\b.dwg");
    EXPECT_EQ(PluginInternals::AuditCursor(plugin.Get()), audit::Cursor{});
    EXPECT_EQ(PluginInternals::CurrentError(plugin.Get()).Get(), nullptr);
    EXPECT_TRUE(PluginInternals::CheckFilter(plugin.Get()).empty());
    for (const standards::NameList& list : PluginInternals::Lists(plugin.Get())) EXPECT_TRUE(list.empty());
    EXPECT_EQ(Next(), std::nullopt);
}

TEST_F(PluginAuditTest, TheDrawingIsHeldOnceAndReleasedByClearOrTheLastRelease) {
    auto first = drawing::MakeDrawing({{L"A"}, {}, {}, {}});
    auto second = drawing::MakeDrawing({{L"B"}, {}, {}, {}});
    const ULONG start = kvtest::RefCount(first.Get());
    ASSERT_EQ(plugin->SetupForAudit(first.Get(), nullptr), S_OK);
    EXPECT_EQ(kvtest::RefCount(first.Get()), start + 1);
    ASSERT_EQ(plugin->SetupForAudit(second.Get(), nullptr), S_OK);
    EXPECT_EQ(kvtest::RefCount(first.Get()), start);
    EXPECT_EQ(kvtest::RefCount(second.Get()), start + 1);
    ASSERT_EQ(plugin->Clear(), S_OK);
    EXPECT_EQ(kvtest::RefCount(second.Get()), start);
    ASSERT_EQ(plugin->SetupForAudit(first.Get(), nullptr), S_OK);
    plugin.Reset();
    EXPECT_EQ(kvtest::RefCount(first.Get()), start);
}

}  // namespace
