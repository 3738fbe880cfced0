#include <gtest/gtest.h>
#if __has_include(<zlib.h>)
#include <zlib.h>
#endif

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "crc32_engine.h"
#include "test_files.h"
#include "trl4/integrity.h"

namespace {

using trl4::test::kPrefix;
using trl4::test::markedImage;
using trl4::test::readBytes;
using trl4::test::TempDir;
using trl4::test::writeBytes;

// The reference: zlib where the platform has it, else the plain bitwise definition.
std::uint32_t referenceCrc(const unsigned char *p, std::size_t n) {
#if __has_include(<zlib.h>)
    return static_cast<std::uint32_t>(crc32(0L, p, static_cast<uInt>(n)));
#else
    std::uint32_t reg = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        reg ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1u)));
    }
    return ~reg;
#endif
}

std::uint32_t referenceCrc(const std::string &bytes) {
    return referenceCrc(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

std::int32_t len(const std::string &s) {
    return static_cast<std::int32_t>(s.size());
}

// The image with its first marker's eight digits filled in as the stamping tool would.
std::string stamped(std::string image) {
    const auto at = image.find(kPrefix) + kPrefix.size();
    image.replace(at, 8, "00000000");
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(referenceCrc(image)));
    image.replace(at, 8, digits);
    return image;
}

std::int32_t checkImage(const std::string &image, std::uint32_t &stored, std::uint32_t &computed,
                        std::uint32_t &file) {
    stored = computed = file = 0xDEADBEEF;
    return CheckImageInternalCRC32(image.data(), len(image), &stored, &computed, &file);
}

TEST(Crc32, KnownValuesAndEmptyInput) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("a", 1), 0xE8B7BE43u);
    EXPECT_EQ(Crc32("abc", 0), 0u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    EXPECT_EQ(Crc32(nullptr, 10), 0u);
    EXPECT_EQ(Crc32("abc", -1), 0u);
}

TEST(Crc32, TableAndFoldingPathsAgreeWithTheReferenceFromAnyRegister) {
    std::mt19937 random(7);
    std::vector<unsigned char> pool(1 << 20);
    for (auto &b : pool)
        b = static_cast<unsigned char>(random());
    for (std::size_t n = 0; n < pool.size() - 128; n += 1 + n / 7) {
        const std::size_t offset = random() % 64;
        const auto *p = pool.data() + offset;
        const auto expected = referenceCrc(p, n);
        ASSERT_EQ(~trl4::integrity::crcUpdateTable(0xFFFFFFFFu, p, n), expected) << n;
        ASSERT_EQ(Crc32(p, static_cast<std::int32_t>(n)), expected) << n;
        // Continuing from a register that is not the initial one.
        const auto head = referenceCrc(p, 5);
        const auto whole = referenceCrc(p, n + 5);
        ASSERT_EQ(~trl4::integrity::crcUpdate(~head, p + 5, n), whole) << n;
    }
    if (!trl4::integrity::crcFoldingAvailable()) GTEST_SKIP() << "no carry-less multiply";
    for (std::size_t n = 64; n < 2000; n += 16) {
        const std::size_t offset = random() % 64;
        const auto *p = pool.data() + offset;
        const auto reg = static_cast<std::uint32_t>(random());
        ASSERT_EQ(trl4::integrity::crcUpdateFolded(reg, p, n),
                  trl4::integrity::crcUpdateTable(reg, p, n))
            << n;
    }
}

TEST(FindInBuffer, FindsFirstOccurrenceButNotOneEndingAtTheEnd) {
    const std::string data = "xxabcyyabczz";
    const auto *base = reinterpret_cast<const unsigned char *>(data.data());
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "abc"), base + 2);
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "xxa"), base);
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "zz"), nullptr);   // ends at the end
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "cz"), base + 9);  // one byte before
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "xxabcyyabczz"), nullptr);
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "xxabcyyabczzz"), nullptr);
    EXPECT_EQ(FindInBuffer(data.data(), len(data), "abd"), nullptr);
    EXPECT_EQ(FindInBuffer(data.data(), 4, "abc"), nullptr);  // the length bounds the search
    EXPECT_EQ(FindInBuffer(data.data(), len(data), ""), base);
    EXPECT_EQ(FindInBuffer(nullptr, 5, "a"), nullptr);
    EXPECT_EQ(FindInBuffer(data.data(), len(data), nullptr), nullptr);
    EXPECT_EQ(FindInBuffer(data.data(), -3, "a"), nullptr);
}

