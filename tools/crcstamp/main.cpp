// crcstamp: fills the embedded checksum marker of a built file, checks it, or prints the
// file's identification line as the About panel shows it.
//   crcstamp FILE           write the checksum into the marker
//   crcstamp --check FILE   print stored, computed and whole-file checksums
//   crcstamp --info FILE    print "<name>, версия:<version>, дата:<date>, CRC32=<file CRC>"
// Exit status: 0 done / marker matches; 1 marker differs; 2 unreadable file, no marker,
// or a usage error.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

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
        "exit status: 0 written or matching, 1 marker differs, 2 unreadable file, no marker\n"
        "             or usage error\n",
        stderr);
}

// Why a file cannot carry a marker, for the message of a refused operation.
std::string diagnose(const char *fileName) {
    if (trl4::os::fileExists(fileName) != 1) return "no such file";
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return "cannot be opened for reading";
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return "cannot be read";
    if (bytes.empty()) return "is empty";
    const auto at = bytes.find(kCrcMarkerPrefix);
    if (at == std::string::npos || at + kCrcMarkerPrefixLength >= bytes.size()) {
        return "holds no embedded checksum marker";
    }
    if (bytes.size() < 20) return "is shorter than 20 bytes";
    if (bytes.size() - at - kCrcMarkerPrefixLength < 9) {
        return "its marker is followed by fewer than 9 bytes, no room for the digits";
    }
    return "cannot be opened for writing";
}

int stamp(const char *fileName) {
    if (SetupFileInternalCRC32(fileName) != 0) {
        std::fprintf(stderr, "crcstamp: %s: cannot write the checksum: %s\n", fileName,
                     diagnose(fileName).c_str());
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
        std::fprintf(stderr, "crcstamp: %s: %s\n", fileName, diagnose(fileName).c_str());
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
    if (argc == 2 && argv[1][0] != '-') return stamp(argv[1]);
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return printCheck(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--info") == 0) return printInfo(argv[2]);
    usage();
    return kFailed;
}
