// What the front panel looks for in the built library file, read as bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef KSPTRL4_MATH_FILE
#error "KSPTRL4_MATH_FILE must name the built library"
#endif

namespace {

std::vector<unsigned char> library_bytes() {
    std::ifstream in(KSPTRL4_MATH_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const unsigned char kPrefix[] = {0xC2, 0xF1, 0xF2, 0xF0, 0xEE, 0xE5, 0xED, 0xED,
                                 0xFB, 0xE9, 'C',  'R',  'C',  '3',  '2',  '='};

TEST(LibraryFile, CarriesTheChecksumMarker) {
    const auto bytes = library_bytes();
    ASSERT_GT(bytes.size(), 1000u);
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(kPrefix), std::end(kPrefix));
    ASSERT_NE(at, bytes.end()) << "marker prefix not in " << KSPTRL4_MATH_FILE;
    const std::size_t pos = static_cast<std::size_t>(at - bytes.begin());
    ASSERT_LE(pos + 25, bytes.size());
    // Eight placeholder zeros before stamping, eight upper-case hex digits after it.
    const std::string digits(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 16),
                             bytes.begin() + static_cast<std::ptrdiff_t>(pos + 24));
    for (char c : digits)
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))
            << digits;
    EXPECT_EQ(bytes[pos + 24], 0);
    // Only one: a second copy would make the first occurrence ambiguous to a reader.
    EXPECT_EQ(std::search(at + 1, bytes.end(), std::begin(kPrefix), std::end(kPrefix)),
              bytes.end());
}

template <class T>
T read(const std::vector<unsigned char> &b, std::size_t off) {
    T v{};
    if (off + sizeof v <= b.size()) std::memcpy(&v, b.data() + off, sizeof v);
    return v;
}

TEST(LibraryFile, CarriesTheVersionNote) {
    const auto b = library_bytes();
    ASSERT_GE(b.size(), 64u);
    ASSERT_EQ(std::memcmp(b.data(),
                          "\x7F"
                          "ELF",
                          4),
              0);
    ASSERT_EQ(b[4], 2) << "64-bit ELF expected";
    const auto shoff = read<uint64_t>(b, 0x28);
    const auto shentsize = read<uint16_t>(b, 0x3A);
    const auto shnum = read<uint16_t>(b, 0x3C);
    const auto shstrndx = read<uint16_t>(b, 0x3E);
    ASSERT_EQ(shentsize, 64);
    ASSERT_LE(shoff + uint64_t{shnum} * 64, b.size());
    const auto strtab = read<uint64_t>(b, shoff + uint64_t{shstrndx} * 64 + 0x18);
    bool found = false;
    for (uint16_t i = 0; i < shnum; ++i) {
        const uint64_t sh = shoff + uint64_t{i} * 64;
        const auto name = read<uint32_t>(b, sh);
        const std::string sectionName(reinterpret_cast<const char *>(b.data() + strtab + name));
        if (sectionName != ".note.trl4.version") continue;
        found = true;
        EXPECT_EQ(read<uint32_t>(b, sh + 4), 7u) << "section type SHT_NOTE";
        const auto off = read<uint64_t>(b, sh + 0x18);
        const auto size = read<uint64_t>(b, sh + 0x20);
        ASSERT_EQ(size, 24u);
        EXPECT_EQ(read<uint32_t>(b, off), 5u);      // namesz
        EXPECT_EQ(read<uint32_t>(b, off + 4), 4u);  // descsz
        EXPECT_EQ(read<uint32_t>(b, off + 8), 1u);  // type
        EXPECT_EQ(std::memcmp(b.data() + off + 12, "TRL4\0\0\0\0", 8), 0);
        EXPECT_EQ(std::memcmp(b.data() + off + 20, "1.0\0", 4), 0);
        EXPECT_EQ(off % 4, 0u);
    }
    EXPECT_TRUE(found) << "no .note.trl4.version section";
}

}  // namespace
