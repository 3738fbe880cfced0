#include "trl4/elf_note.h"

#include <cstring>

namespace trl4::os {
namespace {

constexpr std::uint32_t kShtNote = 7;
constexpr std::uint32_t kPtNote = 4;
// Tables longer than this are not a plausible component file.
constexpr std::uint64_t kMaxTableEntries = 65536;

class Image {
  public:
    Image(const std::uint8_t *data, std::size_t size, bool bigEndian)
        : data_(data), size_(size), big_(bigEndian) {}

    std::uint64_t size() const { return size_; }

    // True when [offset, offset + length) lies inside the image.
    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    bool get(std::uint64_t offset, unsigned bytes, std::uint64_t &value) const {
        if (!holds(offset, bytes)) return false;
        value = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            const unsigned index = big_ ? i : bytes - 1 - i;
            value = (value << 8) | data_[offset + index];
        }
        return true;
    }

    const std::uint8_t *at(std::uint64_t offset) const { return data_ + offset; }

  private:
    const std::uint8_t *data_;
    std::uint64_t size_;
    bool big_;
};

std::uint64_t alignUp(std::uint64_t value, std::uint64_t align) {
    return (value + (align - 1)) & ~(align - 1);
}

// Walks the notes in [offset, offset + length) for the version note.
bool scanNotes(const Image &image, std::uint64_t offset, std::uint64_t length,
               std::uint64_t alignment, std::string &version) {
    if (!image.holds(offset, length)) return false;
    const std::uint64_t align = alignment == 8 ? 8 : 4;
    std::uint64_t pos = 0;
    while (length - pos >= 12) {
        std::uint64_t nameSize = 0, descSize = 0, type = 0;
        image.get(offset + pos, 4, nameSize);
        image.get(offset + pos + 4, 4, descSize);
        image.get(offset + pos + 8, 4, type);
        const std::uint64_t nameAt = pos + 12;
        // Sizes are 32-bit, so these sums cannot overflow 64 bits.
        // Padding aligns the offsets within the notes, not the sizes.
        const std::uint64_t descAt = alignUp(nameAt + nameSize, align);
        const std::uint64_t next = alignUp(descAt + descSize, align);
        if (descAt > length || descSize > length - descAt) return false;
        if (type == kVersionNoteType && nameSize == sizeof kVersionNoteName &&
            std::memcmp(image.at(offset + nameAt), kVersionNoteName, sizeof kVersionNoteName) ==
                0) {
            const char *desc = reinterpret_cast<const char *>(image.at(offset + descAt));
            const std::size_t len = static_cast<std::size_t>(descSize);
            const void *nul = std::memchr(desc, 0, len);
            version.assign(
                desc, nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - desc) : len);
            return true;
        }
        if (next > length) return false;
        pos = next;
    }
    return false;
}

struct Layout {
    bool wide;  // 64-bit
    std::uint64_t phOff, shOff;
    std::uint64_t phEntSize, phNum, shEntSize, shNum;
};

bool readLayout(const Image &image, bool wide, Layout &l) {
    l.wide = wide;
    bool ok = true;
    if (wide) {
        ok = image.get(32, 8, l.phOff) && image.get(40, 8, l.shOff) &&
             image.get(54, 2, l.phEntSize) && image.get(56, 2, l.phNum) &&
             image.get(58, 2, l.shEntSize) && image.get(60, 2, l.shNum);
    } else {
        ok = image.get(28, 4, l.phOff) && image.get(32, 4, l.shOff) &&
             image.get(42, 2, l.phEntSize) && image.get(44, 2, l.phNum) &&
             image.get(46, 2, l.shEntSize) && image.get(48, 2, l.shNum);
    }
    return ok;
}

bool fromSections(const Image &image, const Layout &l, std::string &version) {
    const std::uint64_t minEntry = l.wide ? 64 : 40;
    if (l.shOff == 0 || l.shOff >= image.size() || l.shEntSize < minEntry) return false;
    std::uint64_t count = l.shNum;
    if (count == 0) {
        // Extended numbering: the real count sits in the first header's size field.
        if (!image.get(l.shOff + (l.wide ? 32 : 20), l.wide ? 8 : 4, count)) return false;
    }
    if (count > kMaxTableEntries) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = l.shOff + i * l.shEntSize;
        if (!image.holds(at, minEntry)) return false;
        std::uint64_t type = 0, offset = 0, size = 0, align = 0;
        image.get(at + 4, 4, type);
        if (type != kShtNote) continue;
        if (l.wide) {
            image.get(at + 24, 8, offset);
            image.get(at + 32, 8, size);
            image.get(at + 48, 8, align);
        } else {
            image.get(at + 16, 4, offset);
            image.get(at + 20, 4, size);
            image.get(at + 32, 4, align);
        }
        if (scanNotes(image, offset, size, align, version)) return true;
    }
    return false;
}

bool fromSegments(const Image &image, const Layout &l, std::string &version) {
    const std::uint64_t minEntry = l.wide ? 56 : 32;
    if (l.phOff == 0 || l.phOff >= image.size() || l.phEntSize < minEntry ||
        l.phNum > kMaxTableEntries)
        return false;
    for (std::uint64_t i = 0; i < l.phNum; ++i) {
        const std::uint64_t at = l.phOff + i * l.phEntSize;
        if (!image.holds(at, minEntry)) return false;
        std::uint64_t type = 0, offset = 0, size = 0, align = 0;
        image.get(at, 4, type);
        if (type != kPtNote) continue;
        if (l.wide) {
            image.get(at + 8, 8, offset);
            image.get(at + 32, 8, size);
            image.get(at + 48, 8, align);
        } else {
            image.get(at + 4, 4, offset);
            image.get(at + 16, 4, size);
            image.get(at + 28, 4, align);
        }
        if (scanNotes(image, offset, size, align, version)) return true;
    }
    return false;
}

}  // namespace

bool readElfVersionNote(const std::uint8_t *data, std::size_t size, std::string &version) {
    if (data == nullptr || size < 16) return false;
    if (data[0] != 0x7F || data[1] != 'E' || data[2] != 'L' || data[3] != 'F') return false;
    const std::uint8_t elfClass = data[4];
    const std::uint8_t encoding = data[5];
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2)) return false;
    const Image image(data, size, encoding == 2);
    Layout layout{};
    if (!readLayout(image, elfClass == 2, layout)) return false;
    return fromSections(image, layout, version) || fromSegments(image, layout, version);
}

}  // namespace trl4::os
