#include "crc32_engine.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TRL4_CRC_FOLDING 1
#include <emmintrin.h>
#include <wmmintrin.h>
#endif

namespace trl4::integrity {

// Below this the set-up of the folding costs more than it saves.
constexpr std::size_t kFoldingThreshold = 256;

#ifdef TRL4_CRC_FOLDING

namespace {

// Folding constants for the reflected polynomial 0xEDB88320: x^k mod P for the fold
// distances of 512 and 128 bits, the 64 to 32 bit step, and the Barrett pair (P', mu).
__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i a, __m128i k, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), next);
}

__attribute__((target("pclmul,sse2"))) inline __m128i load(const unsigned char *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

}  // namespace

bool crcFoldingAvailable() {
    static const bool available =
        __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return available;
}

// 32-bit Windows only promises a 4-byte aligned stack to a callback; the vector spills need 16.
#ifdef __i386__
#define TRL4_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define TRL4_REALIGN_STACK
#endif

TRL4_REALIGN_STACK __attribute__((target("pclmul,sse2"))) std::uint32_t crcUpdateFolded(
    std::uint32_t reg, const unsigned char *p, std::size_t n) {
    const __m128i k1k2 = _mm_set_epi64x(0x1C6E41596LL, 0x154442BD4LL);
    const __m128i k3k4 = _mm_set_epi64x(0x0CCAA009ELL, 0x1751997D0LL);
    const __m128i k5 = _mm_set_epi64x(0, 0x163CD6124LL);
    const __m128i barrett = _mm_set_epi64x(0x1F7011641LL, 0x1DB710641LL);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    n -= 64;
    while (n >= 64) {
        x1 = fold(x1, k1k2, load(p));
        x2 = fold(x2, k1k2, load(p + 16));
        x3 = fold(x3, k1k2, load(p + 32));
        x4 = fold(x4, k1k2, load(p + 48));
        p += 64;
        n -= 64;
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    while (n >= 16) {
        x1 = fold(x1, k3k4, load(p));
        p += 16;
        n -= 16;
    }
    // 128 bits to 64, then to 32 with 32 zero bits appended.
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                       _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00));
    // Barrett reduction to the 32-bit remainder.
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

std::uint32_t crcUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    if (n >= kFoldingThreshold && crcFoldingAvailable()) {
        const std::size_t folded = n & ~std::size_t{15};
        reg = crcUpdateFolded(reg, p, folded);
        p += folded;
        n -= folded;
    }
    return crcUpdateTable(reg, p, n);
}

#else

bool crcFoldingAvailable() {
    return false;
}

std::uint32_t crcUpdateFolded(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    return crcUpdateTable(reg, p, n);
}

std::uint32_t crcUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    return crcUpdateTable(reg, p, n);
}

#endif

}  // namespace trl4::integrity
