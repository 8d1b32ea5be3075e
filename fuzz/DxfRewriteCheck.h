#pragma once
// What must hold when the fix rewrites any bytes read as a DXF drawing; shared by the fuzz target
// and the replay of its saved corpus in the tests.
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/fix/Rewrite.h"

namespace fuzzcheck {

// Code pages byte for byte (U+0000-U+00FE; 0xFF is not text), UTF-8 strictly; letter case of
// ASCII and Latin-1 letters. Enough to reach every branch without the system's tables.
class ByteTextCodec final : public kvstcheck::fix::TextCodec {
public:
    bool Knows(unsigned codePage) const override;
    std::optional<std::wstring> Decode(std::string_view bytes, unsigned codePage) const override;
    std::optional<std::string> Encode(std::wstring_view text, unsigned codePage) const override;
    std::wstring FoldCase(std::wstring_view name) const override;
};

// Empty when the fix kept its promises on these bytes, with renames chosen from the bytes' names by
// the first byte: the plan threw InputError or refused, or the rewrite (in whole and in small
// pieces alike) passes its proof and reads back as the input's names with the renames and merges.
// Otherwise what went wrong.
std::string CheckDxfRewrite(std::string_view bytes, const kvstcheck::fix::TextCodec& codec);

}  // namespace fuzzcheck
