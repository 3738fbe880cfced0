// Handing the printed protocol to the desktop's program: the call comes back while that
// program still runs, and the program gets the file's name as its one argument.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/scratch.h"
#include "trl4/os.h"

namespace {

TEST(OpenDocument, ReturnsWithoutWaitingForTheProgramThatOpensIt) {
    const std::filesystem::path dir = trl4::test::freshTempDir("trl4-open-");
    const std::filesystem::path opener = dir / "opener.sh", seen = dir / "seen.txt",
                                release = dir / "release";
    // The stand-in opener waits until the test lets it go, then writes what it was given.
    std::ofstream(opener) << "#!/bin/sh\ni=0\nwhile [ ! -e '" << release.string()
                          << "' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i + 1)); done\n"
                          << "printf '%s' \"$1\" >'" << seen.string() << "'\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    trl4::test::setEnv("TRL4_OPENER", opener.c_str());
    const std::string page = (dir / "протокол.log.html").string();
    EXPECT_TRUE(trl4::os::openDocument(page.c_str()));
    trl4::test::setEnv("TRL4_OPENER", nullptr);
    EXPECT_FALSE(std::filesystem::exists(seen));  // it came back while the opener waits
    std::ofstream(release) << "go";
    for (int i = 0; i < 400 && !std::filesystem::exists(seen); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::ifstream in(seen);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), page);
}

}  // namespace
