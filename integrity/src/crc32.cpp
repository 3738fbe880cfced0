// CRC-32 of buffers and files, and the embedded checksum marker.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "crc32_engine.h"
#include "trl4/integrity.h"
#include "trl4/os.h"

using trl4::integrity::crcUpdate;

namespace {

// Room after the bytes read: the image is always followed by zero bytes.
constexpr std::int64_t kImageSlack = 8;
// The first digit must be followed by this many bytes of image for the write-back.
constexpr std::size_t kMarkerFieldLength = 9;  // eight digits and a zero byte
constexpr std::size_t kWriteBackAfterDigits = 32;
constexpr std::int64_t kMinSetupFileSize = 20;

enum class Load { Ok, CannotOpen, Empty, NoMemory, ReadError };

struct Image {
    std::unique_ptr<unsigned char[]> bytes;
    std::int32_t length = 0;
};

// The whole file in one zero-padded buffer.
Load loadImage(const char *fileName, Image &image, std::int64_t minSize = 1) {
    if (fileName == nullptr) return Load::CannotOpen;
    const std::int64_t size = trl4::os::fileSize(fileName);
    trl4::os::File *file = trl4::os::openForReading(fileName);
    if (file == nullptr) return Load::CannotOpen;
    if (size < minSize) {
        trl4::os::closeFile(file);
        return Load::Empty;
    }
    // Crc32 counts in int32: a larger image cannot be taken.
    static_assert(kMaxImageSize == INT32_MAX - kImageSlack);
    if (size > kMaxImageSize) {
        trl4::os::closeFile(file);
        return Load::NoMemory;
    }
    const auto capacity = static_cast<std::size_t>(size + kImageSlack);
    image.bytes.reset(new (std::nothrow) unsigned char[capacity]());
    if (!image.bytes) {
        trl4::os::closeFile(file);
        return Load::NoMemory;
    }
    const std::int64_t got =
        trl4::os::readFile(file, image.bytes.get(), static_cast<std::size_t>(size));
    trl4::os::closeFile(file);
    if (got < 0) return Load::ReadError;
    image.length = static_cast<std::int32_t>(got);
    image.bytes[static_cast<std::size_t>(got)] = 0;
    return Load::Ok;
}

bool isCSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct HexReading {
    std::uint32_t value = 0;
    std::size_t consumed = 0;  // bytes taken, 0 when no digit was read
};

// Reads [p, p + n) as the C library's strtoul with base 16 does on a 32-bit platform:
// blanks, a sign, an optional 0x, hexadecimal digits; too large a value reads as
// 0xFFFFFFFF. Never looks past n bytes.
HexReading readHex(const unsigned char *p, std::size_t n) {
    std::size_t pos = 0;
    while (pos < n && isCSpace(p[pos]))
        ++pos;
    bool negative = false;
    if (pos < n && (p[pos] == '+' || p[pos] == '-')) {
        negative = p[pos] == '-';
        ++pos;
    }
    // "0x" counts only when a digit follows; otherwise the '0' alone is the number.
    if (n - pos >= 3 && p[pos] == '0' && (p[pos + 1] == 'x' || p[pos + 1] == 'X') &&
        hexValue(p[pos + 2]) >= 0) {
        pos += 2;
    }
    const std::size_t digitsStart = pos;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; pos < n; ++pos) {
        const int digit = hexValue(p[pos]);
        if (digit < 0) break;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value &= 0xFFFFFFFFu;
        }
    }
    HexReading reading;
    if (pos == digitsStart) return reading;
    reading.consumed = pos;
    const auto v = static_cast<std::uint32_t>(value);
    reading.value = overflow ? 0xFFFFFFFFu : negative ? 0u - v : v;
    return reading;
}

std::uint32_t crcOfZeroDigits(std::uint32_t reg, std::size_t count) {
    static constexpr unsigned char kZeros[] =
        "0000000000000000000000000000000000000000000000000000000000000000";
    constexpr std::size_t chunk = sizeof kZeros - 1;
    while (count > 0) {
        const std::size_t n = count < chunk ? count : chunk;
        reg = crcUpdate(reg, kZeros, n);
        count -= n;
    }
    return reg;
}

}  // namespace

std::uint32_t Crc32(const void *data, std::int32_t length) noexcept {
    if (data == nullptr || length <= 0) return 0;
    return ~crcUpdate(0xFFFFFFFFu, static_cast<const unsigned char *>(data),
                      static_cast<std::size_t>(length));
}

