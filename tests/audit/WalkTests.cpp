// The audit walk and its lookup: every drawing name examined once, in walk order, whatever the
// list lengths.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "audit/Walk.h"

namespace {

using standards::NameList;

TEST(IsStandardNameTest, ComparesExactlyWithinTheCount) {
    const NameList list = {L"Walls", L"", L"Doors"};
    struct Case {
        const wchar_t* name;
        LONG count;
        bool listed;
    } cases[] = {
        {L"Walls", 3, true},   {L"Doors", 3, true},  {L"walls", 3, false}, {L" Walls", 3, false},
        {L"Walls ", 3, false}, {L"Doors", 2, false}, {L"Walls", 0, false}, {L"Walls", -1, false},
        {L"", 3, true},        {L"", 1, false},      {L"Doors", 9, true},  {L"Wall", 3, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(audit::IsStandardName(c.name, list, c.count), c.listed) << c.count << " " << (c.name[0] ? "" : "empty");
}

TEST(StandardIndexTest, AnswersAsAFullScanOfTheListWould) {
    const NameList layers = {L"0", L"Walls", L"", L"Doors", L"Walls"};
    const NameList linetypes = {L"Continuous"};
    const NameList none;
    audit::StandardIndex index;
    index.Build({&layers, &linetypes, &none, &layers});
    const NameList probes = {L"0", L"Walls", L"walls", L"", L" ", L"Doors", L"Continuous", L"continuous", L"x"};
    const std::pair<audit::Kind, const NameList*> kinds[] = {{audit::Kind::Layers, &layers},
                                                               {audit::Kind::Linetypes, &linetypes},
                                                               {audit::Kind::TextStyles, &none},
                                                               {audit::Kind::DimStyles, &layers}};
    for (const auto& [kind, list] : kinds)
        for (const std::wstring& name : probes)
            EXPECT_EQ(index.Lists(kind, name),
                      audit::IsStandardName(name, *list, static_cast<LONG>(list->size())));
    index.Clear();
    EXPECT_FALSE(index.Lists(audit::Kind::Layers, L"Walls"));
}

TEST(StandardIndexTest, AViewIndexedOnceLendsItsIndexAndAnswersAsAPlainView) {
    const auto layers = standards::NameView::Of(NameList{L"0", L"Walls", L"", L"Doors"});
    const auto linetypes = standards::NameView::Of(NameList{L"Continuous"});
    const standards::NameView none;
    const standards::NameView indexed = layers.Indexed();
    ASSERT_NE(indexed.Index(), nullptr);
    EXPECT_EQ(layers.Index(), nullptr) << "the view it was made from is unchanged";
    EXPECT_EQ(indexed, layers);
    const standards::NameView copy = indexed;
    EXPECT_EQ(copy.Index(), indexed.Index()) << "copies share the index";

    audit::StandardIndex plain, lent;
    plain.Build({&layers, &linetypes, &none, &layers});
    lent.Build({&indexed, &linetypes, &none, &copy});
    for (const audit::Kind kind : {audit::Kind::Layers, audit::Kind::Linetypes, audit::Kind::TextStyles,
                                   audit::Kind::DimStyles})
        for (const wchar_t* name : {L"0", L"Walls", L"walls", L"", L"Doors", L"Continuous", L"x"})
            EXPECT_EQ(lent.Lists(kind, name), plain.Lists(kind, name));
}

// A drawing whose kinds have the given lengths; the names at the finding positions are missing
// from the standard, every other name is listed.
struct KindShape {
    std::size_t length;
    std::set<std::size_t> findings;
};

struct Audit {
    audit::PerKind<NameList> drawing, standard;
    std::vector<std::pair<audit::Kind, std::wstring>> expected;
    audit::StandardIndex index;

    explicit Audit(const audit::PerKind<KindShape>& shapes) {
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            for (std::size_t i = 0; i < shapes[kind].length; ++i) {
                std::wstring name = std::to_wstring(kind) + L"-" + std::to_wstring(i);
                if (shapes[kind].findings.contains(i))
                    expected.emplace_back(static_cast<audit::Kind>(kind), name);
                else
                    standard[kind].push_back(name);
                drawing[kind].push_back(std::move(name));
            }
        }
        index.Build(Pointers(standard));
    }

    static audit::ListsByKind Pointers(const audit::PerKind<NameList>& lists) {
        return {&lists[0], &lists[1], &lists[2], &lists[3]};
    }

    // Walks to the end, one finding per step, as CheckNext does.
    std::vector<std::pair<audit::Kind, std::wstring>> Walk(audit::Cursor& cursor) const {
        std::vector<std::pair<audit::Kind, std::wstring>> found;
        std::size_t names = 0;
        for (const NameList& list : drawing) names += list.size();
        while (auto finding = audit::NextFinding(cursor, Pointers(drawing), index)) {
            found.emplace_back(finding->kind, *finding->name);
            if (found.size() > names) break;
        }
        return found;
    }
};

TEST(AuditWalkTest, EveryFindingComesOnceInWalkOrderWhateverTheLengths) {
    struct Case {
        const char* what;
        audit::PerKind<KindShape> shapes;
    } cases[] = {
        {"a finding deep in a long first kind",
         {{{150, {120}}, {150, {0, 20, 149}}, {101, {100}}, {40000, {99, 100, 39999}}}}},
        {"the last entry of each kind",
         {{{1, {0}}, {99, {98}}, {100, {99}}, {101, {100}}}}},
        {"empty kinds between findings",
         {{{0, {}}, {1, {0}}, {0, {}}, {150, {0, 149}}}}},
        {"every name a finding", {{{3, {0, 1, 2}}, {0, {}}, {2, {0, 1}}, {1, {0}}}}},
        {"nothing to report", {{{150, {}}, {100, {}}, {0, {}}, {40000, {}}}}},
        {"no drawing names at all", {{{0, {}}, {0, {}}, {0, {}}, {0, {}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Audit subject(c.shapes);
        audit::Cursor cursor;
        EXPECT_EQ(subject.Walk(cursor), subject.expected);
        EXPECT_EQ(cursor.kind, audit::kKindCount);
        // A finished walk stays finished.
        EXPECT_FALSE(audit::NextFinding(cursor, Audit::Pointers(subject.drawing), subject.index));
        EXPECT_EQ(cursor.kind, audit::kKindCount);
    }
}

TEST(AuditWalkTest, AnEmptyStandardListMakesEveryNameOfItsKindAFinding) {
    Audit subject({{{2, {}}, {2, {}}, {2, {}}, {2, {}}}});
    subject.standard[1].clear();
    subject.index.Build(Audit::Pointers(subject.standard));
    audit::Cursor cursor;
    const auto found = subject.Walk(cursor);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], std::make_pair(audit::Kind::Linetypes, std::wstring(L"1-0")));
    EXPECT_EQ(found[1], std::make_pair(audit::Kind::Linetypes, std::wstring(L"1-1")));
}

TEST(AuditWalkTest, TheCursorStopsJustPastEachFinding) {
    const Audit subject({{{150, {149}}, {3, {1}}, {0, {}}, {0, {}}}});
    audit::Cursor cursor;
    const auto drawing = Audit::Pointers(subject.drawing);
    ASSERT_TRUE(audit::NextFinding(cursor, drawing, subject.index));
    EXPECT_EQ(cursor, (audit::Cursor{0, 150}));
    ASSERT_TRUE(audit::NextFinding(cursor, drawing, subject.index));
    EXPECT_EQ(cursor, (audit::Cursor{1, 2}));
    EXPECT_FALSE(audit::NextFinding(cursor, drawing, subject.index));
}

}  // namespace
