#pragma once
// The names a drawing holds, per kind, in file order: what the audit hands to the plug-in.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kvstcheck {

// A layer's properties as a drawing file gives them, with a file's defaults where it leaves one out.
struct LayerProperties {
    std::optional<int> color;  // the colour number, negative when the layer is off; none when not given
    std::wstring linetype = L"Continuous";
    int lineweight = -3;  // hundredths of a millimetre; -3 the default, -2 by block, -1 by layer
    bool plot = true;

    bool operator==(const LayerProperties&) const = default;
};

struct DrawingNames {
    std::vector<std::wstring> layers;
    std::vector<std::wstring> linetypes;
    std::vector<std::wstring> textStyles;
    std::vector<std::wstring> dimStyles;
    // Empty, or one per layer in the same order: none for a layer whose file gives only its name.
    std::vector<std::optional<LayerProperties>> layerProperties{};

    std::size_t total() const noexcept {
        return layers.size() + linetypes.size() + textStyles.size() + dimStyles.size();
    }
    bool operator==(const DrawingNames&) const = default;
};

// Where a DXF file gives each name: per kind in the order of DrawingNames' lists, the 1-based line of
// each name's value (group 2 of its table entry), one per name. Empty for files without lines (JSON).
// Kept beside the names, not in them: the same names read from files laid out differently are equal.
using NameLines = std::array<std::vector<int>, 4>;

// A drawing file as read: its names, and what the reader doubts about the file (UTF-8 messages,
// with the line where one is known) although it read it.
struct DrawingContent {
    DrawingNames names;
    std::vector<std::string> warnings;
    NameLines lines{};
};

}  // namespace kvstcheck
