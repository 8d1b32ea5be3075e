#pragma once
// Turns a drawing's bytes in a code page into text. The DXF reader's parse takes one from its caller,
// so that the parse itself uses no system calls and builds on any platform.
#include <optional>
#include <string>
#include <string_view>

namespace kvstcheck {

// The code page number of UTF-8.
inline constexpr unsigned kUtf8CodePage = 65001;

class TextDecoder {
public:
    virtual ~TextDecoder() = default;
    // Whether this decoder converts text of that code page.
    virtual bool Knows(unsigned codePage) const = 0;
    // Strict: nullopt when the bytes are not valid text in that code page.
    virtual std::optional<std::wstring> Decode(std::string_view bytes, unsigned codePage) const = 0;
};

}  // namespace kvstcheck
