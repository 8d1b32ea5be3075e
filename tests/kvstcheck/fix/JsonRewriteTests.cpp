// JSON drawings fixed as JSON: renames, merges, a layer's linetype following its linetype's rename,
// properties, and the refusals, each read back by the audit's JSON reader.
#include <gtest/gtest.h>

#include <string>

#include "kvstcheck/fix/Rewrite.h"
#include "kvstcheck/fix/SystemTextCodec.h"
#include "kvstcheck/readers/JsonDrawingReader.h"

namespace {

using namespace kvstcheck::fix;

const SystemTextCodec kCodec;

const std::string kDrawing = R"({
  "Layers": ["0", "WALLS", {"name": "Doors", "color": -3, "linetype": "dashed"}, "A-WALL"],
  "Linetypes": ["Continuous", "DASHED"],
  "TextStyles": ["Standard", "Notes"]
})";

struct JsonCase {
    const char* label;
    FixKind kind;
    std::wstring from, to;
    std::vector<std::wstring> layers, linetypes;
    bool merge;
    std::size_t references;
};

const JsonCase kCases[] = {
    {"layer renamed", FixKind::Layers, L"walls", L"A-WALL-NEW", {L"0", L"A-WALL-NEW", L"Doors", L"A-WALL"},
     {L"Continuous", L"DASHED"}, false, 0},
    {"layer merged", FixKind::Layers, L"WALLS", L"a-wall", {L"0", L"Doors", L"A-WALL"}, {L"Continuous", L"DASHED"}, true, 0},
    {"layer given as an object", FixKind::Layers, L"DOORS", L"A-DOOR", {L"0", L"WALLS", L"A-DOOR", L"A-WALL"},
     {L"Continuous", L"DASHED"}, false, 0},
    {"linetype and the layer that names it", FixKind::Linetypes, L"Dashed", L"HIDDEN", {L"0", L"WALLS", L"Doors", L"A-WALL"},
     {L"Continuous", L"HIDDEN"}, false, 1},
};

TEST(JsonRewrite, RenamesAndMerges) {
    for (const JsonCase& test : kCases) {
        SCOPED_TRACE(test.label);
        FixRequest request;
        request.renames[static_cast<std::size_t>(test.kind)].emplace_back(test.from, test.to);
        std::string out;
        const RewriteAccount account = RewriteJsonDrawing(kDrawing, out, kCodec, request);
        ASSERT_FALSE(account.refusal);
        ASSERT_EQ(account.renames.size(), 1u);
        EXPECT_EQ(account.renames[0].merge, test.merge);
        EXPECT_EQ(account.renames[0].references, test.references);
        const auto names = kvstcheck::ReadJsonDrawing(out);
        EXPECT_EQ(names.layers, test.layers);
        EXPECT_EQ(names.linetypes, test.linetypes);
        if (test.kind == FixKind::Linetypes) {
            EXPECT_EQ(names.layerProperties.at(2)->linetype, L"HIDDEN");
        }
    }
}

TEST(JsonRewrite, PropertiesKeepTheLayerOff) {
    FixRequest request;
    request.layerProperties.emplace_back(L"doors", LayerChange{5, L"continuous", 25, false});
    request.layerProperties.emplace_back(L"WALLS", LayerChange{2, L"UNDEFINED", {}, {}});
    std::string out;
    const RewriteAccount account = RewriteJsonDrawing(kDrawing, out, kCodec, request);
    ASSERT_EQ(account.properties.size(), 2u);
    ASSERT_EQ(account.left.size(), 1u);
    const auto names = kvstcheck::ReadJsonDrawing(out);
    const kvstcheck::LayerProperties doors{-5, L"Continuous", 25, false};
    EXPECT_EQ(names.layerProperties.at(2), doors);
    EXPECT_EQ(names.layerProperties.at(1)->color, 2);
}

TEST(JsonRewrite, TwinsAreRefusedAndReservedNamesLeft) {
    FixRequest twins;
    twins.renames[0].emplace_back(L"WALLS", L"X");
    std::string out;
    const std::string drawing = R"({"Layers": ["WALLS", "Walls"]})";
    EXPECT_TRUE(RewriteJsonDrawing(drawing, out, kCodec, twins).refusal);
    EXPECT_EQ(out, "");
    twins.force = true;
    EXPECT_TRUE(RewriteJsonDrawing(drawing, out, kCodec, twins).forced);
    FixRequest reserved;
    reserved.renames[0].emplace_back(L"0", L"ZERO");
    const RewriteAccount account = RewriteJsonDrawing(kDrawing, out, kCodec, reserved);
    EXPECT_EQ(account.left.size(), 1u);
    EXPECT_FALSE(account.changed);
    EXPECT_EQ(out, kDrawing);
}

}  // namespace
