// crcstamp: fills the embedded checksum marker of a built file, checks it, or prints the
// file's identification line as the About panel shows it.
//   crcstamp FILE           write the checksum into the marker
//   crcstamp --check FILE   print stored, computed and whole-file checksums
//   crcstamp --info FILE    print "<name>, версия:<version>, дата:<date>, CRC32=<file CRC>"
// Exit status: 0 done / marker matches; 1 marker differs; 2 a file that cannot be taken (with
// the reason: missing, a directory, a FIFO or device, too large, unreadable, no marker) or a
// usage error.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "trl4/integrity.h"
#include "trl4/os.h"

namespace {

constexpr int kMatches = 0;
constexpr int kDiffers = 1;
constexpr int kFailed = 2;

void usage() {
    std::fputs(
        "usage: crcstamp FILE          write FILE's checksum into its embedded marker\n"
        "       crcstamp --check FILE  compare the marker with FILE's checksum\n"
        "       crcstamp --info FILE   print FILE's name, version, date and CRC-32\n"
        "exit status: 0 written or matching, 1 marker differs, 2 file refused (the reason is\n"
        "             printed) or usage error\n",
        stderr);
}

// Offset of the first marker prefix with at least one byte after it (as the checksum
// functions find it) among the file's first `size` bytes, read a block at a time: -1 when
// there is none, -2 when the file cannot be read.
std::int64_t findMarker(trl4::os::File *file, std::int64_t size) {
    constexpr std::size_t kBlock = 1 << 16;
    std::vector<unsigned char> window(kCrcMarkerPrefixLength + kBlock);
    std::size_t kept = 0;    // bytes carried over from the previous block
    std::int64_t start = 0;  // file offset of window[0]
    std::int64_t remaining = size;
    while (remaining > 0) {
        const std::size_t want = remaining < static_cast<std::int64_t>(kBlock)
                                     ? static_cast<std::size_t>(remaining)
                                     : kBlock;
        const std::int64_t got = trl4::os::readFile(file, window.data() + kept, want);
        if (got < 0) return -2;
        if (got == 0) break;
        remaining -= got;
        const std::size_t length = kept + static_cast<std::size_t>(got);
        const unsigned char *hit =
            FindInBuffer(window.data(), static_cast<std::int32_t>(length), kCrcMarkerPrefix);
        if (hit != nullptr) return start + (hit - window.data());
        // A prefix that ends the block may still be followed by the next one.
        kept = length < kCrcMarkerPrefixLength ? length : kCrcMarkerPrefixLength;
        std::memmove(window.data(), window.data() + length - kept, kept);
        start += static_cast<std::int64_t>(length - kept);
    }
    return -1;
}

// Why a file was refused, found without ever holding more than a block of it in memory.
std::string diagnose(const char *fileName, bool stamping) {
    switch (trl4::os::fileKind(fileName)) {
        case trl4::os::FileKind::Missing:
            return "no such file";
        case trl4::os::FileKind::Directory:
            return "is a directory";
        case trl4::os::FileKind::Other:
            return "is not a regular file (a device, FIFO or socket)";
        case trl4::os::FileKind::Error:
            return "cannot be examined";
        case trl4::os::FileKind::Regular:
            break;
    }
    const std::int64_t size = trl4::os::fileSize(fileName);
    if (size < 0) return "its size cannot be read";
    if (size == 0) return "is empty";
    if (size > kMaxImageSize) {
        return "is too large: " + std::to_string(size) + " bytes; the checksum takes at most " +
               std::to_string(kMaxImageSize) + " bytes";
    }
    if (stamping && size < 20) return "is shorter than 20 bytes";
    trl4::os::File *file = trl4::os::openForReading(fileName);
    if (file == nullptr) return "cannot be opened for reading";
    const std::int64_t at = findMarker(file, size);
    trl4::os::closeFile(file);
    if (at == -2) return "cannot be read";
    if (at < 0) return "holds no embedded checksum marker";
    if (stamping && size - at - static_cast<std::int64_t>(kCrcMarkerPrefixLength) < 9) {
        return "its marker is followed by fewer than 9 bytes, no room for the digits";
    }
    if (stamping) {
        trl4::os::File *out = trl4::os::openForWriting(fileName);
        if (out == nullptr) return "cannot be opened for writing";
        trl4::os::closeFile(out);
    }
    return "cannot be read into memory (" + std::to_string(size) + " bytes)";
}

int stamp(const char *fileName) {
    if (SetupFileInternalCRC32(fileName) != 0) {
        std::fprintf(stderr, "crcstamp: %s: cannot write the checksum: %s\n", fileName,
                     diagnose(fileName, true).c_str());
        return kFailed;
    }
    std::uint32_t stored = 0, computed = 0;
    if (CheckFileInternalCRC32(fileName, &stored, &computed, nullptr) != 0) {
        std::fprintf(stderr, "crcstamp: %s: the written checksum does not check\n", fileName);
        return kFailed;
    }
    std::printf("%s: CRC32=%08X written\n", fileName, static_cast<unsigned>(stored));
    return kMatches;
}

// The marker check, with its message on failure.
int check(const char *fileName, std::uint32_t &stored, std::uint32_t &computed,
          std::uint32_t &file) {
    const std::int32_t status = CheckFileInternalCRC32(fileName, &stored, &computed, &file);
    if (status < 0) {
        std::fprintf(stderr, "crcstamp: %s: %s\n", fileName, diagnose(fileName, false).c_str());
        return kFailed;
    }
    if (status > 0) {
        std::fprintf(stderr,
                     "crcstamp: %s: embedded checksum %08X differs from the computed %08X\n",
                     fileName, static_cast<unsigned>(stored), static_cast<unsigned>(computed));
        return kDiffers;
    }
    return kMatches;
}

int printCheck(const char *fileName) {
    std::uint32_t stored = 0, computed = 0, file = 0;
    const int result = check(fileName, stored, computed, file);
    if (result == kFailed) return result;
    std::printf("stored   %08X\ncomputed %08X\nfile     %08X\n", static_cast<unsigned>(stored),
                static_cast<unsigned>(computed), static_cast<unsigned>(file));
    return result;
}

int printInfo(const char *fileName) {
    std::uint32_t stored = 0, computed = 0, file = 0;
    const int result = check(fileName, stored, computed, file);
    if (result == kFailed) return result;
    char version[kFInfoVersionSize];
    char date[kFInfoDateSize];
    char shortName[kFInfoShortNameSize];
    GetFInfo(fileName, version, date, nullptr, shortName);
    std::printf("%s, версия:%s, дата:%s, CRC32=%08X\n", shortName, version, date,
                static_cast<unsigned>(file));
    return result;
}

}  // namespace

int main(int argc, char **argv) {
    try {
        if (argc == 2 && argv[1][0] != '-') return stamp(argv[1]);
        if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return printCheck(argv[2]);
        if (argc == 3 && std::strcmp(argv[1], "--info") == 0) return printInfo(argv[2]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "crcstamp: %s\n", e.what());
        return kFailed;
    }
    usage();
    return kFailed;
}
