#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "trl4/os.h"

namespace {

namespace fs = std::filesystem;

class OsFiles : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string file(const std::string &name) { return (dir / name).string(); }
    std::string read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    fs::path dir = fs::temp_directory_path() / ("trl4-h2-os-" + std::to_string(::getpid()));
};

TEST_F(OsFiles, ExistenceAndSize) {
    const std::string path = file("a.bin");
    std::ofstream(path, std::ios::binary) << "12345";
    EXPECT_EQ(trl4::os::fileExists(path.c_str()), 1);
    EXPECT_EQ(trl4::os::fileSize(path.c_str()), 5);
    EXPECT_EQ(trl4::os::fileExists(file("none").c_str()), 0);
    EXPECT_EQ(trl4::os::fileExists((path + "/below").c_str()), 0);  // a file is no folder
    EXPECT_EQ(trl4::os::fileSize(file("none").c_str()), -1);
    EXPECT_EQ(trl4::os::fileExists(dir.string().c_str()), 0);  // folders do not count
    EXPECT_EQ(trl4::os::fileExists(nullptr), -1);
    const std::string loop = file("loop");
    fs::create_directory_symlink(loop, loop);
    EXPECT_LT(trl4::os::fileExists((loop + "/x").c_str()), 0);
}

TEST_F(OsFiles, WritingKeepsTheRestOfTheFileAndCreatesNothing) {
    const std::string path = file("b.bin");
    std::ofstream(path, std::ios::binary) << "0123456789";
    trl4::os::File *f = trl4::os::openForWriting(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(trl4::os::writeFile(f, "ab", 2));
    EXPECT_TRUE(trl4::os::closeFile(f));
    EXPECT_EQ(read(path), "ab23456789");
    EXPECT_EQ(trl4::os::openForWriting(file("new.bin").c_str()), nullptr);
    EXPECT_FALSE(fs::exists(file("new.bin")));
}

TEST_F(OsFiles, ReadingGivesTheBytesThenZeroAtTheEnd) {
    const std::string path = file("c.bin");
    std::ofstream(path, std::ios::binary) << std::string("x\0y", 3);
    trl4::os::File *f = trl4::os::openForReading(path.c_str());
    ASSERT_NE(f, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(trl4::os::readFile(f, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), std::string("x\0y", 3));
    EXPECT_EQ(trl4::os::readFile(f, buffer, sizeof buffer), 0);
    EXPECT_TRUE(trl4::os::closeFile(f));
    EXPECT_EQ(trl4::os::openForReading(file("none").c_str()), nullptr);
    EXPECT_EQ(trl4::os::readFile(nullptr, buffer, 1), -1);
    EXPECT_FALSE(trl4::os::closeFile(nullptr));
}

TEST_F(OsFiles, VersionOfFilesWithoutNoteAndCutToCapacity) {
    char version[8] = "guard";
    EXPECT_FALSE(trl4::os::fileVersion("/proc/self/exe", version, sizeof version));
    EXPECT_STREQ(version, "");
    EXPECT_FALSE(trl4::os::fileVersion(file("none").c_str(), version, sizeof version));
    EXPECT_FALSE(trl4::os::fileVersion(dir.string().c_str(), version, sizeof version));
#ifdef TRL4_MATH_LIBRARY
    ASSERT_TRUE(trl4::os::fileVersion(TRL4_MATH_LIBRARY, version, sizeof version));
    EXPECT_STREQ(version, "1.0");
    char tiny[3];
    ASSERT_TRUE(trl4::os::fileVersion(TRL4_MATH_LIBRARY, tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "1.");
#endif
}

}  // namespace
