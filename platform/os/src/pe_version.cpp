#include "trl4/pe_version.h"

#include "trl4/utf8.h"

#include <cstdio>
#include <optional>

namespace trl4::os {
namespace {

constexpr std::uint32_t kResourceVersion = 16;
constexpr std::size_t kResourceDirectoryIndex = 2;
// A version resource has a handful of blocks on each level; more is not one.
constexpr int kMaxSiblings = 256;

class Bytes {
  public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    std::optional<std::uint32_t> u16(std::uint64_t offset) const {
        if (!holds(offset, 2)) return std::nullopt;
        return static_cast<std::uint32_t>(data_[offset] | data_[offset + 1] << 8);
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        if (!holds(offset, 4)) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | data_[offset + static_cast<std::uint64_t>(i)];
        return v;
    }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
};

// The file offset of a relative virtual address, through the section table.
class Sections {
  public:
    Sections(const Bytes &bytes, std::uint64_t table, std::uint32_t count)
        : bytes_(bytes), table_(table), count_(count) {}

    std::optional<std::uint64_t> offsetOf(std::uint32_t rva, std::uint32_t length) const {
        for (std::uint32_t i = 0; i < count_; ++i) {
            const std::uint64_t header = table_ + std::uint64_t{i} * 40;
            const auto virtualSize = bytes_.u32(header + 8), address = bytes_.u32(header + 12),
                       rawSize = bytes_.u32(header + 16), rawOffset = bytes_.u32(header + 20);
            if (!virtualSize || !address || !rawSize || !rawOffset) return std::nullopt;
            if (rva < *address) continue;
            const std::uint64_t within = rva - *address;
            if (within + length > *rawSize) continue;
            const std::uint64_t offset = *rawOffset + within;
            if (!bytes_.holds(offset, length)) return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }

  private:
    const Bytes &bytes_;
    std::uint64_t table_;
    std::uint32_t count_;
};

// One node of the version resource: length, value length, type, a zero-terminated UTF-16
// key, the value and the children, each start aligned to four bytes from the resource.
struct Block {
    std::uint64_t start = 0, end = 0;
    std::u16string key;
    std::uint64_t value = 0, valueBytes = 0;
    std::uint64_t children = 0;
};

std::uint64_t align4(std::uint64_t base, std::uint64_t at) {
    return base + ((at - base + 3) & ~std::uint64_t{3});
}

std::optional<Block> readBlock(const Bytes &bytes, std::uint64_t base, std::uint64_t at,
                               std::uint64_t limit) {
    const auto length = bytes.u16(at), valueLength = bytes.u16(at + 2), type = bytes.u16(at + 4);
    if (!length || !valueLength || !type || *length < 6 || at + *length > limit) {
        return std::nullopt;
    }
    Block b;
    b.start = at;
    b.end = at + *length;
    std::uint64_t p = at + 6;
    for (;; p += 2) {
        if (p + 2 > b.end) return std::nullopt;
        const auto c = bytes.u16(p);
        if (!c) return std::nullopt;
        if (*c == 0) break;
        b.key.push_back(static_cast<char16_t>(*c));
    }
    b.value = align4(base, p + 2);
    // Text values count UTF-16 units, binary ones bytes.
    b.valueBytes = *type == 1 ? std::uint64_t{*valueLength} * 2 : *valueLength;
    if (b.value > b.end || b.valueBytes > b.end - b.value) {
        b.value = b.end;
        b.valueBytes = 0;
    }
    b.children = align4(base, b.value + b.valueBytes);
    return b;
}

// The child of `parent` whose key satisfies `match`, searched in order.
template <class Match>
std::optional<Block> child(const Bytes &bytes, std::uint64_t base, const Block &parent,
                           Match match) {
    std::uint64_t at = parent.children;
    for (int n = 0; n < kMaxSiblings && at + 6 <= parent.end; ++n) {
        const auto b = readBlock(bytes, base, at, parent.end);
        if (!b) return std::nullopt;
        if (match(b->key)) return b;
        at = align4(base, b->end);
    }
    return std::nullopt;
}

auto keyIs(const char *text) {
    return [text](const std::u16string &key) {
        std::size_t i = 0;
        for (; text[i] != '\0'; ++i) {
            if (i >= key.size()) return false;
            char16_t a = key[i], b = static_cast<char16_t>(text[i]);
            if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
            if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b - u'A' + u'a');
            if (a != b) return false;
        }
        return i == key.size();
    };
}

// A UTF-16 text up to its zero or the end of the value; unpaired surrogates become U+FFFD.
std::string textOf(const Bytes &bytes, const Block &b) {
    std::string out;
    for (std::uint64_t p = b.value; p + 2 <= b.value + b.valueBytes; p += 2) {
        std::uint32_t c = *bytes.u16(p);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && p + 4 <= b.value + b.valueBytes) {
            const std::uint32_t low = *bytes.u16(p + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                trl4::utf8::append(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                p += 2;
                continue;
            }
        }
        trl4::utf8::append(out, c >= 0xD800 && c < 0xE000 ? 0xFFFD : c);
    }
    return out;
}

// The data of the first resource of the given type (first name, first language).
std::optional<std::pair<std::uint64_t, std::uint32_t>> firstResource(const Bytes &bytes,
                                                                     const Sections &sections,
                                                                     std::uint64_t root,
                                                                     std::uint32_t type) {
    std::uint64_t directory = root;
    for (int level = 0; level < 3; ++level) {
        const auto named = bytes.u16(directory + 12), ids = bytes.u16(directory + 14);
        if (!named || !ids) return std::nullopt;
        const std::uint32_t entries = *named + *ids;
        std::optional<std::uint32_t> target;
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint64_t entry = directory + 16 + std::uint64_t{i} * 8;
            const auto name = bytes.u32(entry), data = bytes.u32(entry + 4);
            if (!name || !data) return std::nullopt;
            if (level == 0 && *name != type) continue;
            target = *data;
            break;
        }
        if (!target) return std::nullopt;
        const bool isDirectory = (*target & 0x80000000u) != 0;
        const std::uint64_t next = root + (*target & 0x7FFFFFFFu);
        if (level < 2) {
            if (!isDirectory) return std::nullopt;
            directory = next;
            continue;
        }
        if (isDirectory) return std::nullopt;
        const auto rva = bytes.u32(next), size = bytes.u32(next + 4);
        if (!rva || !size) return std::nullopt;
        const auto offset = sections.offsetOf(*rva, *size);
        if (!offset) return std::nullopt;
        return std::make_pair(*offset, *size);
    }
    return std::nullopt;
}

}  // namespace

