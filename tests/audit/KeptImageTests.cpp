// The real module keeps each thread's last standard file image: an edit is still seen at the next
// audit, objects on one thread answer alike, and the images go when their threads end and when the
// module is unloaded, which leaves the module's file free to delete.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "com/Bstr.h"
#include "com/Handle.h"
#include "drawing/Drawing.h"
#include "support/StagedPlugin.h"
#include "tests/audit/HostDriver.h"

namespace {

using audittest::FindingText;

std::string Standard(const std::string& layer, std::size_t namesPerKind = 1) {
    std::vector<audittest::TypeSection> types = {
        {"AcadLayer", {"0", layer}}, {"AcadLineType", {"Continuous"}}, {"AcadTextStyle", {"Standard"}},
        {"AcadDimStyle", {"ISO-25"}}};
    for (auto& [type, names] : types)
        for (std::size_t i = names.size(); i < namesPerKind; ++i) names.push_back(type + "-" + std::to_string(i));
    return audittest::StandardText(types);
}

drawing::DrawingNames Plan() {
    return {{L"0", L"Doors", L"Walls", L"walls"}, {L"Continuous"}, {L"Standard"}, {L"ISO-25"}};
}

// The findings of a setup on a new object of the module.
std::vector<FindingText> Audit(const kvtest::StagedPlugin& staged) {
    const auto plugin = staged.Create();
    const kv::Bstr path(L"C:\\plans\\ground.dwg");
    EXPECT_EQ(plugin->SetupForAudit(drawing::MakeDrawing(Plan()).Get(), path.get()), S_OK);
    return audittest::AllFindings(plugin.Get());
}

// The same on a thread of its own, with its own apartment, which has ended when this returns.
std::vector<FindingText> AuditOnThread(const kvtest::StagedPlugin& staged) {
    std::vector<FindingText> findings;
    std::thread([&] {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        findings = Audit(staged);
        ::CoUninitialize();
    }).join();
    return findings;
}

// Replaces the file's bytes with others of the same size, and gives it back its time stamps.
void EditKeepingSizeAndTimes(const std::wstring& path, const std::string& bytes) {
    FILETIME created{}, accessed{}, written{};
    {
        const kv::FileHandle file(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(::GetFileTime(file.get(), &created, &accessed, &written));
        LARGE_INTEGER size{};
        ASSERT_TRUE(::GetFileSizeEx(file.get(), &size));
        ASSERT_EQ(static_cast<std::size_t>(size.QuadPart), bytes.size());
    }
    kvtest::WriteFileBytes(path, bytes);
    const kv::FileHandle file(
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(::SetFileTime(file.get(), &created, &accessed, &written));
}

// The process's committed private memory (PrivateUsage is the same figure, and left 0 by this Wine).
double PrivateMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    EXPECT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters));
    return static_cast<double>(counters.PagefileUsage) / (1024 * 1024);
}

TEST(KeptImageTest, EditsThatKeepSizeAndTimeStampsAreSeenAtTheNextAuditOfEveryObject) {
    const std::vector<FindingText> walls = {{L"Doors", L"图层"}, {L"walls", L"图层"}};
    const struct Edit {
        const char* layer;
        std::vector<FindingText> findings;
    } edits[] = {
        {"Doors", {{L"Walls", L"图层"}, {L"walls", L"图层"}}},
        {"walls", {{L"Doors", L"图层"}, {L"Walls", L"图层"}}},
        {"Walls", walls},
    };
    kvtest::StagedPlugin staged(Standard("Walls"));
    const std::wstring standardPath = staged.folder() + L"\\KVStPluginDefault.ini";
    const auto kept = staged.Create();
    const kv::Bstr path(L"C:\\plans\\ground.dwg");
    ASSERT_EQ(kept->SetupForAudit(drawing::MakeDrawing(Plan()).Get(), path.get()), S_OK);
    EXPECT_EQ(audittest::AllFindings(kept.Get()), walls);
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.layer);
        EditKeepingSizeAndTimes(standardPath, Standard(edit.layer));
        ASSERT_EQ(kept->SetupForAudit(drawing::MakeDrawing(Plan()).Get(), path.get()), S_OK);
        EXPECT_EQ(audittest::AllFindings(kept.Get()), edit.findings);
        // New objects on this thread and on another answer as the kept one does.
        EXPECT_EQ(Audit(staged), edit.findings);
        EXPECT_EQ(Audit(staged), edit.findings);
        EXPECT_EQ(AuditOnThread(staged), edit.findings);
    }
}

TEST(KeptImageTest, ThreadsThatEndAndAnUnloadedModuleLeaveNoImageBehind) {
    // Each image holds at least the file's bytes.
    const std::string standard = Standard("Walls", 10000);
    const double fileMegabytes = static_cast<double>(standard.size()) / (1024 * 1024);
    const std::vector<FindingText> findings = {{L"Doors", L"图层"}, {L"walls", L"图层"}};
    kvtest::StagedPlugin staged(standard);
    const std::wstring modulePath = staged.modulePath();
    // The first threads leave the heap grown by freed blocks that it keeps for reuse.
    for (int thread = 0; thread < 2; ++thread) ASSERT_EQ(AuditOnThread(staged), findings);
    const double afterTwoThreads = PrivateMegabytes();
    for (int thread = 0; thread < 8; ++thread) ASSERT_EQ(AuditOnThread(staged), findings);
    // Kept images would add eight files' worth at least; the heap's own slack stays well below half that.
    EXPECT_LT(PrivateMegabytes() - afterTwoThreads, 4 * fileMegabytes) << "eight more threads that ended";

    // This thread and one that keeps running hold an image each when the module goes.
    std::promise<void> loaded, end;
    std::thread running([&] {
        if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            EXPECT_EQ(Audit(staged), findings);
            ::CoUninitialize();
        }
        loaded.set_value();
        end.get_future().wait();
    });
    loaded.get_future().wait();
    EXPECT_EQ(Audit(staged), findings);
    const double beforeUnload = PrivateMegabytes();
    staged.Unload();
    EXPECT_GT(beforeUnload - PrivateMegabytes(), 2 * fileMegabytes) << "both images are freed";
    EXPECT_TRUE(::DeleteFileW(modulePath.c_str())) << "the module is not pinned: " << ::GetLastError();
    end.set_value();
    running.join();
}

}  // namespace
