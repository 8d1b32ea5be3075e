// The loader's algorithm over values given by a test, and the pooled store of its names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <new>
#include <string>

#include "standards/NameStore.h"
#include "standards/StandardLoad.h"

namespace {

using standards::LoadEnd;
using standards::LoadRead;
using testing::ElementsAre;

// Values by section and key, as "Type2/Name3" = "x"; counts are parsed from their text. A key
// listed under failAt throws, as exhausted memory would.
class MapValues final : public standards::StandardValues {
public:
    MapValues(std::map<std::string, std::wstring> values, std::string failAt = {})
        : values_(std::move(values)), failAt_(std::move(failAt)) {}

    bool TypeCount(std::int32_t& count) override { return CountOf("Common/TypeCount", count); }
    bool NameCount(std::int16_t section, std::int32_t& count) override {
        return CountOf("Type" + std::to_string(section) + "/NameCount", count);
    }
    bool TypeName(std::int16_t section, std::wstring& text) override {
        return TextOf("Type" + std::to_string(section) + "/Type", text);
    }
    bool Name(std::int16_t section, std::int16_t name, std::wstring& text) override {
        return TextOf("Type" + std::to_string(section) + "/Name" + std::to_string(name), text);
    }

private:
    bool TextOf(const std::string& key, std::wstring& text) {
        if (key == failAt_) throw std::bad_alloc();
        const auto found = values_.find(key);
        if (found == values_.end()) return false;
        text = found->second;
        return true;
    }
    bool CountOf(const std::string& key, std::int32_t& count) {
        std::wstring text;
        if (!TextOf(key, text) || text.empty() || text.find_first_not_of(L"-0123456789") != std::wstring::npos)
            return false;
        count = std::stoi(text);
        return true;
    }

