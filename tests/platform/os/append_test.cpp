// The appending file of the OS layer, as the protocol uses it, on Linux and under wine: a
// UTF-8 name, content kept across openings, every write on the disk at once, a failure with
// the system's reason, and nothing that is not a regular file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "trl4/os.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AppendingFile, KeepsWhatWasThereAndWritesAtOnce) {
    const fs::path dir = fs::temp_directory_path() / "trl4-append-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const char8_t name[] = u8"протокол.log";
    const fs::path file = dir / fs::path(std::u8string(name));
    const std::string path = (dir.string() + "/") + reinterpret_cast<const char *>(name);

    trl4::os::File *f = trl4::os::openForAppending(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(trl4::os::writeFile(f, "first\r\n", 7));
    EXPECT_EQ(contents(file), "first\r\n");  // there before the file is closed
    EXPECT_TRUE(trl4::os::closeFile(f));
    f = trl4::os::openForAppending(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(trl4::os::writeFile(f, "second", 6));
    EXPECT_TRUE(trl4::os::closeFile(f));
    EXPECT_EQ(contents(file), "first\r\nsecond");

    const std::string missing = (dir / "none" / "x.log").string();
    EXPECT_EQ(trl4::os::openForAppending(missing.c_str()), nullptr);
    EXPECT_GT(std::strlen(trl4::os::lastFileErrorText()), 0u);
    EXPECT_EQ(trl4::os::openForAppending(""), nullptr);
    // A folder, or a FIFO nobody reads, is refused at once rather than written or waited on.
    EXPECT_EQ(trl4::os::openForAppending(dir.string().c_str()), nullptr);
#ifndef _WIN32
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(trl4::os::openForAppending(fifo.c_str()), nullptr);
#endif

    trl4::os::LocalTime now;
    EXPECT_TRUE(trl4::os::localTimeNow(now));
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    fs::remove_all(dir);
}

}  // namespace
