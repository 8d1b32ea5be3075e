#pragma once
// Small DXF drawings for the rewriter's tests: pairs laid out with a chosen line end and code width.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fixtest {

using Pairs = std::vector<std::pair<int, std::string>>;

struct Layout {
    std::string_view lineEnd = "\n";
    bool padded = false;  // codes right-aligned to three places
};

inline std::string Lay(const Pairs& pairs, Layout layout = {}) {
    std::string text;
    for (const auto& [code, value] : pairs) {
        std::string codeText = std::to_string(code);
        if (layout.padded && codeText.size() < 3) codeText.insert(0, 3 - codeText.size(), ' ');
        text += codeText + std::string(layout.lineEnd) + value + std::string(layout.lineEnd);
    }
    return text;
}

inline Pairs Join(std::initializer_list<Pairs> parts) {
    Pairs all;
    for (const Pairs& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Pairs Header(std::string version, std::string codePage = "ANSI_1252") {
    return {{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, version}, {9, "$DWGCODEPAGE"}, {3, codePage},
            {9, "$CLAYER"}, {8, "WALLS"},  {9, "$CELTYPE"}, {6, "DASHED"}, {9, "$TEXTSTYLE"}, {7, "Notes"},
            {9, "$DIMSTYLE"}, {2, "Arch"}, {9, "$DIMTXSTY"}, {7, "Notes"}, {0, "ENDSEC"}};
}

// LTYPE, LAYER, STYLE and DIMSTYLE tables with handles; extraLayers go after the three layers.
inline Pairs Tables(const Pairs& extraLayers = {}) {
    return Join({{{0, "SECTION"}, {2, "TABLES"},
                  {0, "TABLE"}, {2, "LTYPE"}, {5, "5"}, {70, "2"},
                  {0, "LTYPE"}, {5, "14"}, {2, "Continuous"}, {70, "0"},
                  {0, "LTYPE"}, {5, "15"}, {2, "DASHED"}, {70, "0"}, {0, "ENDTAB"},
                  {0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {70, "3"},
                  {0, "LAYER"}, {5, "10"}, {2, "0"}, {70, "0"}, {62, "7"}, {6, "Continuous"},
                  {0, "LAYER"}, {5, "11"}, {2, "WALLS"}, {70, "0"}, {62, "-3"}, {6, "DASHED"},
                  {0, "LAYER"}, {5, "12"}, {2, "A-WALL"}, {70, "0"}, {62, "7"}, {6, "Continuous"}},
                 extraLayers,
                 {{0, "ENDTAB"},
                  {0, "TABLE"}, {2, "STYLE"}, {5, "3"}, {70, "2"},
                  {0, "STYLE"}, {5, "20"}, {2, "Standard"}, {70, "0"}, {3, "txt"},
                  {0, "STYLE"}, {5, "21"}, {2, "Notes"}, {70, "0"}, {3, "arial.ttf"}, {0, "ENDTAB"},
                  {0, "TABLE"}, {2, "DIMSTYLE"}, {5, "A"}, {70, "2"}, {71, "2"}, {340, "30"}, {340, "31"},
                  {0, "DIMSTYLE"}, {105, "30"}, {2, "Standard"}, {70, "0"},
                  {0, "DIMSTYLE"}, {105, "31"}, {2, "Arch"}, {70, "0"}, {340, "21"}, {0, "ENDTAB"},
                  {0, "ENDSEC"}}});
}

inline Pairs Blocks() {
    return {{0, "SECTION"}, {2, "BLOCKS"},
            {0, "BLOCK"}, {5, "40"}, {8, "WALLS"}, {2, "Door"}, {70, "2"}, {3, "Door"},
            {0, "ATTDEF"}, {5, "41"}, {8, "WALLS"}, {7, "Notes"}, {1, "WALLS"}, {3, "Layer?"}, {2, "WALLS"},
            {0, "ENDBLK"}, {5, "42"}, {8, "WALLS"}, {0, "ENDSEC"}};
}

inline Pairs Entities(const Pairs& extra = {}) {
    return Join({{{0, "SECTION"}, {2, "ENTITIES"},
                  {0, "LINE"}, {5, "100"}, {8, "WALLS"}, {6, "DASHED"}, {10, "0.0"}, {20, "0.0"},
                  {0, "TEXT"}, {5, "101"}, {8, "walls"}, {7, "Notes"}, {1, "WALLS"},
                  {0, "DIMENSION"}, {5, "102"}, {8, "WALLS"}, {2, "*D1"}, {3, "Arch"},
                  {0, "LWPOLYLINE"}, {5, "103"}, {8, "A-WALL"}, {90, "2"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "1"},
                  {1001, "KVAPP"}, {1003, "WALLS"}},
                 extra, {{0, "ENDSEC"}}});
}

inline Pairs Objects() {
    return {{0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {5, "C"}, {3, "WALLS"}, {350, "D"}, {0, "ENDSEC"}};
}

inline Pairs Drawing(std::string version = "AC1015", const Pairs& extraLayers = {}, const Pairs& extraEntities = {}) {
    return Join({Header(std::move(version)), Tables(extraLayers), Blocks(), Entities(extraEntities), Objects(),
                 {{0, "EOF"}}});
}

}  // namespace fixtest