    std::map<std::string, std::wstring> values_;
    std::string failAt_;
};

std::vector<std::wstring> Names(const standards::NameView& view) { return {view.begin(), view.end()}; }

// The reads as "what section.name found", in order.
std::vector<std::string> Reads(const standards::LoadAccount& account) {
    static const char* const kinds[] = {"TypeCount", "Type", "NameCount", "Name"};
    std::vector<std::string> reads;
    for (const LoadRead& read : account.reads)
        reads.push_back(std::string(kinds[static_cast<int>(read.of)]) + " " + std::to_string(read.section) + "." +
                        std::to_string(read.name) + (read.found ? " found" : " missing"));
    return reads;
}

TEST(StandardLoadTest, WhereAndWhyLoadingEnds) {
    const struct Case {
        const char* what;
        std::map<std::string, std::wstring> values;
        bool loaded;
        LoadEnd end;
        std::int16_t endSection;
        std::size_t reads;
    } cases[] = {
        {"complete", {{"Common/TypeCount", L"1"}, {"Type1/Type", L"AcadLayer"}, {"Type1/NameCount", L"1"}, {"Type1/Name1", L"0"}},
         true, LoadEnd::Completed, 0, 4},
        {"no type count", {}, false, LoadEnd::NoTypeCount, 0, 1},
        {"type count zero", {{"Common/TypeCount", L"0"}}, false, LoadEnd::TypeCountBelowOne, 0, 1},
        {"second section missing", {{"Common/TypeCount", L"2"}, {"Type1/Type", L"X"}, {"Type1/NameCount", L"0"}},
         true, LoadEnd::NoTypeName, 2, 4},
        {"no name count", {{"Common/TypeCount", L"1"}, {"Type1/Type", L"AcadLayer"}}, true, LoadEnd::NoNameCount, 1, 3},
        {"name count zero under a known type",
         {{"Common/TypeCount", L"1"}, {"Type1/Type", L"AcadDimStyle"}, {"Type1/NameCount", L"0"}},
         false, LoadEnd::NameCountBelowOne, 1, 3},
        {"a missing name ends only its section",
         {{"Common/TypeCount", L"2"}, {"Type1/Type", L"AcadLayer"}, {"Type1/NameCount", L"3"}, {"Type1/Name1", L"a"},
          {"Type1/Name3", L"c"}, {"Type2/Type", L"AcadLineType"}, {"Type2/NameCount", L"1"}, {"Type2/Name1", L"d"}},
         true, LoadEnd::Completed, 0, 8},
    };
    for (const Case& c : cases) {
        MapValues values(c.values);
        const standards::StandardLoad load = standards::LoadStandard(values, true);
        ASSERT_TRUE(load.account) << c.what;
        EXPECT_EQ(load.loaded, c.loaded) << c.what;
        EXPECT_EQ(load.account->end, c.end) << c.what;
        EXPECT_EQ(load.account->endSection, c.endSection) << c.what;
        EXPECT_EQ(load.account->reads.size(), c.reads) << c.what;
        MapValues again(c.values);
        EXPECT_FALSE(standards::LoadStandard(again, false).account) << c.what << ": built only when asked for";
    }
}

TEST(StandardLoadTest, KindsTypeNamesAndTheAccountOfAGap) {
    MapValues values({{"Common/TypeCount", L"3"}, {"Type1/Type", L"AcadLayer"}, {"Type1/NameCount", L"3"},
                      {"Type1/Name1", L"Walls"}, {"Type1/Name3", L"never read"}, {"Type2/Type", L"Blocks"},
                      {"Type2/NameCount", L"1"}, {"Type2/Name1", L"B"}});
    const standards::StandardLoad load = standards::LoadStandard(values, true);
    EXPECT_TRUE(load.loaded);
    ASSERT_TRUE(load.typeNames);
    EXPECT_THAT(*load.typeNames, ElementsAre(std::optional<std::wstring>(L"AcadLayer"), std::optional<std::wstring>(L"Blocks"),
                                             std::nullopt));
    EXPECT_TRUE(load.kinds[0].filled);
    EXPECT_THAT(Names(load.kinds[0].names), ElementsAre(L"Walls", L"", L""));
    for (std::size_t kind = 1; kind < standards::kStandardKindCount; ++kind) EXPECT_FALSE(load.kinds[kind].filled);
    EXPECT_THAT(Reads(*load.account),
                ElementsAre("TypeCount 0.0 found", "Type 1.0 found", "NameCount 1.0 found", "Name 1.1 found",
                            "Name 1.2 missing", "Type 2.0 found", "NameCount 2.0 found", "Name 2.1 found",
                            "Type 3.0 missing"));
    EXPECT_EQ(load.account->reads[3].text, L"Walls");
    EXPECT_EQ(load.account->reads[2].count, 3);
}

TEST(StandardLoadTest, ALaterSectionOfAKindReplacesTheEarlierNames) {
    MapValues values({{"Common/TypeCount", L"2"}, {"Type1/Type", L"AcadLayer"}, {"Type1/NameCount", L"2"},
                      {"Type1/Name1", L"a"}, {"Type1/Name2", L"b"}, {"Type2/Type", L"AcadLayer"},
                      {"Type2/NameCount", L"1"}, {"Type2/Name1", L"c"}});
    const standards::StandardLoad load = standards::LoadStandard(values, false);
    EXPECT_THAT(Names(load.kinds[0].names), ElementsAre(L"c"));
}

TEST(StandardLoadTest, AFailureEndsTheLoadWithWhatWasRead) {
    MapValues values({{"Common/TypeCount", L"2"}, {"Type1/Type", L"AcadLayer"}, {"Type1/NameCount", L"2"},
                      {"Type1/Name1", L"a"}, {"Type1/Name2", L"b"}, {"Type2/Type", L"AcadTextStyle"}},
                     "Type2/NameCount");
    const standards::StandardLoad load = standards::LoadStandard(values, true);
    EXPECT_FALSE(load.loaded);
    EXPECT_EQ(load.account->end, LoadEnd::Failure);
    EXPECT_THAT(Names(load.kinds[0].names), ElementsAre(L"a", L"b"));
    EXPECT_FALSE(load.kinds[2].filled);
}

TEST(NamePoolTest, ViewsStayValidWhileThePoolGrows) {
    auto pool = std::make_shared<standards::NamePool>();
    std::vector<std::wstring_view> views;
    std::vector<std::wstring> originals;
    // Names of many sizes, past the first blocks and larger than a block.
    for (std::size_t length : {0u, 1u, 7u, 100u, 4095u, 4096u, 4097u, 70000u, 3u, 2000000u, 5u}) {
        for (int copy = 0; copy < 40; ++copy) {
            originals.push_back(std::wstring(length, static_cast<wchar_t>(L'a' + copy % 26)));
            views.push_back(pool->Add(originals.back()));
        }
    }
    for (std::size_t i = 0; i < views.size(); ++i) ASSERT_EQ(views[i], originals[i]) << i;
    const standards::NameView list(pool, views);
    pool.reset();
    // The list keeps the pool alive.
    EXPECT_EQ(list[3], originals[3]);
    EXPECT_EQ(list.size(), originals.size());
}

TEST(NamePoolTest, ACopiedListSharesItsNames) {
    const standards::NameView original = standards::NameView::Of(std::vector<std::wstring>{L"0", L"", L"Walls"});
    standards::NameView copy = original;
    EXPECT_EQ(copy, original);
    EXPECT_EQ(copy[2].data(), original[2].data());
    EXPECT_THAT(Names(copy), ElementsAre(L"0", L"", L"Walls"));
    copy = {};
    EXPECT_THAT(Names(original), ElementsAre(L"0", L"", L"Walls"));
}

}  // namespace
