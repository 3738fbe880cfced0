// The appending file of the OS layer, as the protocol uses it, on Linux and under wine: a
// UTF-8 name, content kept across openings, every write on the disk at once, a failure with
// the system's reason.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "check.h"
#include "trl4/os.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / "trl4-append-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const char8_t name[] = u8"протокол.log";
    const fs::path file = dir / fs::path(std::u8string(name));
    const std::string path = (dir.string() + "/") + reinterpret_cast<const char *>(name);

    trl4::os::File *f = trl4::os::openForAppending(path.c_str());
    CHECK(f != nullptr);
    CHECK(trl4::os::writeFile(f, "first\r\n", 7));
    CHECK(contents(file) == "first\r\n");  // there before the file is closed
    CHECK(trl4::os::closeFile(f));
    f = trl4::os::openForAppending(path.c_str());
    CHECK(trl4::os::writeFile(f, "second", 6));
    CHECK(trl4::os::closeFile(f));
    CHECK(contents(file) == "first\r\nsecond");

    const std::string missing = (dir / "none" / "x.log").string();
    CHECK(trl4::os::openForAppending(missing.c_str()) == nullptr);
    CHECK(std::strlen(trl4::os::lastFileErrorText()) > 0);
    CHECK(trl4::os::openForAppending("") == nullptr);

    trl4::os::LocalTime now;
    CHECK(trl4::os::localTimeNow(now) && now.year >= 2024 && now.month >= 1 && now.month <= 12);
    fs::remove_all(dir);
    return check::finish();
}
