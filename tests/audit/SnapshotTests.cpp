// The drawing snapshot: which members are read, in which order, and what each failure leaves.
#include <gtest/gtest.h>

#include "audit/Snapshot.h"
#include "com/Module.h"
#include "drawing/Drawing.h"
#include "support/DispatchCall.h"
#include "tests/audit/DrawingDouble.h"

namespace {

using audittest::CallLog;
using audittest::RecordingDrawing;
using audittest::TableFaults;
using standards::NameList;

// The four drawing lists in walk order, pre-filled with names that must not survive a snapshot.
struct Lists {
    NameList layers{L"old"}, linetypes{L"old", L"older"}, textStyles{L"old"}, dimStyles{L"old"};
    audit::PerKind<NameList*> walkOrder() { return {&layers, &linetypes, &textStyles, &dimStyles}; }
};

drawing::DrawingNames SmallDrawing() {
    return {{L"0", L"Walls"}, {}, {L"Standard"}, {L"ISO", L"iso"}};
}

TEST(SnapshotTest, ReadsEachCollectionInTurnAndEachNameOnce) {
    auto subject = kv::MakeObject<RecordingDrawing>(SmallDrawing());
    const LONG objectsBefore = kv::module::ObjectCount();
    Lists lists;
    audit::SnapshotDrawing(*subject.Get(), lists.walkOrder());

    const CallLog expected = {
        L"Layers",     L"Layers._NewEnum",     L"Layers[0].Name",     L"Layers[1].Name", L"Layers.end",
        L"Linetypes",  L"Linetypes._NewEnum",  L"Linetypes.end",
        L"TextStyles", L"TextStyles._NewEnum", L"TextStyles[0].Name", L"TextStyles.end",
        L"DimStyles",  L"DimStyles._NewEnum",  L"DimStyles[0].Name",  L"DimStyles[1].Name", L"DimStyles.end",
    };
    EXPECT_EQ(*subject->log, expected);
    EXPECT_EQ(lists.layers, (NameList{L"0", L"Walls"}));
    EXPECT_TRUE(lists.linetypes.empty());
    EXPECT_EQ(lists.textStyles, (NameList{L"Standard"}));
    EXPECT_EQ(lists.dimStyles, (NameList{L"ISO", L"iso"}));
    // Collections, enumerators and entries are all released; the drawing keeps its one reference.
    EXPECT_EQ(kv::module::ObjectCount(), objectsBefore);
    EXPECT_EQ(kvtest::RefCount(subject->unknown()), 1u);
}

struct FaultCase {
    const char* what;
    std::size_t table;
    TableFaults faults;
    audit::PerKind<NameList> expected;
};

TEST(SnapshotTest, AFailingCollectionOrEntryCostsOnlyWhatFailed) {
    const drawing::DrawingNames names{{L"L0", L"L1", L"L2", L"L3"}, {L"T0", L"T1"}, {L"S0"}, {L"D0", L"D1"}};
    const audit::PerKind<NameList> full = {names.layers, names.linetypes, names.textStyles, names.dimStyles};
    auto with = [&](std::size_t table, NameList list) {
        audit::PerKind<NameList> lists = full;
        lists[table] = std::move(list);
        return lists;
    };
    const FaultCase cases[] = {
        {"member missing", 1, {.missingMember = true}, with(1, {})},
        {"member is a number", 0, {.notAnObject = true}, with(0, {})},
        {"collection cannot be enumerated", 2, {.notEnumerable = true}, with(2, {})},
        {"enumerator fails after two entries", 0, {.enumeratorFailsAfter = 2}, with(0, {L"L0", L"L1"})},
        {"enumerator fails at once", 2, {.enumeratorFailsAfter = 0}, with(2, {})},
        {"one Name cannot be read", 0, {.nameFails = {1}}, with(0, {L"L0", L"", L"L2", L"L3"})},
        {"a Name is a number", 1, {.nameIsNumber = {0}}, with(1, {L"7", L"T1"})},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TableFaults> faults(drawing::kTableCount);
        faults[c.table] = c.faults;
        auto subject = kv::MakeObject<RecordingDrawing>(names, faults);
        const LONG objectsBefore = kv::module::ObjectCount();
        Lists lists;
        audit::SnapshotDrawing(*subject.Get(), lists.walkOrder());
        EXPECT_EQ(lists.layers, c.expected[0]);
        EXPECT_EQ(lists.linetypes, c.expected[1]);
        EXPECT_EQ(lists.textStyles, c.expected[2]);
        EXPECT_EQ(lists.dimStyles, c.expected[3]);
        // The later collections are still read, after the failing one.
        EXPECT_EQ(subject->log->back(), L"DimStyles.end");
        EXPECT_EQ(kv::module::ObjectCount(), objectsBefore);
    }
}

TEST(SnapshotTest, NamesAreKeptExactlyAndLongCollectionsWhole) {
    drawing::DrawingNames names;
    names.layers = {L"Wall", L"WALL", L" wall ", L"Wall"};
    for (int i = 0; i < 40000; ++i) names.dimStyles.push_back(L"D" + std::to_wstring(i));
    const NameList expectedDimStyles = names.dimStyles;
    auto subject = drawing::MakeDrawing(std::move(names));
    Lists lists;
    audit::SnapshotDrawing(*subject.Get(), lists.walkOrder());
    EXPECT_EQ(lists.layers, (NameList{L"Wall", L"WALL", L" wall ", L"Wall"}));
    EXPECT_EQ(lists.dimStyles, expectedDimStyles);
}

// Element 0 of the check filter decides whether the drawing is read at all.
kv::Variant Scalar(VARTYPE type, double number) {
    kv::Variant value;
    VARIANT& raw = *&value;
    raw.vt = type;
    switch (type) {
    case VT_I2: raw.iVal = static_cast<SHORT>(number); break;
    case VT_I4: raw.lVal = static_cast<LONG>(number); break;
    case VT_R8: raw.dblVal = number; break;
    case VT_BOOL: raw.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    default: break;  // VT_EMPTY, VT_NULL
    }
    return value;
}

// A one-dimensional array of variants with the given lower bound.
kv::Variant Filter(std::vector<kv::Variant> elements, LONG lower = 0) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, lower, static_cast<ULONG>(elements.size()));
    for (std::size_t i = 0; i < elements.size(); ++i) {
        LONG index = lower + static_cast<LONG>(i);
        ::SafeArrayPutElement(array, &index, elements[i].source());
    }
    VARIANT raw;
    ::VariantInit(&raw);
    raw.vt = VT_ARRAY | VT_VARIANT;
    raw.parray = array;
    return kv::Variant::Take(raw);
}