TEST(FindInBuffer, ComparesHighBytesExactly) {
    std::string data = "..." + kPrefix + "0";
    std::string near = data;
    near[3] = static_cast<char>(near[3] ^ 0x80);  // same low seven bits
    EXPECT_NE(FindInBuffer(data.data(), len(data), kCrcMarkerPrefix), nullptr);
    EXPECT_EQ(FindInBuffer(near.data(), len(near), kCrcMarkerPrefix), nullptr);
}

TEST(MarkerImage, AnyChangedByteIsAMismatch) {
    const std::string image = stamped(markedImage());
    const auto digitsAt = image.find(kPrefix) + kPrefix.size();
    for (std::size_t i = 0; i < image.size(); ++i) {
        std::string changed = image;
        changed[i] = static_cast<char>(changed[i] ^ 0x01);
        std::uint32_t stored, computed, file;
        const std::int32_t status = checkImage(changed, stored, computed, file);
        if (i >= digitsAt - kPrefix.size() && i < digitsAt) {
            EXPECT_EQ(status, -1) << "prefix byte " << i;  // the marker is gone
        } else {
            EXPECT_EQ(status, 1) << "byte " << i;
        }
    }
}

TEST(MarkerImage, NoMarkerGivesMinusOneAndTheWholeImageChecksum) {
    const std::string plain = "plain bytes without any marker";
    std::uint32_t stored, computed, file;
    EXPECT_EQ(checkImage(plain, stored, computed, file), -1);
    EXPECT_EQ(stored, 0u);
    EXPECT_EQ(computed, referenceCrc(plain));
    EXPECT_EQ(file, referenceCrc(plain));
    EXPECT_EQ(CheckImageInternalCRC32(nullptr, 10, &stored, &computed, &file), -1);
    EXPECT_EQ(computed, 0u);
    // A prefix at the very end is no marker.
    const std::string image = "some bytes " + kPrefix;
    EXPECT_EQ(checkImage(image, stored, computed, file), -1);
    EXPECT_EQ(stored, 0u);
    // One byte more and it counts; the digit is read and replaced within the image only.
    const std::string one = image + "7";
    EXPECT_EQ(checkImage(one, stored, computed, file), 1);
    EXPECT_EQ(stored, 7u);
    EXPECT_EQ(computed, referenceCrc(image + "0"));
}

TEST(MarkerImage, OnlyTheFirstOfTwoMarkersIsRead) {
    std::string image = markedImage() + kPrefix + "12345678";
    image.push_back('\0');
    image += "tail";
    image = stamped(image);
    std::uint32_t stored, computed, file;
    EXPECT_EQ(checkImage(image, stored, computed, file), 0);
    // The second marker's digits are ordinary data under the checksum.
    std::string changed = image;
    changed[image.rfind(kPrefix) + kPrefix.size()] = '9';
    EXPECT_EQ(checkImage(changed, stored, computed, file), 1);
}

TEST(MarkerImage, DigitsAreReadAsTheStandardHexConversionDoes) {
    struct Case {
        std::string text;      // what follows the prefix
        std::uint32_t value;   // the number read
        std::size_t consumed;  // bytes replaced by '0'
    };
    const Case cases[] = {
        {"1a2B", 0x1A2B, 4},  // lower case accepted
        {"  +ff/", 0xFF, 5},
        {"\t-1", 0xFFFFFFFFu, 3},
        {"0xAb", 0xAB, 4},
        {"0xg", 0, 1},                  // only the 0 is a number
        {"123456789", 0xFFFFFFFFu, 9},  // too large for 32 bits
        {"-", 0, 0},
        {"zz", 0, 0},
        {" ", 0, 0},
    };
    for (const Case &c : cases) {
        const std::string image = "head" + kPrefix + c.text;
        std::string zeroed = image;
        zeroed.replace(4 + kPrefix.size(), c.consumed, std::string(c.consumed, '0'));
        std::uint32_t stored, computed, file;
        const std::int32_t status = checkImage(image, stored, computed, file);
        EXPECT_EQ(stored, c.value) << c.text;
        EXPECT_EQ(computed, referenceCrc(zeroed)) << c.text;
        EXPECT_EQ(status, computed == c.value ? 0 : 1) << c.text;
    }
}

class MarkerFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.file("component.bin");
};

