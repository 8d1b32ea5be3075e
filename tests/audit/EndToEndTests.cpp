// The real plug-in module, staged with a standard file beside it, auditing a drawing object and
// reporting through the registered host library's own error class.
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "drawing/Drawing.h"
#include "support/DispatchCall.h"
#include "support/StagedPlugin.h"
#include "tests/audit/HostDriver.h"

namespace {

using audittest::FindingText;

const std::string kStandard = audittest::StandardText({
    {"AcadLayer", {"0", "Walls"}},
    {"AcadLineType", {"Continuous"}},
    {"AcadTextStyle", {"Standard"}},
    {"AcadDimStyle", {"ISO-25"}},
});

drawing::DrawingNames Plan() {
    return {{L"0", L"Doors", L"Walls", L"walls"}, {L"Continuous", L"Dashed"}, {L"Standard"}, {L"Arch", L"ISO-25"}};
}

const std::vector<FindingText> kFindings = {
    {L"Doors", L"图层"}, {L"walls", L"图层"}, {L"Dashed", L"线型"}, {L"Arch", L"标注样式"}};

TEST(RegisteredAuditTest, TheModuleReportsEveryFindingInTheHostsErrorObjects) {
    kvtest::StagedPlugin staged(kStandard);
    auto subject = drawing::MakeDrawing(Plan());
    kvtest::ServerFunction hostCanUnload = nullptr;
    {
        auto plugin = staged.Create();
        kv::Bstr path(L"C:\\plans\\ground.dwg");
        ASSERT_EQ(plugin->SetupForAudit(subject.Get(), path.get()), S_OK);
        EXPECT_EQ(kvtest::RefCount(subject.Get()), 2u);

        // The first finding, read as a script would, by name from the host's own object.
        VARIANT_BOOL found = VARIANT_FALSE;
        ASSERT_EQ(plugin->CheckNext(&found), S_OK);
        ASSERT_EQ(found, VARIANT_TRUE);
        kv::ComPtr<_KVStError> first;
        ASSERT_EQ(plugin->GetError(&first), S_OK);
        auto name = kvtest::PropertyGet(first.Get(), kvtest::IdOfName(first.Get(), L"EntryName"));
        ASSERT_EQ(name.hr, S_OK);
        EXPECT_STREQ(name.value.get().bstrVal, L"Doors");

        std::vector<FindingText> findings = {audittest::ReadFinding(first.Get())};
        for (const FindingText& finding : audittest::AllFindings(plugin.Get(), 10)) findings.push_back(finding);
        EXPECT_EQ(findings, kFindings);
        EXPECT_EQ(audittest::ReadFinding(first.Get()), kFindings[0]);

        // The plug-in keeps the host library's class object, and with it a lock on the module.
        const HMODULE host = ::GetModuleHandleW(kvtest::BuiltHostModule().c_str());
        ASSERT_NE(host, nullptr);
        hostCanUnload = kvtest::ExportOf<kvtest::ServerFunction>(host, "DllCanUnloadNow");
        first.Reset();
        EXPECT_EQ(hostCanUnload(), S_FALSE);

        // After Clear the same object audits again from the standard file.
        ASSERT_EQ(plugin->Clear(), S_OK);
        EXPECT_EQ(kvtest::RefCount(subject.Get()), 1u);
        ASSERT_EQ(plugin->SetupForAudit(subject.Get(), path.get()), S_OK);
        EXPECT_EQ(audittest::AllFindings(plugin.Get(), 10), kFindings);
    }
    EXPECT_EQ(kvtest::RefCount(subject.Get()), 1u);
    EXPECT_EQ(hostCanUnload(), S_OK);
}

}  // namespace