TEST(SnapshotFilterTest, FirstElementEqualToEmptyStopsTheSnapshot) {
    using kvtest::Str;
    struct Case {
        const char* what;
        kv::Variant filter;
        bool namesFirstType;
    } cases[] = {
        {"type name", Filter({Str(L"AcadLayer"), Str(L"AcadDimStyle")}), true},
        {"Empty", Filter({Scalar(VT_EMPTY, 0), Str(L"AcadLayer")}), false},
        {"empty string", Filter({Str(L"")}), false},
        {"the text 0", Filter({Str(L"0")}), true},
        {"the text of a space", Filter({Str(L" ")}), true},
        {"I2 zero", Filter({Scalar(VT_I2, 0)}), false},
        {"I4 zero", Filter({Scalar(VT_I4, 0)}), false},
        {"R8 zero", Filter({Scalar(VT_R8, 0)}), false},
        {"False", Filter({Scalar(VT_BOOL, 0)}), false},
        {"I4 five", Filter({Scalar(VT_I4, 5)}), true},
        {"Null compares as unknown, not equal", Filter({Scalar(VT_NULL, 0)}), true},
        {"not an array", Str(L"AcadLayer"), false},
        {"nothing at all", kv::Variant(), false},
        {"array without elements", Filter({}), false},
        {"array without element 0", Filter({Str(L"AcadLayer")}, 1), false},
    };
    for (const Case& c : cases) EXPECT_EQ(audit::FilterNamesFirstType(c.filter.get()), c.namesFirstType) << c.what;
}

}  // namespace
