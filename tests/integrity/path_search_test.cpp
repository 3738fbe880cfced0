#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "test_files.h"
#include "trl4/integrity.h"
#include "trl4/os.h"

namespace {

using trl4::test::setEnv;
using trl4::test::TempDir;
using trl4::test::writeBytes;

constexpr char kName[] = "component.dll";

#ifdef _WIN32
constexpr char kEntrySeparator = ';';
constexpr char kDirSeparator = '\\';

// The machine search path is the registry value the program reads; the test replaces it
// and puts the old one back.
class MachineSearchPath {
  public:
    MachineSearchPath() {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                            nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        if (RegQueryValueExA(key_, "Path", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            had_ = RegQueryValueExA(key_, "Path", nullptr, &type_, saved_.data(), &size) ==
                   ERROR_SUCCESS;
            saved_.resize(size);
        }
    }
    ~MachineSearchPath() {
        if (key_ == nullptr) return;
        if (had_) {
            RegSetValueExA(key_, "Path", 0, type_, saved_.data(),
                           static_cast<DWORD>(saved_.size()));
        } else {
            RegDeleteValueA(key_, "Path");
        }
        RegCloseKey(key_);
    }
    MachineSearchPath(const MachineSearchPath &) = delete;
    MachineSearchPath &operator=(const MachineSearchPath &) = delete;
    bool usable() const { return key_ != nullptr; }
    // As the system keeps it: a string with unexpanded references.
    void set(const std::string &text) {
        RegSetValueExA(key_, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    void remove() { RegDeleteValueA(key_, "Path"); }

  private:
    HKEY key_ = nullptr;
    DWORD type_ = REG_EXPAND_SZ;
    std::vector<BYTE> saved_;
    bool had_ = false;
};
#else
constexpr char kEntrySeparator = ':';
constexpr char kDirSeparator = '/';

// The machine search path is the PATH of the machine's environment files, under a root the
// test points at its own folder; an absolute entry names a folder inside that root.
class MachineSearchPath {
  public:
    explicit MachineSearchPath(std::string root) : root_(std::move(root)) {
        trl4::os::setMachineRoot(root_.c_str());
    }
    ~MachineSearchPath() { trl4::os::setMachineRoot(nullptr); }
    MachineSearchPath(const MachineSearchPath &) = delete;
    MachineSearchPath &operator=(const MachineSearchPath &) = delete;
    bool usable() const { return true; }
    // Entries are the test's own folders, written as the machine inside the root names them.
    void set(const std::string &text) {
        trl4::os::setMachineRoot(root_.c_str());
        std::string inside;
        std::size_t begin = 0;
        for (;;) {
            const std::size_t end = text.find(kEntrySeparator, begin);
            std::string entry = text.substr(begin, end - begin);
            if (entry.rfind(root_ + "/", 0) == 0) entry.erase(0, root_.size());
            inside += (begin > 0 ? ":" : "") + entry;
            if (end == std::string::npos) break;
            begin = end + 1;
        }
        std::filesystem::create_directories(root_ + "/etc");
        writeBytes(root_ + "/etc/environment",
                   "# machine environment\nLANG=C\nPATH=\"" + inside + "\"\n");
    }
    void remove() { std::filesystem::remove(root_ + "/etc/environment"); }

  private:
    std::string root_;
};
#endif

class PathSearchTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(machine.usable()); }

    void setPath(const std::vector<std::string> &entries) {
        std::string text;
        for (std::size_t i = 0; i < entries.size(); ++i)
            text += (i ? std::string(1, kEntrySeparator) : "") + entries[i];
        machine.set(text);
    }
    std::string holding(const std::string &name) {
        const std::string d = dir.dir(name);
        writeBytes(in(d), "component");
        return d;
    }
    static std::string in(const std::string &d) { return d + kDirSeparator + kName; }

    // A whole search: every hit in order, the end status and the path the last try left.
    // Once ended, a search tries nothing more.
    struct Search {
        std::vector<std::string> hits;
        int end = 0;
        std::string last;
    };
    Search search(const char *start) {
        Search s;
        PathSearch *h = FirstPathFname(start, kName, path, sizeof path);
        if (h != nullptr) {
            s.hits.emplace_back(path);
            while ((s.end = NextPathFName(h, kName, path, sizeof path)) == 1)
                s.hits.emplace_back(path);
            s.last = path;
            EXPECT_EQ(NextPathFName(h, kName, path, sizeof path), 0);
            EXPECT_STREQ(path, "");
            ClosePathFName(h);
        }
        return s;
    }

    TempDir dir;
#ifdef _WIN32
    MachineSearchPath machine;
#else
    MachineSearchPath machine{dir.path().string()};
#endif
    char path[512] = {};
};

using Entries = std::vector<std::string>;

TEST_F(PathSearchTest, StartDirectoryComesFirstEvenWithATrailingSeparator) {
    const std::string start = holding("start");
    setPath({holding("p1")});
    for (const std::string &given : {start, start + kDirSeparator})
        EXPECT_EQ(search(given.c_str()).hits, (Entries{in(start), in(dir.file("p1"))})) << given;
}

TEST_F(PathSearchTest, FoundInTheThirdEntryAndContinuedFromIt) {
    const std::string empty1 = dir.dir("e1"), empty2 = dir.dir("e2"), empty4 = dir.dir("e4");
    const std::string third = holding("third"), fifth = holding("fifth");
    setPath({empty1, empty2, third, empty4, fifth, dir.file("none")});
    const Search s = search(dir.dir("start").c_str());
    EXPECT_EQ(s.hits, (Entries{in(third), in(fifth)}));
    EXPECT_EQ(s.end, 0);
    EXPECT_EQ(s.last, in(dir.file("none")));  // the last candidate tried
}

TEST_F(PathSearchTest, NowhereGivesNull) {
    setPath({dir.dir("a"), dir.dir("b")});
    std::strcpy(path, "stale");
    EXPECT_EQ(FirstPathFname(dir.dir("c").c_str(), kName, path, sizeof path), nullptr);
    EXPECT_EQ(FirstPathFname(dir.dir("c").c_str(), nullptr, path, sizeof path), nullptr);
    EXPECT_EQ(NextPathFName(nullptr, kName, path, sizeof path), 0);
    EXPECT_STREQ(path, "");
    ClosePathFName(nullptr);
}

TEST_F(PathSearchTest, WithoutStartDirectoryTheSearchPathBeginsAndContinuesFromItsSecondEntry) {
    const std::string first = holding("first"), second = holding("second");
    setPath({first, second});
    for (const char *start : {static_cast<const char *>(nullptr), ""})
        EXPECT_EQ(search(start).hits, (Entries{in(first), in(second)}));
}

TEST_F(PathSearchTest, VariableReferencesAreTriedLiterally) {
    const std::string real = holding("real");
    setEnv("TRL4_H2_DIR", real.c_str());
    setPath({"%TRL4_H2_DIR%", "$TRL4_H2_DIR", "${TRL4_H2_DIR}", "%SystemRoot%\\system32", real});
    EXPECT_EQ(search(nullptr).hits, Entries{in(real)});
    setEnv("TRL4_H2_DIR", nullptr);
#ifdef _WIN32
    setPath({"%SystemRoot%\\system32"});
    EXPECT_EQ(FirstPathFname(nullptr, "kernel32.dll", path, sizeof path), nullptr);
#endif
}

TEST_F(PathSearchTest, TheProcessPathIsNotConsulted) {
    const std::string only = holding("only");
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setEnv("PATH", only.c_str());
    setPath({dir.dir("x")});
    EXPECT_EQ(FirstPathFname(nullptr, kName, path, sizeof path), nullptr);
    setEnv("PATH", saved.c_str());
}

TEST_F(PathSearchTest, ACandidateTooLongForTheBufferIsNotFoundAndNothingOverruns) {
    const std::string deep = holding(std::string(200, 'd'));
    const std::string nearby = holding("n");
    setPath({deep, nearby});
    // Room for the short candidate only, with guard bytes behind the buffer.
    const std::size_t size = in(nearby).size() + 1;
    std::vector<char> buffer(size + 16, '#');
    PathSearch *h = FirstPathFname(nullptr, kName, buffer.data(), size);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(buffer.data(), in(nearby).c_str());
    for (std::size_t i = size; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], '#');
    ClosePathFName(h);
    // One byte less and nothing fits.
    EXPECT_EQ(FirstPathFname(nullptr, kName, buffer.data(), size - 1), nullptr);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(FirstPathFname(nullptr, kName, nullptr, 100), nullptr);
}

TEST_F(PathSearchTest, MissingOrOversizedSearchPathLeavesTheStartDirectoryOnly) {
    const std::string start = holding("start");
    const std::string other = holding("other");
    machine.remove();
    EXPECT_EQ(search(start.c_str()).hits, Entries{in(start)});
    EXPECT_EQ(FirstPathFname(dir.dir("empty").c_str(), kName, path, sizeof path), nullptr);
    // A search path that does not fit in the text block is not used at all.
    setPath({other, std::string(70000, 'x')});
    EXPECT_EQ(FirstPathFname(dir.dir("empty").c_str(), kName, path, sizeof path), nullptr);
    setPath({other, std::string(60000, 'x')});
    EXPECT_EQ(search(dir.dir("empty").c_str()).hits, Entries{in(other)});
}

// Empty entries name no directory: the search never turns them into the root.
TEST_F(PathSearchTest, EmptyEntriesAreSkippedAndNeverSearchTheRoot) {
    const std::string none = dir.dir("none"), found = holding("found");
    setPath({"", none, "", found, ""});
    const Search s = search(nullptr);
    EXPECT_EQ(s.hits, Entries{in(found)});
    EXPECT_EQ(s.end, 0);
    EXPECT_EQ(s.last, "");  // nothing after it, not the root
    // No usable search path and no start directory: nothing at all is tried.
    setPath({"", ""});
    EXPECT_EQ(FirstPathFname("", kName, path, sizeof path), nullptr);
    EXPECT_STREQ(path, "");
}

#ifndef _WIN32
TEST_F(PathSearchTest, QueryErrorsMoveOnFromTheStartButEndTheSearchPath) {
    // A symbolic link to itself makes every query below it fail.
    const std::string loop = dir.file("loop");
    std::filesystem::create_directory_symlink(loop, loop);
    const std::string found = holding("found");
    setPath({found});
    PathSearch *h = FirstPathFname(loop.c_str(), kName, path, sizeof path);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(path, in(found).c_str());
    ClosePathFName(h);
    // Without a start directory the first search path entry takes its place.
    setPath({loop, found});
    h = FirstPathFname(nullptr, kName, path, sizeof path);
    EXPECT_NE(h, nullptr);
    ClosePathFName(h);
    setPath({dir.dir("y"), loop, found});
    EXPECT_EQ(FirstPathFname(nullptr, kName, path, sizeof path), nullptr);
    setPath({dir.dir("x"), loop, found});
    h = FirstPathFname(found.c_str(), kName, path, sizeof path);
    ASSERT_NE(h, nullptr);
    EXPECT_LT(NextPathFName(h, kName, path, sizeof path), 0);
    ClosePathFName(h);
}
#endif

TEST_F(PathSearchTest, FoldersOfTheSameNameAreNotMatches) {
    const std::string a = dir.dir("a");
    dir.dir(std::string("a") + kDirSeparator + kName);
    setPath({a});
    EXPECT_EQ(FirstPathFname(nullptr, kName, path, sizeof path), nullptr);
}

// The cutting of the text into entries, without any file system.
std::vector<std::string> entriesOf(const char *start, const std::string &text) {
    PathSearch *h = trl4::integrity::makePathSearch(start, text.data(), text.size(), ':');
    std::vector<std::string> out;
    for (std::size_t i = 0; i < trl4::integrity::searchEntryCount(h); ++i) {
        out.emplace_back(trl4::integrity::searchEntry(h, i));
    }
    ClosePathFName(h);
    return out;
}

TEST(SearchEntries, CutAtTheSeparatorWithOneTrailingSeparatorRemovedAndEmptyOnesSkipped) {
    EXPECT_EQ(entriesOf(nullptr, ":/a:/b/:c\\::/d//:"), (Entries{"/a", "/b", "c", "/d/"}));
    EXPECT_EQ(entriesOf("", "/a"), (Entries{"/a"}));
    EXPECT_EQ(entriesOf(nullptr, ""), (Entries{}));
    EXPECT_EQ(entriesOf("/", ":"), (Entries{""}));  // the root named as such stays
    // The start directory is one entry even when it holds the separator.
    EXPECT_EQ(entriesOf("/s:t/", "/a:"), (Entries{"/s:t", "/a"}));
    // A zero byte ends the text.
    EXPECT_EQ(entriesOf(nullptr, std::string("/a:/b\0:/c", 9)), (Entries{"/a", "/b"}));
}

TEST(SearchEntries, AtMost255EntriesAndTheLastOneEndsAtItsSeparator) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "e" + std::to_string(i) + ":";
    Entries entries = entriesOf(nullptr, text);
    ASSERT_EQ(entries.size(), 255u);
    EXPECT_EQ(entries.back(), "e254");
    entries = entriesOf("/start", text);
    ASSERT_EQ(entries.size(), 255u);
    EXPECT_EQ(entries.front(), "/start");
    EXPECT_EQ(entries.back(), "e253");
    // A text too long for the block is not used.
    EXPECT_EQ(entriesOf("/start", std::string(65535, 'y')), (Entries{"/start"}));
}

}  // namespace
