// The CRC-32 register update shared by the checksum functions: slice-by-8 over tables
// built at compile time, so it keeps no state and needs no set-up; on x86 processors with
// carry-less multiplication, long runs are folded 64 bytes at a time instead.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace trl4::integrity {

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables makeCrcTables() {
    CrcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) != 0 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t s = 1; s < 8; ++s) {
        for (std::size_t i = 0; i < 256; ++i) {
            t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFFu];
        }
    }
    return t;
}

inline constexpr CrcTables kCrcTables = makeCrcTables();

inline std::uint32_t loadLittle32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Feeds bytes through the register (pre- and post-inversion are the caller's).
inline std::uint32_t crcUpdateTable(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    const auto &t = kCrcTables;
    while (n >= 8) {
        const std::uint32_t a = loadLittle32(p) ^ reg;
        const std::uint32_t b = loadLittle32(p + 4);
        reg = t[7][a & 0xFFu] ^ t[6][(a >> 8) & 0xFFu] ^ t[5][(a >> 16) & 0xFFu] ^ t[4][a >> 24] ^
              t[3][b & 0xFFu] ^ t[2][(b >> 8) & 0xFFu] ^ t[1][(b >> 16) & 0xFFu] ^ t[0][b >> 24];
        p += 8;
        n -= 8;
    }
    while (n-- > 0)
        reg = (reg >> 8) ^ t[0][(reg ^ *p++) & 0xFFu];
    return reg;
}

// The same by carry-less multiplication for at least 64 bytes, a multiple of 16; only when
// crcFoldingAvailable().
bool crcFoldingAvailable();
std::uint32_t crcUpdateFolded(std::uint32_t reg, const unsigned char *p, std::size_t n);

// The fastest of the two for the processor at hand.
std::uint32_t crcUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n);

}  // namespace trl4::integrity
