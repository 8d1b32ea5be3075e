#include "kvstcheck/reports/Sha256.h"

#include <algorithm>

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <cpuid.h>
#include <immintrin.h>
#define KV_SHA_INSTRUCTIONS 1
#endif

namespace kvstcheck {
namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t Rotate(std::uint32_t x, int n) noexcept { return x >> n | x << (32 - n); }

// One round; the callers rotate the roles of the eight working variables instead of moving them.
inline void Round(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d, std::uint32_t e, std::uint32_t f,
                  std::uint32_t g, std::uint32_t& h, std::uint32_t kw) noexcept {
    const std::uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kw;
    const std::uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    d += t1;
    h = t1 + t2;
}

#ifdef KV_SHA_INSTRUCTIONS
// The processor's SHA instructions (and the SSE4.1 and SSSE3 ones they go with): a drawing of some ten
// megabytes is hashed in a few milliseconds instead of a tenth of a second.
bool HasShaInstructions() noexcept {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
}

// The state as the instructions keep it: {F, E, B, A} and {H, G, D, C}, the last word the highest.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithShaInstructions(std::array<std::uint32_t, 8>& state,
                                                                            const unsigned char* blocks,
                                                                            std::size_t count) noexcept {
    const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i words[4];  // the schedule's last sixteen words, four to a register
        for (int i = 0; i < 4; ++i)
            words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), bigEndian);
#pragma GCC unroll 16
        for (int group = 0; group < 16; ++group) {
            __m128i& next = words[group % 4];
            if (group >= 4) {
                next = _mm_sha256msg1_epu32(next, words[(group + 1) % 4]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(words[(group + 3) % 4], words[(group + 2) % 4], 4));
                next = _mm_sha256msg2_epu32(next, words[(group + 3) % 4]);
            }
            const __m128i sums = _mm_add_epi32(next, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sums);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(sums, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}
#else
bool HasShaInstructions() noexcept { return false; }
#endif

}  // namespace

Sha256::Sha256(Engine engine) noexcept
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19},
      shaInstructions_(engine == Engine::Fastest && HasShaInstructions()) {}

void Sha256::Compress(const unsigned char* blocks, std::size_t count) noexcept {
#ifdef KV_SHA_INSTRUCTIONS
    if (shaInstructions_) return CompressWithShaInstructions(state_, blocks, count);
#endif
    for (; count > 0; --count, blocks += 64) CompressOne(blocks);
}

void Sha256::CompressOne(const unsigned char* block) noexcept {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4], f = state_[5],
                  g = state_[6], h = state_[7];
    for (int i = 0; i < 64; i += 8) {
        Round(a, b, c, d, e, f, g, h, kRound[i] + w[i]);
        Round(h, a, b, c, d, e, f, g, kRound[i + 1] + w[i + 1]);
        Round(g, h, a, b, c, d, e, f, kRound[i + 2] + w[i + 2]);
        Round(f, g, h, a, b, c, d, e, kRound[i + 3] + w[i + 3]);
        Round(e, f, g, h, a, b, c, d, kRound[i + 4] + w[i + 4]);
        Round(d, e, f, g, h, a, b, c, kRound[i + 5] + w[i + 5]);
        Round(c, d, e, f, g, h, a, b, kRound[i + 6] + w[i + 6]);
        Round(b, c, d, e, f, g, h, a, kRound[i + 7] + w[i + 7]);
    }
    state_[0] += a, state_[1] += b, state_[2] += c, state_[3] += d;
    state_[4] += e, state_[5] += f, state_[6] += g, state_[7] += h;
}

void Sha256::Update(std::string_view bytes) noexcept {
    length_ += bytes.size();
    if (buffered_ > 0) {
        const std::size_t take = std::min(bytes.size(), buffer_.size() - buffered_);
        std::copy_n(bytes.begin(), take, buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_));
        buffered_ += take;
        bytes.remove_prefix(take);
        if (buffered_ < buffer_.size()) return;
        Compress(buffer_.data(), 1);
        buffered_ = 0;
    }
    // Whole blocks straight from the bytes given: a file is hashed as it is read.
    const std::size_t blocks = bytes.size() / buffer_.size();
    Compress(reinterpret_cast<const unsigned char*>(bytes.data()), blocks);
    bytes.remove_prefix(blocks * buffer_.size());
    std::copy_n(bytes.begin(), bytes.size(), buffer_.begin());
    buffered_ = bytes.size();
}

std::string Sha256::FinishHex() {
    const std::uint64_t bits = length_ * 8;
    Update(std::string_view("\x80", 1));
    while (buffered_ != 56) Update(std::string_view("\0", 1));
    std::string tail(8, '\0');
    for (int i = 0; i < 8; ++i) tail[i] = static_cast<char>(bits >> (56 - 8 * i));
    Update(tail);
    constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint32_t word : state_)
        for (int shift = 28; shift >= 0; shift -= 4) hex += kDigits[word >> shift & 0xF];
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.FinishHex();
}

}  // namespace kvstcheck
