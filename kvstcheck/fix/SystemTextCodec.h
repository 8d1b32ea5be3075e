#pragma once
// The rewriter's text conversions and letter case through the system (Windows side of TextCodec).
#include "kvstcheck/fix/Rewrite.h"

namespace kvstcheck::fix {

class SystemTextCodec final : public TextCodec {
public:
    bool Knows(unsigned codePage) const override;
    std::optional<std::wstring> Decode(std::string_view bytes, unsigned codePage) const override;
    std::optional<std::string> Encode(std::wstring_view text, unsigned codePage) const override;
    std::wstring FoldCase(std::wstring_view name) const override;
};

}  // namespace kvstcheck::fix
