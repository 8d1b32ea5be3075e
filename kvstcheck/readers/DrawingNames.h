#pragma once
// The names a drawing holds, per kind, in file order: what the audit hands to the plug-in.
#include <cstddef>
#include <string>
#include <vector>

namespace kvstcheck {

struct DrawingNames {
    std::vector<std::wstring> layers;
    std::vector<std::wstring> linetypes;
    std::vector<std::wstring> textStyles;
    std::vector<std::wstring> dimStyles;

    std::size_t total() const noexcept {
        return layers.size() + linetypes.size() + textStyles.size() + dimStyles.size();
    }
    bool operator==(const DrawingNames&) const = default;
};

// A drawing file as read: its names, and what the reader doubts about the file (UTF-8 messages,
// with the line where one is known) although it read it.
struct DrawingContent {
    DrawingNames names;
    std::vector<std::string> warnings;
};

}  // namespace kvstcheck
