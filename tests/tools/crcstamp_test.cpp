// crcstamp end to end: the built tool on scratch files.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "../integrity/test_files.h"
#include "trl4/integrity.h"

namespace {

using trl4::test::markedImage;
using trl4::test::readBytes;
using trl4::test::TempDir;
using trl4::test::writeBytes;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class Crcstamp : public ::testing::Test {
  protected:
    ToolRun run(const std::string &arguments) {
        const std::string out = dir.file("stdout"), err = dir.file("stderr");
        ToolRun r;
#ifdef _WIN32
        const int raw = std::system(
            (std::string(CRCSTAMP) + " " + arguments + " >" + quoted(out) + " 2>" + quoted(err))
                .c_str());
        r.status = raw;
        // The console's line ends, as a reader of the output sees lines.
        const auto lines = [](std::string text) {
            for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
                text.erase(at, 1);
            return text;
        };
        r.out = lines(readBytes(out));
        r.err = lines(readBytes(err));
#else
        const int raw = std::system(
            (quoted(CRCSTAMP) + " " + arguments + " >" + quoted(out) + " 2>" + quoted(err))
                .c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readBytes(out);
        r.err = readBytes(err);
#endif
        return r;
    }
#ifdef _WIN32
    static constexpr char kQuote = '"';
#else
    static constexpr char kQuote = '\'';
#endif
    static std::string quoted(const std::string &path) {
        return kQuote + path + kQuote;
    }

    TempDir dir;
    std::string file = dir.file("component.so");
};

TEST_F(Crcstamp, StampThenCheckMatchesAndAChangedByteDiffers) {
    writeBytes(file, markedImage());
    ToolRun r = run(quoted(file));
    ASSERT_EQ(r.status, 0) << r.err;
    std::uint32_t stored = 0, computed = 0, whole = 0;
    ASSERT_EQ(CheckFileInternalCRC32(file.c_str(), &stored, &computed, &whole), 0);
    char expected[128];
    std::snprintf(expected, sizeof expected, "stored   %08X\ncomputed %08X\nfile     %08X\n",
                  static_cast<unsigned>(stored), static_cast<unsigned>(computed),
                  static_cast<unsigned>(whole));
    r = run("--check " + quoted(file));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");

    std::string bytes = readBytes(file);
    bytes[2] = static_cast<char>(bytes[2] ^ 0x40);
    writeBytes(file, bytes);
    r = run("--check " + quoted(file));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("differs"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("stored   "), std::string::npos);
}

TEST_F(Crcstamp, FilesWithoutMarkerOrUnreadableAreRefusedWithAMessage) {
    writeBytes(file, std::string(100, 'n'));
    for (const std::string &mode :
         {std::string(), std::string("--check "), std::string("--info ")}) {
        ToolRun r = run(mode + quoted(file));
        EXPECT_EQ(r.status, 2) << mode;
        EXPECT_NE(r.err.find("no embedded checksum marker"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << mode;
        r = run(mode + quoted(dir.file("missing")));
        EXPECT_EQ(r.status, 2) << mode;
        EXPECT_NE(r.err.find("no such file"), std::string::npos) << r.err;
    }
    // A marker too near the end to take the digits: refused, the file left as it was.
    const std::string shortTail = std::string(20, 'h') + kCrcMarkerPrefix + "1234";
    writeBytes(file, shortTail);
    ToolRun r = run(quoted(file));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("fewer than 9 bytes"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(file), shortTail);
}

// Refusals are explained without holding the file in memory and without blocking on what is
// not a regular file.
TEST_F(Crcstamp, HugeFilesFoldersFifosAndDevicesAreRefusedWithTheirReason) {
    const std::string huge = dir.file("huge.so");
    writeBytes(huge, "");
    std::filesystem::resize_file(huge, std::uintmax_t{3} << 30);  // sparse: nothing is written
    std::vector<std::pair<std::string, std::string>> cases{{huge, "too large"},
                                                           {dir.path().string(), "is a directory"}};
#ifndef _WIN32
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cases.insert(cases.end(),
                 {{fifo, "is not a regular file"}, {"/dev/zero", "is not a regular file"}});
#endif
    for (const auto &[path, reason] : cases) {
        for (const char *mode : {"", "--check "}) {
            const ToolRun r = run(mode + quoted(path));
            EXPECT_EQ(r.status, 2) << mode << path;
            EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        }
    }
    // The marker is sought a block at a time, also across the blocks' border.
    writeBytes(file, std::string(65530, 'x') + kCrcMarkerPrefix + "1234");
    EXPECT_NE(run(quoted(file)).err.find("fewer than 9 bytes"), std::string::npos);
}

TEST_F(Crcstamp, UsageErrorsPrintTheUsage) {
    for (const char *arguments : {"", "--check", "--bogus x", "a b c", "--info a b"}) {
        ToolRun r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.err.rfind("usage: crcstamp", 0), 0u) << arguments;
    }
}

TEST_F(Crcstamp, InfoPrintsTheIdentificationLine) {
    writeBytes(file, markedImage());
    ASSERT_EQ(run(quoted(file)).status, 0);
    char date[kFInfoDateSize];
    GetFInfo(file.c_str(), nullptr, date, nullptr, nullptr);
    char expected[256];
    std::snprintf(expected, sizeof expected, "component.so, версия:n/a, дата:%s, CRC32=%08X\n",
                  date, static_cast<unsigned>(GetFileCRC32(file.c_str())));
    ToolRun r = run("--info " + quoted(file));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
    // A mismatch still identifies the file, and says so.
    std::string bytes = readBytes(file);
    bytes.back() = static_cast<char>(bytes.back() ^ 1);
    writeBytes(file, bytes);
    r = run("--info " + quoted(file));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("component.so, версия:n/a, дата:", 0), 0u) << r.out;
    EXPECT_NE(r.err.find("differs"), std::string::npos);
}

// Each platform identifies the other's deliverable from its bytes: a Linux library's version
// note on Windows, a DLL's version resource on Linux.
TEST_F(Crcstamp, InfoReadsTheOtherPlatformsVersionFromTheFileItself) {
#ifdef _WIN32
    const std::string sample = TRL4_SAMPLES "/elf_note/elf32_le_both", version = "2.5.1";
#else
    const std::string sample = TRL4_SAMPLES "/pe_version/version_resource.dll", version = "1.0";
#endif
    writeBytes(file, readBytes(sample) + markedImage());
    ASSERT_EQ(run(quoted(file)).status, 0);
    const ToolRun r = run("--info " + quoted(file));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("component.so, версия:" + version + ", дата:", 0), 0u) << r.out;
}

#ifdef TRL4_MATH_LIBRARY
TEST_F(Crcstamp, InfoOnTheMathLibrary) {
    ToolRun r = run(std::string("--info ") + quoted(TRL4_MATH_LIBRARY));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string start = std::string(kMathLibraryFileName) + ", версия:1.0, дата:";
    EXPECT_EQ(r.out.rfind(start, 0), 0u) << r.out;
    char crc[32];
    std::snprintf(crc, sizeof crc, ", CRC32=%08X\n",
                  static_cast<unsigned>(GetFileCRC32(TRL4_MATH_LIBRARY)));
    EXPECT_NE(r.out.find(crc), std::string::npos) << r.out;
}
#endif

}  // namespace
