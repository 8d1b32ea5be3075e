// The rewriter on small drawings: renames and merges reach every reference, properties keep what the
// drawing says, refusals leave the drawing alone, every other byte stays, and the proof catches a
// rewritten drawing that differs beyond the account.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DrawingBuilder.h"
#include "fuzz/DxfRewriteCheck.h"
#include "support/Corpus.h"
#include "kvstcheck/fix/References.h"
#include "kvstcheck/fix/Rewrite.h"
#include "kvstcheck/fix/SystemTextCodec.h"
#include "kvstcheck/readers/DxfReader.h"

namespace {

using namespace kvstcheck::fix;
using kvstcheck::DxfMemoryBytes;
using fixtest::Pairs;

const SystemTextCodec kCodec;

struct Outcome {
    RewriteAccount plan, done;
    std::string output;
    std::optional<std::string> proof;
};

Outcome Fix(const std::string& drawing, const FixRequest& request) {
    Outcome outcome;
    DxfMemoryBytes first(drawing, 7);  // small pieces: units cross them
    outcome.plan = PlanDxf(first, kCodec, request);
    DxfMemoryBytes second(drawing);
    StringSink sink;
    outcome.done = RewriteDxf(second, sink, kCodec, outcome.plan);
    outcome.output = std::move(sink.text);
    DxfMemoryBytes original(drawing), rewritten(outcome.output);
    if (!outcome.done.refusal || outcome.done.forced)
        outcome.proof = VerifyRewrite(original, rewritten, kCodec, outcome.done);
    return outcome;
}

FixRequest Renaming(FixKind kind, std::wstring from, std::wstring to) {
    FixRequest request;
    request.renames[static_cast<std::size_t>(kind)].emplace_back(std::move(from), std::move(to));
    return request;
}

std::size_t Count(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

struct RenameCase {
    const char* label;
    FixKind kind;
    std::wstring from, to;
    std::size_t references;
    bool merge;
    std::vector<std::string> has, lacks;
    std::size_t left;
    Pairs extraLayers{};
};

const RenameCase kRenames[] = {
    {"layer everywhere", FixKind::Layers, L"WALLS", L"A-WALL-NEW", 8, false,
     {"2\nA-WALL-NEW\n70", "$CLAYER\n8\nA-WALL-NEW\n", "1003\nA-WALL-NEW\n", "8\nA-WALL-NEW\n2\nDoor"},
     {"8\nWALLS\n", "8\nwalls\n", "1003\nWALLS"}, 2},
    {"layer named in another letter case", FixKind::Layers, L"Walls", L"A-WALL-NEW", 8, false,
     {"2\nA-WALL-NEW\n70"}, {"8\nwalls\n"}, 2},
    {"layer merged", FixKind::Layers, L"WALLS", L"A-WALL", 8, true,
     {"2\nLAYER\n5\n2\n70\n2\n", "$CLAYER\n8\nA-WALL\n"}, {"5\n11\n", "8\nWALLS\n", "8\nwalls\n"}, 2},
    {"letter case only", FixKind::Layers, L"WALLS", L"Walls", 8, false, {"2\nWalls\n70", "8\nWalls\n2\nDoor"},
     {"8\nwalls\n", "8\nWALLS\n"}, 2},
    {"linetype", FixKind::Linetypes, L"DASHED", L"HIDDEN", 3, false,
     {"2\nHIDDEN\n70", "$CELTYPE\n6\nHIDDEN\n", "62\n-3\n6\nHIDDEN\n", "8\nWALLS\n6\nHIDDEN\n"}, {"DASHED"}, 0},
    {"text style", FixKind::TextStyles, L"notes", L"NOTES-25", 4, false,
     {"2\nNOTES-25\n70", "$TEXTSTYLE\n7\nNOTES-25\n", "$DIMTXSTY\n7\nNOTES-25\n", "7\nNOTES-25\n1\nWALLS"},
     {"\nNotes\n"}, 0},
    {"dimension style merged", FixKind::DimStyles, L"Arch", L"Standard", 2, true,
     {"2\nDIMSTYLE\n5\nA\n70\n1\n71\n1\n340\n30\n0\n", "$DIMSTYLE\n2\nStandard\n", "2\n*D1\n3\nStandard\n"},
     {"105\n31\n", "340\n31\n", "\nArch\n"}, 0},
    {"escaped name", FixKind::Layers, L"m\u00F6bel", L"FURN", 0, false, {"2\nFURN\n70"}, {"M\\U+00D6BEL"}, 0,
     {{0, "LAYER"}, {5, "13"}, {2, "M\\U+00D6BEL"}, {70, "0"}}},
};

TEST(DxfRewrite, RenamesReachEveryReference) {
    for (const RenameCase& test : kRenames) {
        SCOPED_TRACE(test.label);
        const std::string drawing = fixtest::Lay(fixtest::Drawing("AC1015", test.extraLayers));
        const Outcome outcome = Fix(drawing, Renaming(test.kind, test.from, test.to));
        ASSERT_EQ(outcome.done.renames.size(), 1u);
        ASSERT_FALSE(outcome.done.refusal) << outcome.done.refusal->reason;
        EXPECT_EQ(outcome.done.renames[0].references, test.references);
        EXPECT_EQ(outcome.plan.renames[0].references, test.references);
        EXPECT_EQ(outcome.done.renames[0].merge, test.merge);
        EXPECT_EQ(outcome.done.left.size(), test.left);
        EXPECT_TRUE(outcome.done.changed);
        EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
        for (const std::string& part : test.has) EXPECT_NE(outcome.output.find(part), std::string::npos) << part;
        for (const std::string& part : test.lacks) EXPECT_EQ(outcome.output.find(part), std::string::npos) << part;
        // The audit's reader reads the result, and the old name is gone from its lists.
        const auto names = kvstcheck::ReadDxf(outcome.output, kCodec).names;
        const auto& list = test.kind == FixKind::Layers      ? names.layers
                           : test.kind == FixKind::Linetypes ? names.linetypes
                           : test.kind == FixKind::TextStyles ? names.textStyles
                                                              : names.dimStyles;
        EXPECT_EQ(std::count(list.begin(), list.end(), test.to), 1);
    }
}

struct RefusalCase {
    const char* label;
    std::string version;
    FixRequest request;
    Pairs extraLayers, extraEntities;
    std::string reason;
    bool forceable;
};

FixRequest Two(FixKind kind, std::pair<std::wstring, std::wstring> a, std::pair<std::wstring, std::wstring> b) {
    FixRequest request = Renaming(kind, a.first, a.second);
    request.renames[static_cast<std::size_t>(kind)].push_back(std::move(b));
    return request;
}

const RefusalCase kRefusals[] = {
    {"entries equal but for letter case", "AC1015", Renaming(FixKind::Layers, L"WALLS", L"A-WALL-NEW"),
     {{0, "LAYER"}, {5, "13"}, {2, "Walls"}, {70, "0"}}, {}, "equal but for letter case", true},
    {"a string the fix cannot tell", "AC1015", Renaming(FixKind::Layers, L"WALLS", L"A-WALL-NEW"), {},
     {{0, "LINE"}, {5, "104"}, {8, "0"}, {1001, "OTHERAPP"}, {1000, "WALLS"}}, "cannot tell", true},
    {"merge of an entry referred to by handle", "AC1015", Renaming(FixKind::Layers, L"WALLS", L"A-WALL"), {},
     {{0, "VIEWPORT"}, {5, "104"}, {8, "0"}, {341, "11"}}, "a VIEWPORT refers to it by its handle 11", false},
    {"a chain of renames", "AC1015", Two(FixKind::Layers, {L"WALLS", L"A-WALL"}, {L"A-WALL", L"B-WALL"}), {}, {},
     "which is itself renamed", false},
    {"a name R12 does not allow", "AC1009", Renaming(FixKind::Layers, L"WALLS", L"A WALL"), {}, {}, "R12", false},
    {"a name with a line end", "AC1015", Renaming(FixKind::Layers, L"WALLS", L"A\nWALL"), {}, {}, "no line end", false},
    {"an empty name", "AC1021", Renaming(FixKind::Linetypes, L"DASHED", L""), {}, {}, "no line end", false},
};

TEST(DxfRewrite, RefusedDrawingsAreLeftAlone) {
    for (const RefusalCase& test : kRefusals) {
        SCOPED_TRACE(test.label);
        const std::string drawing = fixtest::Lay(fixtest::Drawing(test.version, test.extraLayers, test.extraEntities));
        const Outcome refused = Fix(drawing, test.request);
        ASSERT_TRUE(refused.done.refusal);
        EXPECT_NE(refused.done.refusal->reason.find(test.reason), std::string::npos) << refused.done.refusal->reason;
        EXPECT_EQ(refused.output, "");
        EXPECT_FALSE(refused.done.changed);
        FixRequest forced = test.request;
        forced.force = true;
        const Outcome overridden = Fix(drawing, forced);
        EXPECT_EQ(overridden.done.forced, test.forceable);
        EXPECT_EQ(overridden.done.changed, test.forceable);
        if (test.forceable) {
            EXPECT_EQ(overridden.proof, std::nullopt) << *overridden.proof;
        }
    }
}

TEST(DxfRewrite, BinaryDrawingIsRefused) {
    const std::string binary = std::string("Writer1 Binary DXF\r\n\x1A\0", 22) + "\x00\x00SECTION";
    const Outcome outcome = Fix(binary, Renaming(FixKind::Layers, L"WALLS", L"A"));
    ASSERT_TRUE(outcome.done.refusal);
    EXPECT_NE(outcome.done.refusal->reason.find("save it as ASCII DXF"), std::string::npos);
}

struct LeftCase {
    const char* label;
    FixRequest request;
    Pairs extraLayers;
    std::string reason;
};

const LeftCase kLeft[] = {
    {"reserved name", Renaming(FixKind::Layers, L"0", L"ZERO"), {}, "reserved"},
    {"external reference", Renaming(FixKind::Layers, L"XR|WALLS", L"A-WALL"),
     {{0, "LAYER"}, {5, "13"}, {2, "XR|WALLS"}, {70, "48"}}, "external reference"},
};

TEST(DxfRewrite, ReservedAndExternalNamesAreLeft) {
    for (const LeftCase& test : kLeft) {
        SCOPED_TRACE(test.label);
        const std::string drawing = fixtest::Lay(fixtest::Drawing("AC1015", test.extraLayers));
        const Outcome outcome = Fix(drawing, test.request);
        EXPECT_FALSE(outcome.done.refusal);
        EXPECT_TRUE(outcome.done.renames.empty());
        ASSERT_EQ(outcome.done.left.size(), 1u);
        EXPECT_NE(outcome.done.left[0].reason.find(test.reason), std::string::npos);
        EXPECT_FALSE(outcome.done.changed);
        EXPECT_EQ(outcome.output, drawing);
    }
}

struct PropertyCase {
    const char* label;
    std::string version;
    std::optional<int> color;
    const wchar_t* linetype;  // nullptr: not changed
    std::optional<int> lineweight;
    std::optional<bool> plot;
    std::string has;  // the WALLS entry's pairs after its name, or a part of the output
    std::size_t left;
    bool changed;
};

const PropertyCase kProperties[] = {
    {"colour keeps the layer off", "AC1015", 5, nullptr, {}, {}, "2\nWALLS\n70\n0\n62\n-5\n6\nDASHED\n0\n", 0, true},
    {"linetype spelled as defined", "AC1015", {}, L"continuous", {}, {}, "62\n-3\n6\nContinuous\n0\n", 0, true},
    {"lineweight and plot added", "AC1015", {}, nullptr, 25, false, "6\nDASHED\n290\n0\n370\n25\n0\n", 0, true},
    {"undefined linetype", "AC1015", {}, L"HIDDEN", {}, {}, "62\n-3\n6\nDASHED\n0\n", 1, false},
    {"R12 has no lineweight", "AC1009", {}, nullptr, 25, {}, "62\n-3\n6\nDASHED\n0\n", 1, false},
    {"already so", "AC1015", 3, L"DASHED", {}, {}, "62\n-3\n6\nDASHED\n0\n", 0, false},
};

TEST(DxfRewrite, LayerPropertiesAreSet) {
    for (const PropertyCase& test : kProperties) {
        SCOPED_TRACE(test.label);
        FixRequest request;
        LayerChange change{test.color, {}, test.lineweight, test.plot};
        if (test.linetype != nullptr) change.linetype = test.linetype;
        request.layerProperties.emplace_back(L"walls", change);
        const std::string drawing = fixtest::Lay(fixtest::Drawing(test.version));
        const Outcome outcome = Fix(drawing, request);
        ASSERT_FALSE(outcome.done.refusal);
        EXPECT_EQ(outcome.done.left.size(), test.left);
        EXPECT_EQ(outcome.done.changed, test.changed);
        EXPECT_NE(outcome.output.find(test.has), std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
    }
}

TEST(DxfRewrite, PropertiesFollowARenamedLayer) {
    FixRequest request = Renaming(FixKind::Layers, L"WALLS", L"A-WALL-NEW");
    request.layerProperties.emplace_back(L"A-WALL-NEW", LayerChange{1, {}, {}, {}});
    const Outcome outcome = Fix(fixtest::Lay(fixtest::Drawing()), request);
    EXPECT_NE(outcome.output.find("2\nA-WALL-NEW\n70\n0\n62\n-1\n"), std::string::npos);
    EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
}

// A layer whose linetype the rules set while its old linetype is renamed takes the one set, once.
TEST(DxfRewrite, ALayersNewLinetypeStandsOverTheRenameOfItsOld) {
    struct Case {
        const char* label;
        std::wstring renamedTo;  // DASHED, WALLS' linetype, renamed to this
        bool merge;
    };
    const Case cases[] = {{"renamed", L"HIDDEN", false}, {"merged", L"Continuous", true}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        FixRequest request = Renaming(FixKind::Linetypes, L"DASHED", test.renamedTo);
        request.layerProperties.emplace_back(L"WALLS", LayerChange{{}, L"Continuous", {}, {}});
        const Outcome outcome = Fix(fixtest::Lay(fixtest::Drawing()), request);
        ASSERT_FALSE(outcome.done.refusal) << outcome.done.refusal->reason;
        EXPECT_EQ(outcome.done.renames.at(0).merge, test.merge);
        EXPECT_NE(outcome.output.find("2\nWALLS\n70\n0\n62\n-3\n6\nContinuous\n0\n"), std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
    }
}

// The old name's places, with the values the rename writes there.
Pairs Renamed(Pairs pairs, std::string_view to) {
    bool layerEntry = false;
    for (auto& [code, value] : pairs) {
        if (code == 0) layerEntry = value == "LAYER";
        const bool named = value == "WALLS" || value == "walls";
        if (named && (code == 8 || code == 1003 || (layerEntry && code == 2))) value = to;
    }
    return pairs;
}

TEST(DxfRewrite, EveryOtherByteStays) {
    const fixtest::Layout layouts[] = {{"\n", false}, {"\r\n", false}, {"\r\n", true}, {"\r\r\n", true}};
    Pairs drawing = fixtest::Drawing();
    drawing.insert(drawing.begin() + 2, {999, "made by hand; WALLS stays in comments"});
    drawing.insert(drawing.end() - 3, {1, "  value with spaces  "});
    for (const auto& layout : layouts) {
        SCOPED_TRACE(testing::Message() << "padded " << layout.padded << ", line end " << layout.lineEnd.size());
        const std::string text = "\xEF\xBB\xBF" + fixtest::Lay(drawing, layout);
        const Outcome outcome = Fix(text, Renaming(FixKind::Layers, L"walls", L"A-WALL-NEW"));
        EXPECT_EQ(outcome.output, "\xEF\xBB\xBF" + fixtest::Lay(Renamed(drawing, "A-WALL-NEW"), layout));
        EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
    }
}

struct EncodingCase {
    std::string version, codePage;
    std::wstring to;
    std::string written;
};

const EncodingCase kEncodings[] = {
    {"AC1015", "ANSI_1252", L"W\u00E4nde", "W\xE4nde"},
    {"AC1015", "ANSI_1252", L"\u0421\u0442\u0435\u043D\u044B", "\\U+0421\\U+0442\\U+0435\\U+043D\\U+044B"},
    {"AC1015", "ANSI_1251", L"\u0421\u0442\u0435\u043D\u044B", "\xD1\xF2\xE5\xED\xFB"},
    {"AC1021", "ANSI_1252", L"\u0421\u0442\u0435\u043D\u044B", "\xD0\xA1\xD1\x82\xD0\xB5\xD0\xBD\xD1\x8B"},
};

TEST(DxfRewrite, NamesAreWrittenAsTheVersionWritesThem) {
    for (const EncodingCase& test : kEncodings) {
        SCOPED_TRACE(test.written);
        fixtest::Pairs pairs = fixtest::Drawing(test.version);
        pairs[5].second = test.codePage;
        const std::string drawing = fixtest::Lay(pairs);
        const Outcome outcome = Fix(drawing, Renaming(FixKind::Layers, L"WALLS", test.to));
        EXPECT_EQ(Count(outcome.output, "8\n" + test.written + "\n"), 7u);
        EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
        const auto layers = kvstcheck::ReadDxf(outcome.output, kCodec).names.layers;
        EXPECT_EQ(std::count(layers.begin(), layers.end(), test.to), 1);
    }
}

TEST(DxfRewrite, MergeWithoutHandlesRemovesTheEntryByName) {
    const Pairs drawing = {{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"}, {0, "ENDSEC"},
                           {0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "LAYER"}, {70, "3"},
                           {0, "LAYER"}, {2, "0"}, {70, "0"}, {0, "LAYER"}, {2, "WALLS"}, {70, "0"},
                           {0, "LAYER"}, {2, "A-WALL"}, {70, "0"}, {0, "ENDTAB"}, {0, "ENDSEC"},
                           {0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {8, "WALLS"}, {0, "LINE"}, {8, "A-WALL"},
                           {0, "ENDSEC"}, {0, "EOF"}};
    const Outcome outcome = Fix(fixtest::Lay(drawing), Renaming(FixKind::Layers, L"WALLS", L"A-WALL"));
    const Pairs expected = {{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"}, {0, "ENDSEC"},
                            {0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "LAYER"}, {70, "2"},
                            {0, "LAYER"}, {2, "0"}, {70, "0"}, {0, "LAYER"}, {2, "A-WALL"}, {70, "0"},
                            {0, "ENDTAB"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {8, "A-WALL"},
                            {0, "LINE"}, {8, "A-WALL"}, {0, "ENDSEC"}, {0, "EOF"}};
    EXPECT_EQ(outcome.output, fixtest::Lay(expected));
    EXPECT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
}

TEST(DxfRewrite, ADrawingOtherThanThePlannedOneIsRefused) {
    const std::string planned = fixtest::Lay(fixtest::Drawing());
    const std::string edited = fixtest::Lay(fixtest::Drawing("AC1015", {}, {{0, "LINE"}, {5, "104"}, {8, "WALLS"}}));
    DxfMemoryBytes first(planned), second(edited);
    const RewriteAccount plan = PlanDxf(first, kCodec, Renaming(FixKind::Layers, L"WALLS", L"X"));
    StringSink sink;
    const RewriteAccount done = RewriteDxf(second, sink, kCodec, plan);
    ASSERT_TRUE(done.refusal);
    EXPECT_NE(done.refusal->reason.find("not the one planned"), std::string::npos);
}

struct Tampering {
    const char* label;
    std::string from, to;
};

const Tampering kTamperings[] = {
    {"a coordinate", "10\n0.0\n", "10\n0.5\n"},
    {"an entity gone", "0\nTEXT\n5\n101\n8\nA-WALL-NEW\n7\nNotes\n1\nWALLS\n", ""},
    {"a name the fix does not change", "2\nDoor\n", "2\nDoorX\n"},
    {"a reference renamed to another name", "0\nLINE\n5\n100\n8\nA-WALL-NEW\n", "0\nLINE\n5\n100\n8\nOTHER\n"},
    {"a line end", "0\nLINE\n", "0\r\nLINE\n"},
    {"a handle", "5\n102\n", "5\n1020\n"},
    {"a pair added", "0\nEOF\n", "999\nhi\n0\nEOF\n"},
};

TEST(DxfRewrite, TheProofCatchesOtherChanges) {
    const std::string drawing = fixtest::Lay(fixtest::Drawing());
    const Outcome outcome = Fix(drawing, Renaming(FixKind::Layers, L"WALLS", L"A-WALL-NEW"));
    ASSERT_EQ(outcome.proof, std::nullopt);
    for (const Tampering& test : kTamperings) {
        SCOPED_TRACE(test.label);
        std::string tampered = outcome.output;
        const auto at = tampered.find(test.from);
        ASSERT_NE(at, std::string::npos);
        tampered.replace(at, test.from.size(), test.to);
        DxfMemoryBytes original(drawing), rewritten(tampered);
        EXPECT_NE(VerifyRewrite(original, rewritten, kCodec, outcome.done), std::nullopt);
    }
}

// A layer's property pair is set or added once; the same pair twice is no change the account makes.
TEST(DxfRewrite, TheProofCatchesAPropertyPairTwice) {
    const std::string drawing = fixtest::Lay(fixtest::Drawing());
    FixRequest request;
    request.layerProperties.emplace_back(L"WALLS", LayerChange{5, {}, 25, {}});
    const Outcome outcome = Fix(drawing, request);
    ASSERT_EQ(outcome.proof, std::nullopt) << *outcome.proof;
    const Tampering tamperings[] = {
        {"a pair it had", "62\n-5\n6\nDASHED\n", "62\n-5\n6\nDASHED\n6\nContinuous\n"},
        {"a pair it added", "370\n25\n", "370\n25\n370\n30\n"},
    };
    for (const Tampering& test : tamperings) {
        SCOPED_TRACE(test.label);
        std::string tampered = outcome.output;
        const auto at = tampered.find(test.from);
        ASSERT_NE(at, std::string::npos) << outcome.output;
        tampered.replace(at, test.from.size(), test.to);
        DxfMemoryBytes original(drawing), rewritten(tampered);
        EXPECT_NE(VerifyRewrite(original, rewritten, kCodec, outcome.done), std::nullopt);
    }
}

TEST(DxfRewrite, TheFuzzCorpusKeepsTheRewritersPromises) {
    const auto inputs = kvtest::ReadCorpus(KV_DXF_REWRITE_CORPUS);
    ASSERT_GE(inputs.size(), 10u) << "the corpus folder " << KV_DXF_REWRITE_CORPUS << " is missing or nearly empty";
    const fuzzcheck::ByteTextCodec bytes;
    for (const auto& input : inputs) {
        EXPECT_EQ(fuzzcheck::CheckDxfRewrite(input.bytes, bytes), "") << input.name;
        EXPECT_EQ(fuzzcheck::CheckDxfRewrite(input.bytes, kCodec), "") << input.name;
    }
}

// The reserved names are known however the drawing spells them, folded as the codec folds.
TEST(DxfRewrite, ReservedNamesAreKnownInAnyLetterCase) {
    for (const wchar_t* name : {L"0", L"Defpoints", L"BYLAYER", L"byblock", L"Continuous", L"STANDARD"})
        EXPECT_TRUE(IsReservedName(kCodec.FoldCase(name))) << name;
    for (const wchar_t* name : {L"A-WALL", L"Standard2", L"ByLayers"}) EXPECT_FALSE(IsReservedName(kCodec.FoldCase(name))) << name;
}

}  // namespace
