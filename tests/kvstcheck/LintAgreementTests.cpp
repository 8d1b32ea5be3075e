// What lint says a standard file loads is what the plug-in itself loads from it: on generated files
// with mistakes, the plug-in module (a staged copy, driven over COM as a host drives it) reports
// the same type names through GetCheckFilter, and its walk over a drawing of probe names finds
// exactly the names that lint's lists do not allow.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "com/Bstr.h"
#include "com/Variant.h"
#include "drawing/Drawing.h"
#include "kvstcheck/standardtools/Lint.h"
#include "support/StagedPlugin.h"
#include "support/TempFolder.h"
#include "tests/audit/HostDriver.h"

namespace {

// A standard file with some of the mistakes lint explains, chosen by the random state.
class StandardGenerator {
public:
    explicit StandardGenerator(unsigned caseNumber) : random_(caseNumber) {}

    std::string File() {
        const int sections = Pick(1, 5);
        Line("[Common]");
        Line("TypeCount=" + Choose<std::string>({std::to_string(sections), std::to_string(sections),
                                                 std::to_string(sections + 1), std::to_string(sections - 1), "0", "x",
                                                 "2.6", " " + std::to_string(sections)}));
        if (Chance(5)) Line("Version=1");
        for (int section = 1; section <= sections; ++section) {
            if (Chance(8)) continue;  // a gap
            Line("[Type" + std::to_string(Chance(10) ? section + 1 : section) + "]");
            if (!Chance(12))
                Line("Type=" + Choose<std::string>({"AcadLayer", "AcadLayer", "AcadLineType", "AcadTextStyle",
                                                    "AcadDimStyle", "AcadLinetype", "acadlayer", "AcadLayr", "Blocks", ""}));
            const int names = Pick(0, 5);
            if (!Chance(12))
                Line("NameCount=" + Choose<std::string>({std::to_string(names), std::to_string(names),
                                                         std::to_string(names + 1), std::to_string(names > 0 ? names - 1 : 0),
                                                         "x", ""}));
            for (int name = 1; name <= names + (Chance(6) ? 1 : 0); ++name) {
                if (Chance(10)) continue;  // a gap
                Line((Chance(15) ? "NAME" : "Name") + std::to_string(name) + "=" + Name());
            }
            if (Chance(8)) Line("bare line");
            if (Chance(8)) Line("Name1=again");
        }
        // Some files are saved as UTF-16, which the plug-in reads as Unicode in the code page.
        if (!Chance(6)) return text_;
        std::string utf16 = "\xFF\xFE";
        for (const char c : text_) utf16 += {c, '\0'};
        return utf16;
    }

    // Every name the generator may write, raw: probes for the plug-in's lists.
    static std::vector<std::string> Pool() {
        return {"0", "Walls", "walls", "WALLS", "A-DOOR", "a-door", "\"  Lead\"", "'Single'", "\"\"", "Return Err",
                "M\xF6" "bel", "x=y", "Trail  ", std::string(300, 'L'), "again"};
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int oneIn) { return Pick(1, oneIn) == 1; }
    template <class T>
    T Choose(std::initializer_list<T> options) {
        return *(options.begin() + Pick(0, static_cast<int>(options.size()) - 1));
    }
    std::string Name() {
        const auto pool = Pool();
        return pool[static_cast<std::size_t>(Pick(0, static_cast<int>(pool.size()) - 1))];
    }
    void Line(const std::string& line) { text_ += line + "\r\n"; }

    std::mt19937 random_;
    std::string text_;
};

std::vector<std::optional<std::wstring>> FilterOf(IKVStPlugin* plugin) {
    kv::Variant filter;
    EXPECT_EQ(plugin->GetCheckFilter(&filter), S_OK);
    std::vector<std::optional<std::wstring>> elements;
    if (filter.empty()) return elements;
    EXPECT_EQ(filter.type(), VT_ARRAY | VT_VARIANT);
    LONG upper = -1;
    ::SafeArrayGetUBound(filter.get().parray, 1, &upper);
    for (LONG index = 0; index <= upper; ++index) {
        kv::Variant element;
        EXPECT_EQ(::SafeArrayGetElement(filter.get().parray, &index, &element), S_OK);
        if (element.type() == VT_BSTR)
            elements.emplace_back(std::wstring(element.get().bstrVal, ::SysStringLen(element.get().bstrVal)));
        else
            elements.emplace_back();
    }
    return elements;
}

TEST(LintAgreement, WhatLintLoadsIsWhatThePluginLoads) {
    int loadedFiles = 0;
    int refusedFiles = 0;
    int utf16Files = 0;
    for (unsigned caseNumber = 1; caseNumber <= 40; ++caseNumber) {
        const std::string file = StandardGenerator(caseNumber).File();
        kvtest::StagedPlugin staged(file);
        const auto report = kvstcheck::LintStandardFile(staged.folder() + L"\\KVStPluginDefault.ini");
        ASSERT_TRUE(report.unreadable.empty()) << report.unreadable;
        const auto& loaded = report.loaded;
        if (file.starts_with("\xFF\xFE")) ++utf16Files;
        (loaded.loaded ? loadedFiles : refusedFiles) += 1;

        // Probes: every name lint loaded, and every name the file may hold, raw and as read.
        std::set<std::wstring> probes;
        for (const auto& names : loaded.names)
            if (names) probes.insert(names->begin(), names->end());
        for (const std::string& raw : StandardGenerator::Pool()) {
            std::wstring wide(raw.begin(), raw.end());
            for (wchar_t& c : wide) c = static_cast<wchar_t>(static_cast<unsigned char>(c));
            probes.insert(wide);
            probes.insert(wide.substr(0, 254));
        }
        probes.erase(L"");
        const std::vector<std::wstring> names(probes.begin(), probes.end());
        auto subject = drawing::MakeDrawing({names, names, names, names});

        auto plugin = staged.Create();
        const kv::Bstr path(L"C:\\probe.dwg");
        ASSERT_EQ(plugin->SetupForAudit(subject.Get(), path.get()), S_OK);
        EXPECT_EQ(FilterOf(plugin.Get()), loaded.typeNames) << "case " << caseNumber << "\n" << file;

        std::vector<audittest::FindingText> expected;
        const bool checks = loaded.loaded && !loaded.typeNames.empty() && loaded.typeNames[0] && !loaded.typeNames[0]->empty();
        for (std::size_t kind = 0; checks && kind < audit::kKindCount; ++kind)
            for (const std::wstring& name : names) {
                const auto& allowed = loaded.names[kind];
                if (!allowed || std::find(allowed->begin(), allowed->end(), name) == allowed->end())
                    expected.push_back({name, audit::kKinds[kind].label});
            }
        EXPECT_EQ(audittest::AllFindings(plugin.Get(), 4 * names.size()), expected) << "case " << caseNumber << "\n" << file;
        ASSERT_EQ(plugin->Clear(), S_OK);
    }
    // The cases cover both outcomes of a load.
    EXPECT_GT(loadedFiles, 5);
    EXPECT_GT(refusedFiles, 2);
    EXPECT_GT(utf16Files, 2);
}

}  // namespace
