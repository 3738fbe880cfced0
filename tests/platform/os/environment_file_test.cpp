#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "trl4/environment_file.h"
#include "trl4/os.h"

namespace {

using trl4::os::parseEnvironmentPath;

std::string pathOf(const std::string &text) {
    std::string value = "<unchanged>";
    return parseEnvironmentPath(text, value) ? value : "<none>";
}

TEST(EnvironmentFile, PlainQuotedAndExportedForms) {
    EXPECT_EQ(pathOf("PATH=/usr/bin:/bin\n"), "/usr/bin:/bin");
    EXPECT_EQ(pathOf("PATH=\"/usr/bin:/opt/my app\"\n"), "/usr/bin:/opt/my app");
    EXPECT_EQ(pathOf("PATH='/a:/b'"), "/a:/b");
    EXPECT_EQ(pathOf("export PATH=/x"), "/x");
    EXPECT_EQ(pathOf("\t  PATH = /y  \t"), "/y");
    EXPECT_EQ(pathOf("PATH=\"/q\" # comment"), "/q");
    EXPECT_EQ(pathOf("PATH=/with#hash"), "/with#hash");
    EXPECT_EQ(pathOf("PATH=/crlf\r\nLANG=C\r\n"), "/crlf");
    EXPECT_EQ(pathOf("PATH="), "");
    EXPECT_EQ(pathOf("PATH=\"\""), "");
}

TEST(EnvironmentFile, CommentsOtherNamesAndMalformedLinesAreSkipped) {
    EXPECT_EQ(pathOf(""), "<none>");
    EXPECT_EQ(pathOf("# PATH=/commented\n\n   \nLANG=C\n"), "<none>");
    EXPECT_EQ(pathOf("MANPATH=/m\nPATHS=/p\nXPATH=/x\npath=/lower\n"), "<none>");
    EXPECT_EQ(pathOf("exportPATH=/glued"), "<none>");
    EXPECT_EQ(pathOf("PATH \"/no-equals\""), "<none>");
    EXPECT_EQ(pathOf("PATH=\"/unclosed"), "<none>");
    EXPECT_EQ(pathOf(std::string("PATH=/nul\0byte", 14)), "<none>");
}

TEST(EnvironmentFile, TheLastValidSettingWins) {
    EXPECT_EQ(pathOf("PATH=/first\nPATH=/second\n"), "/second");
    EXPECT_EQ(pathOf("PATH=/first\nPATH=\"/broken\n"), "/first");
    EXPECT_EQ(pathOf("PATH=/a\n# PATH=/b\n"), "/a");
}

class MachineSearchPath : public ::testing::Test {
  protected:
    void SetUp() override { trl4::os::setMachineEnvironmentFile(file.c_str()); }
    void TearDown() override {
        trl4::os::setMachineEnvironmentFile(nullptr);
        std::filesystem::remove(file);
    }
    void write(const std::string &text) { std::ofstream(file, std::ios::binary) << text; }

    std::string file =
        (std::filesystem::temp_directory_path() / ("trl4-h2-env-" + std::to_string(::getpid())))
            .string();
};

TEST_F(MachineSearchPath, ReadIntoTheGivenCapacityOnlyWhenItFits) {
    write("LANG=C\nPATH=\"/usr/bin:/bin\"\n");
    char buffer[32];
    ASSERT_TRUE(trl4::os::readMachineSearchPath(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/usr/bin:/bin");
    // 13 characters need 14 bytes with the terminator.
    char exact[14];
    EXPECT_TRUE(trl4::os::readMachineSearchPath(exact, sizeof exact));
    char small[13] = "guard";
    EXPECT_FALSE(trl4::os::readMachineSearchPath(small, sizeof small));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(trl4::os::readMachineSearchPath(nullptr, 10));
}

TEST_F(MachineSearchPath, NoFileOrNoPathGivesNothing) {
    char buffer[32] = "guard";
    EXPECT_FALSE(trl4::os::readMachineSearchPath(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    write("LANG=C\n");
    EXPECT_FALSE(trl4::os::readMachineSearchPath(buffer, sizeof buffer));
}

}  // namespace
