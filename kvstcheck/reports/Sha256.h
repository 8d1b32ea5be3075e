#pragma once
// SHA-256 (FIPS 180-4), so that a report can fingerprint the standard file it was made against.
// Portable: no system calls.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvstcheck {

class Sha256 {
public:
    // Fastest: the processor's SHA instructions where it has them; Portable: plain C++ (what a
    // processor without them runs).
    enum class Engine { Fastest, Portable };
    explicit Sha256(Engine engine = Engine::Fastest) noexcept;
    void Update(std::string_view bytes) noexcept;
    // The digest of everything given, as 64 lower-case hex digits; the object is spent afterwards.
    std::string FinishHex();

private:
    void Compress(const unsigned char* blocks, std::size_t count) noexcept;
    void CompressOne(const unsigned char* block) noexcept;

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // bytes so far
    bool shaInstructions_;      // the processor has them
};

std::string Sha256Hex(std::string_view bytes);

}  // namespace kvstcheck
