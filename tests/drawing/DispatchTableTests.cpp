// The drawing object answers late-bound calls from its dispatch tables alone: each table must list
// exactly the members its interface declares, with the same identifiers, kinds and arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing/Drawing.h"
#include "support/DispatchFacts.h"
#include "support/TempFolder.h"

namespace {

kv::ComPtr<ITypeInfo> DrawingTypeInfo(REFGUID type) {
    kv::ComPtr<ITypeLib> library;
    EXPECT_EQ(::LoadTypeLibEx(kvtest::Wide(KV_DRAWING_TLB).c_str(), REGKIND_NONE, &library), S_OK);
    kv::ComPtr<ITypeInfo> info;
    if (library) {
        EXPECT_EQ(library->GetTypeInfoOfGuid(type, &info), S_OK);
    }
    return info;
}

TEST(DrawingDispatchTableTest, EachInterfaceTableListsExactlyTheDeclaredMembers) {
    struct Case {
        const char* interfaceName;
        const GUID& type;
        const kv::DispatchTable& table;
    } cases[] = {
        {"IKVDrawing", __uuidof(IKVDrawing), kv::DispatchTableOf<IKVDrawing>()},
        {"IKVEntryCollection", __uuidof(IKVEntryCollection), kv::DispatchTableOf<IKVEntryCollection>()},
        {"IKVNamedEntry", __uuidof(IKVNamedEntry), kv::DispatchTableOf<IKVNamedEntry>()},
    };
    for (const Case& c : cases) {
        const kv::ComPtr<ITypeInfo> info = DrawingTypeInfo(c.type);
        ASSERT_NE(info, nullptr) << c.interfaceName;
        const auto declared = kvtest::FactsOf(info.Get());
        EXPECT_FALSE(declared.empty()) << c.interfaceName;
        EXPECT_EQ(kvtest::Differences(declared, kvtest::FactsOf(c.table.members())), "") << c.interfaceName;
    }
}

// The comparison itself: a table that strays from the library in any one fact is caught, on the
// side where the fact stands.
kv::DispatchMember Row(DISPID id, const wchar_t* name, kv::MemberKind kind, UINT arguments) {
    return {id, name, kind, arguments, nullptr};
}

TEST(DrawingDispatchTableTest, ATableThatStraysInAnyFactIsReportedBothWays) {
    using enum kv::MemberKind;
    const auto declared = kvtest::FactsOf(DrawingTypeInfo(__uuidof(IKVEntryCollection)).Get());
    const std::vector<kv::DispatchMember> faithful = {
        Row(DISPID_NEWENUM, L"_NewEnum", PropertyGet, 0), Row(1, L"Count", PropertyGet, 0),
        Row(DISPID_VALUE, L"Item", Method, 1)};
    ASSERT_EQ(kvtest::Differences(declared, kvtest::FactsOf(faithful)), "");

    struct Case {
        const char* fault;
        std::vector<kv::DispatchMember> table;
        std::string report;
    } cases[] = {
        {"a member missing",
         {faithful[0], faithful[2]},
         "only in the type library: 0x00000001 Count propget 0 argument(s)\n"},
        {"a member extra",
         {faithful[0], faithful[1], faithful[2], Row(2, L"Add", Method, 1)},
         "only in the dispatch table: 0x00000002 Add method 1 argument(s)\n"},
        {"a member twice",
         {faithful[0], faithful[1], faithful[1], faithful[2]},
         "only in the dispatch table: 0x00000001 Count propget 0 argument(s)\n"},
        {"a wrong identifier",
         {faithful[0], Row(2, L"Count", PropertyGet, 0), faithful[2]},
         "only in the type library: 0x00000001 Count propget 0 argument(s)\n"
         "only in the dispatch table: 0x00000002 Count propget 0 argument(s)\n"},
        {"a wrong name",
         {faithful[0], Row(1, L"Length", PropertyGet, 0), faithful[2]},
         "only in the type library: 0x00000001 Count propget 0 argument(s)\n"
         "only in the dispatch table: 0x00000001 Length propget 0 argument(s)\n"},
        {"a wrong invoke kind",
         {faithful[0], faithful[1], Row(DISPID_VALUE, L"Item", PropertyGet, 1)},
         "only in the type library: 0x00000000 Item method 1 argument(s)\n"
         "only in the dispatch table: 0x00000000 Item propget 1 argument(s)\n"},
        {"a wrong argument count",
         {faithful[0], faithful[1], Row(DISPID_VALUE, L"Item", Method, 2)},
         "only in the type library: 0x00000000 Item method 1 argument(s)\n"
         "only in the dispatch table: 0x00000000 Item method 2 argument(s)\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kvtest::Differences(declared, kvtest::FactsOf(c.table)), c.report) << c.fault;
}

}  // namespace
