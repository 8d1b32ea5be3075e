#pragma once
// What must hold for any bytes read as a DXF drawing; shared by the fuzz target and the replay of its
// saved corpus in the tests.
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/readers/TextDecoder.h"

namespace fuzzcheck {

// Decodes any code page byte for byte (U+0000-U+00FF), UTF-8 strictly, and refuses the byte 0xFF,
// so that both outcomes of a conversion are reached without the system's tables.
class ByteTextDecoder final : public kvstcheck::TextDecoder {
public:
    bool Knows(unsigned codePage) const override;
    std::optional<std::wstring> Decode(std::string_view bytes, unsigned codePage) const override;
};

// Empty when the reader kept its promises on these bytes: it read them or threw InputError with a
// line inside the file and a UTF-8 message, and the same file with CR LF line ends (after the place
// of the binary marker), or handed to the reader in small pieces, reads alike.
// Otherwise what went wrong.
std::string CheckDxfReader(std::string_view bytes, const kvstcheck::TextDecoder& decoder);

}  // namespace fuzzcheck
