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

TEST(EnvironmentBlock, ReferencesTakeWhatEarlierAssignmentsSet) {
    trl4::os::EnvironmentBlock block;
    block.apply("PATH=/a\nPATH=$PATH:/b\nPATH=/c:${PATH}\nX=$PATH-$$-$NONE-${NONE}-$\n");
    ASSERT_NE(block.value("PATH"), nullptr);
    EXPECT_EQ(*block.value("PATH"), "/c:/a:/b");
    EXPECT_EQ(*block.value("X"), "/c:/a:/b-$---$");
    EXPECT_EQ(block.value("NONE"), nullptr);
    block.apply("E=\nD=${E:-/d${PATH:+:x}}\nF=${PATH:+/f}${E:+/g}\nG=${PATH:?}\nH=${OPEN\n");
    EXPECT_EQ(*block.value("D"), "/d:x");
    EXPECT_EQ(*block.value("F"), "/f");
    EXPECT_EQ(*block.value("G"), "${PATH:?}");
    EXPECT_EQ(*block.value("H"), "${OPEN");
}

TEST(EnvironmentBlock, RunawayValuesAreNotMade) {
    trl4::os::EnvironmentBlock block;
    std::string doubling = "A=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n";
    for (int i = 0; i < 40; ++i)
        doubling += "A=$A$A\n";
    block.apply(doubling);
    ASSERT_NE(block.value("A"), nullptr);
    EXPECT_LE(block.value("A")->size(), trl4::os::kMaxEnvironmentValue);
    EXPECT_GT(block.value("A")->size(), trl4::os::kMaxEnvironmentValue / 2);
    std::string nested = "N=";
    for (int i = 0; i < 100; ++i)
        nested += "${U:-";
    block.apply(nested + std::string(100, '}'));
    EXPECT_EQ(block.value("N"), nullptr);
}

// A machine's root in a temporary folder: /etc/environment and the environment.d drop-ins.
class MachineSearchPath : public ::testing::Test {
  protected:
    void SetUp() override { trl4::os::setMachineRoot(root.c_str()); }
    void TearDown() override {
        trl4::os::setMachineRoot(nullptr);
        std::filesystem::remove_all(root);
    }
    void write(const std::string &name, const std::string &text) {
        const std::filesystem::path file = root + name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    void write(const std::string &text) { write("/etc/environment", text); }
    std::string path() {
        char buffer[256];
        return trl4::os::readMachineSearchPath(buffer, sizeof buffer) ? buffer : "<none>";
    }

    std::string root =
        (std::filesystem::temp_directory_path() / ("trl4-h2-root-" + std::to_string(::getpid())))
            .string();
};

TEST_F(MachineSearchPath, ReadIntoTheGivenCapacityOnlyWhenItFits) {
    write("LANG=C\nPATH=\"usr/bin:bin\"\n");
    char buffer[32];
    ASSERT_TRUE(trl4::os::readMachineSearchPath(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "usr/bin:bin");
    // 11 characters need 12 bytes with the terminator.
    char exact[12];
    EXPECT_TRUE(trl4::os::readMachineSearchPath(exact, sizeof exact));
    char small[11] = "guard";
    EXPECT_FALSE(trl4::os::readMachineSearchPath(small, sizeof small));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(trl4::os::readMachineSearchPath(nullptr, 10));
}

TEST_F(MachineSearchPath, NoFileOrNoPathGivesNothing) {
    char buffer[32] = "guard";
    EXPECT_FALSE(trl4::os::readMachineSearchPath(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    write("LANG=C\n");
    write("/usr/lib/environment.d/50-lang.conf", "LANGUAGE=ru\n");
    EXPECT_EQ(path(), "<none>");
}

TEST_F(MachineSearchPath, AbsoluteEntriesLieInsideTheRoot) {
    write("PATH=/usr/bin::relative:/opt/x/\n");
    EXPECT_EQ(path(), root + "/usr/bin::relative:" + root + "/opt/x/");
}

TEST_F(MachineSearchPath, DropInsFollowTheEnvironmentFileInTheOrderOfTheirNames) {
    write("PATH=/base\n");
    write("/usr/lib/environment.d/60-late.conf", "# vendor\nPATH=${PATH}:/late\n");
    write("/etc/environment.d/20-early.conf", "\n  # admin\nPATH=/early:$PATH\n");
    write("/usr/lib/environment.d/40-mid.conf", "PATH=\"$PATH:/mid\"\n# PATH=/commented\n");
    write("/usr/lib/environment.d/50-other.conf", "LANG=C\nPATHS=/not-this\n");
    write("/usr/lib/environment.d/70-skipped.txt", "PATH=/not-a-drop-in\n");
    write("/usr/lib/environment.d/.80-hidden.conf", "PATH=/hidden\n");
    const std::string r = root;
    EXPECT_EQ(path(), r + "/early:" + r + "/base:" + r + "/mid:" + r + "/late");
}

TEST_F(MachineSearchPath, AnEtcDropInHidesTheVendorsOfTheSameName) {
    write("/usr/lib/environment.d/60-p.conf", "PATH=/vendor:$PATH\n");
    write("/run/environment.d/60-p.conf", "PATH=/run:$PATH\n");
    write("/etc/environment.d/60-p.conf", "PATH=/admin:$PATH\n");
    write("/usr/local/lib/environment.d/10-local.conf", "PATH=/local\n");
    EXPECT_EQ(path(), root + "/admin:" + root + "/local");
    // Masked: a link to /dev/null reads as empty.
    std::filesystem::remove(root + "/etc/environment.d/60-p.conf");
    std::filesystem::create_symlink("/dev/null", root + "/etc/environment.d/60-p.conf");
    EXPECT_EQ(path(), root + "/local");
}

TEST_F(MachineSearchPath, ADropInThatCannotBeReadIsPassedOver) {
    write("PATH=/base\n");
    write("/usr/lib/environment.d/30-a.conf", "PATH=$PATH:/a\n");
    std::filesystem::create_directories(root + "/usr/lib/environment.d/40-folder.conf");
    std::filesystem::create_symlink(root + "/nowhere",
                                    root + "/usr/lib/environment.d/50-dangling.conf");
    write("/usr/lib/environment.d/60-huge.conf",
          "PATH=/huge\n" + std::string(std::size_t{1} << 20, '#'));
    write("/usr/lib/environment.d/70-b.conf", "PATH=$PATH:/b\n");
    EXPECT_EQ(path(), root + "/base:" + root + "/a:" + root + "/b");
}

TEST_F(MachineSearchPath, TheLinkStandingForTheEnvironmentFilePointsInsideTheRoot) {
    // As systemd installs it: /etc/environment read once more in the drop-ins' order.
    write("PATH=/etc-env\n");
    write("/usr/lib/environment.d/10-first.conf", "PATH=$PATH:/first\n");
    std::filesystem::create_symlink("/etc/environment",
                                    root + "/usr/lib/environment.d/99-environment.conf");
    write("/usr/lib/environment.d/99-p_trl4.conf", "PATH=${PATH}:/lib\n");
    EXPECT_EQ(path(), root + "/etc-env:" + root + "/lib");
}
}  // namespace