const unsigned char *FindInBuffer(const void *data, std::int32_t length,
                                  const char *pattern) noexcept {
    if (data == nullptr || pattern == nullptr || length <= 0) return nullptr;
    const auto *bytes = static_cast<const unsigned char *>(data);
    const std::size_t n = static_cast<std::size_t>(length);
    const std::size_t m = std::strlen(pattern);
    // Start positions 0 .. n - m - 1: a pattern ending exactly at the end is not taken.
    if (m >= n) return nullptr;
    if (m == 0) return bytes;
    const std::size_t starts = n - m;
    const auto first = static_cast<unsigned char>(pattern[0]);
    for (std::size_t pos = 0; pos < starts; ++pos) {
        const void *hit = std::memchr(bytes + pos, first, starts - pos);
        if (hit == nullptr) return nullptr;
        pos = static_cast<std::size_t>(static_cast<const unsigned char *>(hit) - bytes);
        if (std::memcmp(bytes + pos, pattern, m) == 0) return bytes + pos;
    }
    return nullptr;
}

std::uint32_t GetFileCRC32(const char *fileName) noexcept {
    Image image;
    switch (loadImage(fileName, image)) {
        case Load::Ok:
            return Crc32(image.bytes.get(), image.length);
        case Load::NoMemory:
            return 0xFFFFFFFFu;
        default:
            return 0;
    }
}

std::int32_t CheckImageInternalCRC32(const void *image, std::int32_t length,
                                     std::uint32_t *storedCrc, std::uint32_t *computedCrc,
                                     std::uint32_t *fileCrc) noexcept {
    if (storedCrc != nullptr) *storedCrc = 0;
    if (computedCrc != nullptr) *computedCrc = 0;
    if (fileCrc != nullptr) *fileCrc = 0;
    if (image == nullptr || length <= 0) return -1;
    const auto *bytes = static_cast<const unsigned char *>(image);
    const auto n = static_cast<std::size_t>(length);
    if (fileCrc != nullptr) *fileCrc = Crc32(bytes, length);
    const unsigned char *marker = FindInBuffer(bytes, length, kCrcMarkerPrefix);
    if (marker == nullptr) {
        if (computedCrc != nullptr) *computedCrc = Crc32(bytes, length);
        return -1;
    }
    const auto digitsAt = static_cast<std::size_t>(marker - bytes) + kCrcMarkerPrefixLength;
    const HexReading reading = readHex(bytes + digitsAt, n - digitsAt);
    // The checksum of the image with every byte the reading took replaced by '0'.
    std::uint32_t reg = crcUpdate(0xFFFFFFFFu, bytes, digitsAt);
    reg = crcOfZeroDigits(reg, reading.consumed);
    const std::size_t rest = digitsAt + reading.consumed;
    reg = crcUpdate(reg, bytes + rest, n - rest);
    const std::uint32_t computed = ~reg;
    if (storedCrc != nullptr) *storedCrc = reading.value;
    if (computedCrc != nullptr) *computedCrc = computed;
    return computed == reading.value ? 0 : 1;
}

std::int32_t CheckFileInternalCRC32(const char *fileName, std::uint32_t *storedCrc,
                                    std::uint32_t *computedCrc, std::uint32_t *fileCrc) noexcept {
    if (storedCrc != nullptr) *storedCrc = 0;
    if (computedCrc != nullptr) *computedCrc = 0;
    if (fileCrc != nullptr) *fileCrc = 0;
    Image image;
    if (loadImage(fileName, image) != Load::Ok) return -1;
    return CheckImageInternalCRC32(image.bytes.get(), image.length, storedCrc, computedCrc,
                                   fileCrc);
}

std::int32_t SetupFileInternalCRC32(const char *fileName) noexcept {
    Image image;
    if (loadImage(fileName, image, kMinSetupFileSize) != Load::Ok) return -1;
    unsigned char *bytes = image.bytes.get();
    const unsigned char *marker = FindInBuffer(bytes, image.length, kCrcMarkerPrefix);
    if (marker == nullptr) return -1;
    const auto n = static_cast<std::size_t>(image.length);
    const auto digitsAt = static_cast<std::size_t>(marker - bytes) + kCrcMarkerPrefixLength;
    // The digits and their zero byte must lie inside the file.
    if (n - digitsAt < kMarkerFieldLength) return -1;
    char *field = reinterpret_cast<char *>(bytes + digitsAt);
    std::memcpy(field, "00000000", kMarkerFieldLength);
    const std::uint32_t crc = Crc32(bytes, image.length);
    std::snprintf(field, kMarkerFieldLength, "%08X", static_cast<unsigned>(crc));
    // Write back through the 32 bytes from the first digit, but never past the image.
    const std::size_t through = digitsAt + kWriteBackAfterDigits;
    const std::size_t count = through < n ? through : n;
    trl4::os::File *file = trl4::os::openForWriting(fileName);
    if (file == nullptr) return -1;
    const bool written = trl4::os::writeFile(file, bytes, count);
    const bool closed = trl4::os::closeFile(file);
    return written && closed ? 0 : -1;
}
