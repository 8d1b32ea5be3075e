#pragma once
// Byte-for-byte equality a machine word at a time: the runtime's compare may go a byte or a
// character at a time, slow on the load path (a path at every read, a file of megabytes at every load).
#include <cstdint>
#include <cstring>
#include <string_view>

namespace standards {

inline bool SameBytes(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    using Word = std::uintptr_t;
    std::size_t at = 0;
    for (; a.size() - at >= sizeof(Word); at += sizeof(Word)) {
        Word x, y;
        std::memcpy(&x, a.data() + at, sizeof x);
        std::memcpy(&y, b.data() + at, sizeof y);
        if (x != y) return false;
    }
    for (; at < a.size(); ++at)
        if (a[at] != b[at]) return false;
    return true;
}

}  // namespace standards
