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

// The version resource of a Windows DLL (the 32-bit math library's, in a minimal image).
TEST_F(OsFiles, VersionOfAWindowsLibraryFromItsBytes) {
    const std::string dll = read(TRL4_PE_SAMPLE);
    ASSERT_GT(dll.size(), 1024u);
    char version[16] = "";
    ASSERT_TRUE(trl4::os::fileVersion(TRL4_PE_SAMPLE, version, sizeof version));
    EXPECT_STREQ(version, "1.0");
    // Cut inside the version text, or with its translation changed, it has none.
    const std::size_t text = dll.find(std::string("F\0i\0l\0e\0V\0", 10));
    ASSERT_NE(text, std::string::npos);
    const std::string cut = file("cut.dll");
    std::ofstream(cut, std::ios::binary) << dll.substr(0, text + 10);
    EXPECT_FALSE(trl4::os::fileVersion(cut.c_str(), version, sizeof version));
    std::string other = dll;
    const std::size_t table = other.find(std::string("0\0004\0000\0009\0", 8));
    ASSERT_NE(table, std::string::npos);
    other[table + 6] = '8';  // the string table of language 0x0408, not the translation's
    std::ofstream(cut, std::ios::binary | std::ios::trunc) << other;
    EXPECT_FALSE(trl4::os::fileVersion(cut.c_str(), version, sizeof version));
}

}  // namespace
