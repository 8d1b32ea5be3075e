#pragma once
// A drawing's names as text: decoded as the drawing's version and code page say, compared in upper
// case, and written back the way that version writes them. Portable.
#include <optional>
#include <string>
#include <string_view>

#include "kvstcheck/fix/PairStream.h"
#include "kvstcheck/fix/Rewrite.h"

namespace kvstcheck::fix {

inline constexpr int kFirstUtf8Version = 1021;
inline constexpr int kFirstLineweightVersion = 1015;
inline constexpr int kLastR12Version = 1009;

class DrawingText {
public:
    explicit DrawingText(const TextCodec& codec) : codec_(codec) {}

    // Takes $ACADVER and $DWGCODEPAGE from the HEADER section's unit. Throws InputError for a code
    // page the codec does not know.
    void ReadHeader(const Unit& header);
    int version() const noexcept { return version_; }

    // The value as a name: decoded, escapes replaced (before AC1021); nullopt when it is not text.
    std::optional<std::wstring> Decode(std::string_view value) const;
    // The same, in upper case. ASCII names take a path of their own: they are nearly all of them.
    std::optional<std::wstring> Folded(std::string_view value) const;
    // The same into a buffer the caller keeps, so that a drawing's millions of values cost no
    // allocations; false when the value is not text.
    bool Folded(std::string_view value, std::wstring& folded) const;
    std::wstring Fold(std::wstring_view name) const { return codec_.FoldCase(name); }
    // The name's bytes as this drawing writes them: UTF-8 from AC1021, else the code page with
    // \U+XXXX for what it cannot hold. nullopt when a character cannot be written at all.
    std::optional<std::string> Encode(std::wstring_view name) const;

private:
    const TextCodec& codec_;
    int version_ = 0;
    unsigned codePage_ = 1252;
};

}  // namespace kvstcheck::fix
