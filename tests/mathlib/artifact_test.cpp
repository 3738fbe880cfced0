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

#include "ksptrl4_math.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

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

#ifndef _WIN32
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
#else
TEST(LibraryFile, CarriesTheVersionResource) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(KSPTRL4_MATH_FILE, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_NE(GetFileVersionInfoA(KSPTRL4_MATH_FILE, 0, size, data.data()), 0);
    struct Translation {
        WORD language;
        WORD codePage;
    } *tr = nullptr;
    UINT len = 0;
    ASSERT_NE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void **>(&tr), &len),
              0);
    ASSERT_TRUE(tr != nullptr && len >= sizeof(Translation));
    EXPECT_EQ(tr->language, 0x0409);
    EXPECT_EQ(tr->codePage, 0x04B0);
    char *text = nullptr;
    ASSERT_NE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                             reinterpret_cast<void **>(&text), &len),
              0);
    EXPECT_STREQ(text, "1.0");
}
#endif

// The driver loads the library by its file name and takes each export by its undecorated
// name through a pointer of the export's calling convention: a decorated name is missing,
// and a wrong convention unbalances the stack, so several calls in a row come out wrong.
class LoadedByName : public ::testing::Test {
  protected:
#ifdef _WIN32
    void SetUp() override {
        lib_ = LoadLibraryA(KSPTRL4_MATH_FILE);
    }
    void TearDown() override {
        if (lib_ != nullptr) {
            EXPECT_NE(FreeLibrary(lib_), 0);
        }
    }
    void *symbol(const char *name) const {
        return reinterpret_cast<void *>(GetProcAddress(lib_, name));
    }
    HMODULE lib_ = nullptr;
#else
    void SetUp() override {
        lib_ = dlopen(KSPTRL4_MATH_FILE, RTLD_NOW | RTLD_LOCAL);
    }
    void TearDown() override {
        if (lib_ != nullptr) {
            EXPECT_EQ(dlclose(lib_), 0);
        }
    }
    void *symbol(const char *name) const {
        return dlsym(lib_, name);
    }
    void *lib_ = nullptr;
#endif
    template <class Fn>
    Fn resolve(const char *name) const {
        void *p = lib_ != nullptr ? symbol(name) : nullptr;
        EXPECT_NE(p, nullptr) << "no export " << name;
        Fn fn = nullptr;
        static_assert(sizeof fn == sizeof p);
        std::memcpy(&fn, &p, sizeof fn);
        return fn;
    }
};

#define TRL4_RESOLVE(name) resolve<decltype(&name)>(#name)

TEST_F(LoadedByName, EveryExportAnswersAsTheLinkedFunctionDoes) {
    ASSERT_NE(lib_, nullptr) << KSPTRL4_MATH_FILE;
    const double x[3] = {8.0, 10.5, -10.5};
    const float xf[3] = {8.0f, 10.5f, -10.5f};
    const int32_t modes[2] = {5, 1};
    const double zeros[2] = {0.0, 1.0}, gains[2] = {1000.0, 10.0}, shifts[2] = {0.5, 0.0};
    int32_t c24[6] = {}, l24[6] = {};
    int16_t c16[6] = {}, l16[6] = {};
    // Every code export by name and linked, on the same samples: same status, same codes.
#define TRL4_SAME_CODES(fn, p1, p2, p3, samples, codes, linked, step, p4) \
    EXPECT_EQ(TRL4_RESOLVE(fn)(p1, p2, p3, samples, 3, codes, step, p4),  \
              fn(p1, p2, p3, samples, 3, linked, step, p4));              \
    EXPECT_TRUE(std::equal(std::begin(codes), std::end(codes), linked)) << #fn
    TRL4_SAME_CODES(ksptrl4Math_double2cod24, 5, 0, 1e6, x, c24, l24, 1, 0);
    TRL4_SAME_CODES(ksptrl4Math_double2cod16, 5, 0, 256, x, c16, l16, 1, 0);
    TRL4_SAME_CODES(ksptrl4Math_float2cod24, 5, 0, 1e6, xf, c24, l24, 1, 0);
    TRL4_SAME_CODES(ksptrl4Math_float2cod16, 5, 0, 1e6, xf, c16, l16, 1, 0);
    TRL4_SAME_CODES(ksptrl4Math_double2cod24_2chans, modes, zeros, gains, x, c24, l24, 9, shifts);
    TRL4_SAME_CODES(ksptrl4Math_double2cod16_2chans, modes, zeros, gains, x, c16, l16, 0, shifts);
    TRL4_SAME_CODES(ksptrl4Math_float2cod24_2chans, modes, zeros, gains, xf, c24, l24, 9, shifts);
    TRL4_SAME_CODES(ksptrl4Math_float2cod16_2chans, modes, zeros, gains, xf, c16, l16, 0, shifts);
#undef TRL4_SAME_CODES

    EXPECT_EQ(TRL4_RESOLVE(ksptrl4Math_cod24_2val)(1.5, 2.0, -4),
              ksptrl4Math_cod24_2val(1.5, 2.0, -4));
    EXPECT_EQ(TRL4_RESOLVE(ksptrl4Math_cod16_2val)(0, 256, 0xFFFF),
              ksptrl4Math_cod16_2val(0, 256, 0xFFFF));
    EXPECT_EQ(TRL4_RESOLVE(ksptrl4Math_ADCcod2val)(0.001, 0x2000),
              ksptrl4Math_ADCcod2val(0.001, 0x2000));
    EXPECT_EQ(TRL4_RESOLVE(ksptrl4Math_attVal2cod)(1000, 0.5), ksptrl4Math_attVal2cod(1000, 0.5));
    EXPECT_EQ(TRL4_RESOLVE(ksptrl4Math_attCod2val)(1000, 500), ksptrl4Math_attCod2val(1000, 500));

    const auto abs = TRL4_RESOLVE(ksptrl4_povCheckValueAbs);
    for (int i = 0; i < 4; ++i) {
        double d = -1, ld = -2;
        const double measured = 1.05 + 0.05 * i;
        EXPECT_EQ(abs(1.0, measured, 0.1, &d), ksptrl4_povCheckValueAbs(1.0, measured, 0.1, &ld));
        EXPECT_EQ(d, ld);
    }
    char tol[11], dev[11], ltol[11], ldev[11];
    EXPECT_EQ(TRL4_RESOLVE(ksptrl4_povCheckValueProc)(100, 100, 100.0004, 2e-5, tol, dev),
              ksptrl4_povCheckValueProc(100, 100, 100.0004, 2e-5, ltol, ldev));
    EXPECT_STREQ(tol, ltol);
    EXPECT_STREQ(dev, ldev);
}

}  // namespace