bool readPeFileVersion(const std::uint8_t *image, std::size_t size, std::string &version) {
    if (image == nullptr) return false;
    const Bytes bytes(image, size);
    const auto mz = bytes.u16(0), peOffset = bytes.u32(0x3C);
    if (!mz || *mz != 0x5A4D || !peOffset) return false;
    const std::uint64_t pe = *peOffset;
    const auto signature = bytes.u32(pe), sectionCount = bytes.u16(pe + 6),
               optionalSize = bytes.u16(pe + 20), magic = bytes.u16(pe + 24);
    if (!signature || *signature != 0x00004550 || !sectionCount || !optionalSize || !magic) {
        return false;
    }
    const std::uint64_t optional = pe + 24;
    std::uint64_t directories = 0;
    std::optional<std::uint32_t> directoryCount;
    if (*magic == 0x10B) {
        directoryCount = bytes.u32(optional + 92);
        directories = optional + 96;
    } else if (*magic == 0x20B) {
        directoryCount = bytes.u32(optional + 108);
        directories = optional + 112;
    } else {
        return false;
    }
    if (!directoryCount || *directoryCount <= kResourceDirectoryIndex) return false;
    const auto resourceRva = bytes.u32(directories + kResourceDirectoryIndex * 8),
               resourceSize = bytes.u32(directories + kResourceDirectoryIndex * 8 + 4);
    if (!resourceRva || !resourceSize || *resourceSize < 16) return false;
    const Sections sections(bytes, optional + *optionalSize, *sectionCount);
    const auto root = sections.offsetOf(*resourceRva, 16);
    if (!root) return false;
    const auto data = firstResource(bytes, sections, *root, kResourceVersion);
    if (!data) return false;

    const std::uint64_t base = data->first;
    const auto info = readBlock(bytes, base, base, base + data->second);
    if (!info || !keyIs("VS_VERSION_INFO")(info->key)) return false;
    const auto varInfo = child(bytes, base, *info, keyIs("VarFileInfo"));
    if (!varInfo) return false;
    const auto translation = child(bytes, base, *varInfo, keyIs("Translation"));
    if (!translation || translation->valueBytes < 4) return false;
    char table[9];
    std::snprintf(table, sizeof table, "%04x%04x", *bytes.u16(translation->value),
                  *bytes.u16(translation->value + 2));
    const auto stringInfo = child(bytes, base, *info, keyIs("StringFileInfo"));
    if (!stringInfo) return false;
    const auto strings = child(bytes, base, *stringInfo, keyIs(table));
    if (!strings) return false;
    const auto fileVersion = child(bytes, base, *strings, keyIs("FileVersion"));
    if (!fileVersion) return false;
    version = textOf(bytes, *fileVersion);
    return true;
}

}  // namespace trl4::os