TEST_F(MarkerFile, EmptyOrMissingFile) {
    writeBytes(path, "");
    std::uint32_t stored = 1, computed = 2, file = 3;
    EXPECT_EQ(GetFileCRC32(path.c_str()), 0u);
    EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), &stored, &computed, &file), -1);
    EXPECT_EQ(stored, 0u);
    EXPECT_EQ(computed, 0u);
    EXPECT_EQ(SetupFileInternalCRC32(path.c_str()), -1);
    const std::string missing = dir.file("missing.bin");
    EXPECT_EQ(GetFileCRC32(missing.c_str()), 0u);
    EXPECT_EQ(CheckFileInternalCRC32(missing.c_str(), &stored, &computed, nullptr), -1);
    EXPECT_EQ(SetupFileInternalCRC32(missing.c_str()), -1);
    EXPECT_EQ(GetFileCRC32(nullptr), 0u);
    EXPECT_EQ(CheckFileInternalCRC32(nullptr, &stored, &computed, nullptr), -1);
    // A folder is not a file.
    EXPECT_EQ(GetFileCRC32(dir.path().string().c_str()), 0u);
}

TEST_F(MarkerFile, MatchingDigitsCheckAsZeroAndTheFileChecksumCoversThem) {
    const std::string image = stamped(markedImage());
    writeBytes(path, image);
    EXPECT_EQ(GetFileCRC32(path.c_str()), referenceCrc(image));
    std::uint32_t stored = 0, computed = 0, file = 0;
    EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), &stored, &computed, &file), 0);
    EXPECT_EQ(stored, computed);
    EXPECT_EQ(file, referenceCrc(image));
    EXPECT_NE(file, stored);  // the file's CRC covers the digits as stored
    writeBytes(path, image + "!");
    EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), &stored, &computed, nullptr), 1);
}

TEST_F(MarkerFile, SetupThenCheckGivesZeroChangesOnlyTheDigitsAndEndsThemWithZero) {
    const std::string image = markedImage("--------");
    writeBytes(path, image);
    ASSERT_EQ(SetupFileInternalCRC32(path.c_str()), 0);
    const std::string after = readBytes(path);
    ASSERT_EQ(after.size(), image.size());
    const auto at = image.find(kPrefix) + kPrefix.size();
    EXPECT_EQ(after.substr(0, at), image.substr(0, at));
    EXPECT_EQ(after.substr(at + 8), image.substr(at + 8));
    char expected[9];
    std::string zeroed = image;
    zeroed.replace(at, 8, "00000000");
    std::snprintf(expected, sizeof expected, "%08X", static_cast<unsigned>(referenceCrc(zeroed)));
    EXPECT_EQ(after.substr(at, 8), expected);  // upper case
    std::uint32_t stored = 0, computed = 0;
    EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), &stored, &computed, nullptr), 0);
    // Stamping again is idempotent.
    ASSERT_EQ(SetupFileInternalCRC32(path.c_str()), 0);
    EXPECT_EQ(readBytes(path), after);
    // Ten digits: the byte after the eighth is forced to zero.
    writeBytes(path, markedImage("0000000012"));
    ASSERT_EQ(SetupFileInternalCRC32(path.c_str()), 0);
    EXPECT_EQ(readBytes(path)[at + 8], '\0');
    EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), nullptr, nullptr, nullptr), 0);
}

TEST_F(MarkerFile, SetupRefusesShortTailsTinyFilesAndNoMarkerAndNeverWritesBeyondTheFile) {
    const std::string head = "twenty or more bytes ahead ";
    // Refused, file untouched: 19 bytes, no marker, fewer than nine bytes after the prefix.
    std::vector<std::string> refused = {kPrefix + "123", std::string(100, 'p')};
    for (std::size_t tail = 0; tail < 9; ++tail)
        refused.push_back(head + kPrefix + std::string(tail, 'x'));
    for (const std::string &image : refused) {
        writeBytes(path, image);
        EXPECT_EQ(SetupFileInternalCRC32(path.c_str()), -1) << image;
        EXPECT_EQ(readBytes(path), image);
    }
    EXPECT_EQ(SetupFileInternalCRC32(nullptr), -1);
    // From nine on (less than the 32 written back otherwise): stamped, size kept.
    for (std::size_t tail : {9u, 10u, 31u, 32u, 33u}) {
        const std::string image = head + kPrefix + std::string(tail, 'x');
        writeBytes(path, image);
        EXPECT_EQ(SetupFileInternalCRC32(path.c_str()), 0) << tail;
        EXPECT_EQ(readBytes(path).size(), image.size()) << tail;
        EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), nullptr, nullptr, nullptr), 0) << tail;
    }
}

}  // namespace
