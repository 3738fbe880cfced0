// The appending file of the OS layer, as the protocol uses it, on Linux and under wine: a
// UTF-8 name, content kept across openings, every write on the disk at once, a failure with
// the system's reason, and nothing that is not a regular file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/scratch.h"
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
    const std::string iso = trl4::os::localTimeIso8601();  // 2026-12-06T09:05:07+03:00
    ASSERT_EQ(iso.size(), 25u) << iso;
    EXPECT_EQ(iso.substr(0, 4), std::to_string(now.year));
    EXPECT_TRUE(iso[10] == 'T' && (iso[19] == '+' || iso[19] == '-') && iso[22] == ':') << iso;
    fs::remove_all(dir);
}

// The per-user settings file: its folder made where the platform keeps such files (under a
// Cyrillic user folder, as on a Russian desktop), its content replaced whole, and a read that
// stops at its bound.
TEST(SettingsFile, FolderMadeContentReplacedWholeReadBounded) {
    const fs::path dir = fs::temp_directory_path() / fs::path(u8"trl4-настройки");
    fs::remove_all(dir);
    trl4::test::setSettingsHome(dir);
    const std::string folder = trl4::os::userSettingsDirectory();
    const fs::path folderPath(std::u8string(folder.begin(), folder.end()));
    ASSERT_EQ(folderPath, dir / "p_trl4");
    EXPECT_TRUE(fs::is_directory(folderPath));
    const std::string file = folder + "/meters.yaml";
    ASSERT_TRUE(trl4::os::replaceFileContent(file.c_str(), "a long first content\n"));
    ASSERT_TRUE(trl4::os::replaceFileContent(file.c_str(), "short\n"));
    std::string text;
    ASSERT_TRUE(trl4::os::readWholeFile(file.c_str(), text, 6));
    EXPECT_EQ(text, "short\n");
    EXPECT_FALSE(fs::exists(folderPath / "meters.yaml.new"));
    EXPECT_FALSE(trl4::os::readWholeFile(file.c_str(), text, 5));
    EXPECT_EQ(text, "short\n");  // untouched by the refused read
    EXPECT_FALSE(trl4::os::replaceFileContent((folder + "/none/x").c_str(), "x"));
    fs::remove_all(dir);
}

}  // namespace
