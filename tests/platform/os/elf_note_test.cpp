#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "trl4/elf_note.h"

namespace {

// Writes `bytes` bytes of `value` at `at` in the file's byte order.
void put(std::string &image, std::size_t at, std::uint64_t value, unsigned bytes, bool big) {
    if (image.size() < at + bytes) image.resize(at + bytes, '\0');
    for (unsigned i = 0; i < bytes; ++i) {
        const unsigned shift = 8 * (big ? bytes - 1 - i : i);
        image[at + i] = static_cast<char>((value >> shift) & 0xFF);
    }
}

std::string note(const std::string &name, std::uint32_t type, const std::string &desc, bool big,
                 std::size_t align = 4) {
    std::string n;
    put(n, 0, name.size() + 1, 4, big);
    put(n, 4, desc.size(), 4, big);
    put(n, 8, type, 4, big);
    n += name;
    n.push_back('\0');
    n.resize((n.size() + align - 1) / align * align, '\0');
    n += desc;
    n.resize((n.size() + align - 1) / align * align, '\0');
    return n;
}

std::string versionNote(bool big, const std::string &version = "1.0") {
    return note("TRL4", 1, version + std::string(1, '\0'), big);
}

struct Elf {
    bool wide = true;
    bool big = false;
    bool sections = true;
    bool segments = false;
    std::string notes;
    std::uint64_t align = 4;
};

// A minimal ELF file: header, optionally one PT_NOTE program header, the notes, then a
// null section header and one SHT_NOTE section header over the notes.
std::string build(const Elf &e) {
    const std::size_t eh = e.wide ? 64 : 52, ph = e.wide ? 56 : 32, sh = e.wide ? 64 : 40;
    std::string image =
        "\x7f"
        "ELF";
    image.push_back(e.wide ? 2 : 1);
    image.push_back(e.big ? 2 : 1);
    image.push_back(1);
    image.resize(eh, '\0');
    const std::size_t phOff = eh;
    const std::size_t notesOff = phOff + (e.segments ? ph : 0);
    const std::size_t shOff = (notesOff + e.notes.size() + 7) / 8 * 8;
    auto w = [&](std::size_t at, std::uint64_t v, unsigned n) { put(image, at, v, n, e.big); };
    // Offsets of the fields in the 64-bit layout, else the 32-bit one; addresses are as wide.
    const auto at = [&](std::size_t wide, std::size_t narrow) { return e.wide ? wide : narrow; };
    const unsigned word = e.wide ? 8 : 4;
    w(at(32, 28), e.segments ? phOff : 0, word);
    w(at(40, 32), e.sections ? shOff : 0, word);
    w(at(54, 42), ph, 2);
    w(at(56, 44), e.segments ? 1 : 0, 2);
    w(at(58, 46), sh, 2);
    w(at(60, 48), e.sections ? 2 : 0, 2);
    if (e.segments) {
        w(phOff, 4, 4);
        w(phOff + at(8, 4), notesOff, word);
        w(phOff + at(32, 16), e.notes.size(), word);
        w(phOff + at(48, 28), e.align, word);
    }
    image.replace(notesOff, e.notes.size(), e.notes);
    image.resize(shOff, '\0');
    if (e.sections) {
        image.resize(shOff + 2 * sh, '\0');
        const std::size_t s = shOff + sh;
        w(s + 4, 7, 4);
        w(s + at(24, 16), notesOff, word);
        w(s + at(32, 20), e.notes.size(), word);
        w(s + at(48, 32), e.align, word);
    }
    return image;
}

bool versionOf(const std::string &image, std::string &version) {
    return trl4::os::readElfVersionNote(reinterpret_cast<const std::uint8_t *>(image.data()),
                                        image.size(), version);
}

TEST(ElfVersionNote, ReadInEveryClassAndByteOrderFromSectionsOrSegments) {
    for (bool wide : {false, true}) {
        for (bool big : {false, true}) {
            for (int where = 0; where < 3; ++where) {
                Elf e;
                e.wide = wide;
                e.big = big;
                e.sections = where != 1;
                e.segments = where != 0;
                e.notes = note("GNU", 3, "build-id-bytes!!", big) + versionNote(big);
                std::string version;
                EXPECT_TRUE(versionOf(build(e), version)) << wide << big << where;
                EXPECT_EQ(version, "1.0") << wide << big << where;
            }
        }
    }
}

TEST(ElfVersionNote, EightByteAlignedNotesAndAnUnterminatedDescriptor) {
    Elf e;
    e.align = 8;
    e.notes = note("GNU", 5, std::string(12, 'p'), false, 8) +
              note("TRL4", 1, std::string("2.5.1\0", 6), false, 8);
    std::string version;
    ASSERT_TRUE(versionOf(build(e), version));
    EXPECT_EQ(version, "2.5.1");
    // A descriptor without its terminating zero is taken whole.
    e = Elf{};
    e.notes = note("TRL4", 1, "3.14", false);
    ASSERT_TRUE(versionOf(build(e), version));
    EXPECT_EQ(version, "3.14");
}

TEST(ElfVersionNote, OtherNamesTypesAndNonElfFilesHaveNoVersion) {
    std::string version;
    Elf e;
    e.notes = note("TRL5", 1, std::string("1.0\0", 4), false);
    EXPECT_FALSE(versionOf(build(e), version));
    e.notes = note("TRL4", 2, std::string("1.0\0", 4), false);
    EXPECT_FALSE(versionOf(build(e), version));
    e.notes = note("TRL", 1, std::string("1.0\0", 4), false);
    EXPECT_FALSE(versionOf(build(e), version));
    EXPECT_FALSE(versionOf("MZ not an ELF file at all", version));
    std::string badClass = build(Elf{});
    badClass[4] = 3;
    EXPECT_FALSE(versionOf(badClass, version));
    EXPECT_FALSE(trl4::os::readElfVersionNote(nullptr, 100, version));
}

TEST(ElfVersionNote, EveryTruncationAndCorruptedSizeIsRefusedWithoutReadingOutside) {
    for (bool wide : {false, true}) {
        Elf e;
        e.wide = wide;
        e.segments = true;
        e.notes = versionNote(false);
        const std::string image = build(e);
        std::string version;
        ASSERT_TRUE(versionOf(image, version));
        // Each prefix in a buffer of its own size (any over-read is caught by the sanitizer):
        // without the whole note there is no version.
        const std::size_t noteAt = wide ? 64u + 56u : 52u + 32u;
        for (std::size_t n = 0; n < image.size(); ++n) {
            const bool read = versionOf(image.substr(0, n), version);
            if (n < noteAt + e.notes.size()) {
                EXPECT_FALSE(read) << wide << " cut at " << n;
            }
        }
        // Section and note sizes far beyond the file.
        std::string huge = image;
        put(huge, noteAt + 4, 0xFFFFFFF0u, 4, false);  // descsz
        EXPECT_FALSE(versionOf(huge, version));
        huge = image;
        put(huge, wide ? 40 : 32, wide ? 0xFFFFFFFFFFFFFF00ull : 0xFFFFFF00u, wide ? 8 : 4, false);
        put(huge, wide ? 32 : 28, 0, wide ? 8 : 4, false);
        EXPECT_FALSE(versionOf(huge, version));
    }
}

}  // namespace
