#pragma once
// The code pages this system installs, through its own conversions.
#include "kvstcheck/readers/TextDecoder.h"

namespace kvstcheck {

class SystemTextDecoder final : public TextDecoder {
public:
    bool Knows(unsigned codePage) const override;
    std::optional<std::wstring> Decode(std::string_view bytes, unsigned codePage) const override;
};

}  // namespace kvstcheck
