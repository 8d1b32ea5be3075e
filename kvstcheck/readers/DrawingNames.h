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

}  // namespace kvstcheck
