// File integrity: CRC-32 of files, the embedded checksum marker, the search of a component
// file along the machine-wide search path, and a file's version, date and short name.
// Plain functions with integer results; none shows anything or throws.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
inline constexpr char kMathLibraryFileName[] = "ksptrl4_math.dll";
#else
inline constexpr char kMathLibraryFileName[] = "libksptrl4_math.so";
#endif

// The marker's prefix "ВстроенныйCRC32=" as Windows-1251 bytes, zero-terminated.
inline constexpr char kCrcMarkerPrefix[] =
    "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
    "CRC32=";
inline constexpr std::size_t kCrcMarkerPrefixLength = sizeof kCrcMarkerPrefix - 1;

// The largest file the checksum functions take: its image, with eight bytes of slack, must
// count in int32.
inline constexpr std::int64_t kMaxImageSize = INT32_MAX - 8;

// Output sizes of GetFInfo's buffers (each including the terminating zero).
inline constexpr std::size_t kFInfoVersionSize = 32;
inline constexpr std::size_t kFInfoDateSize = 24;
inline constexpr std::size_t kFInfoTimeSize = 8;
inline constexpr std::size_t kFInfoShortNameSize = 128;

// CRC-32 (reflected 0xEDB88320, initial and final XOR 0xFFFFFFFF) of `length` bytes;
// 0 for no bytes or a negative length. Reentrant.
std::uint32_t Crc32(const void *data, std::int32_t length) noexcept;

// First place in `data` where the pattern's bytes (without its terminator) occur, or null.
// A pattern that would end exactly at the end of the data is not found.
const unsigned char *FindInBuffer(const void *data, std::int32_t length,
                                  const char *pattern) noexcept;

// CRC-32 of the whole file; 0 when it cannot be opened, is empty or cannot be read;
// 0xFFFFFFFF when no memory can be had for its image.
std::uint32_t GetFileCRC32(const char *fileName) noexcept;

// The marker check of a file image in memory. 0: marker found and its value equals the
// checksum of the image with the marker's digits replaced by '0'; 1: it differs; -1: no
// marker (or no bytes). Every output may be null: `storedCrc` the marker's value (0 when
// none), `computedCrc` the checksum with the digits replaced, `fileCrc` the CRC-32 of the
// image as it is. The image is not modified and is never read beyond `length`.
std::int32_t CheckImageInternalCRC32(const void *image, std::int32_t length,
                                     std::uint32_t *storedCrc, std::uint32_t *computedCrc,
                                     std::uint32_t *fileCrc) noexcept;

// The marker check of a file: as CheckImageInternalCRC32, and -1 also when the file cannot
// be opened, is empty or cannot be read into memory.
std::int32_t CheckFileInternalCRC32(const char *fileName, std::uint32_t *storedCrc,
                                    std::uint32_t *computedCrc, std::uint32_t *fileCrc) noexcept;

// Writes the file's checksum into its marker: 0 done; -1 when the file cannot be opened for
// reading or writing, is shorter than 20 bytes, cannot be read into memory, holds no marker,
// or its marker is followed by fewer than nine bytes. Never writes beyond the file's end.
std::int32_t SetupFileInternalCRC32(const char *fileName) noexcept;

// Search of a component file: the start directory first, then each entry of the
// machine-wide search path from left to right (empty entries are skipped, never taken for
// the root). The handle belongs to the caller until ClosePathFName. `path` receives the
// candidate, at most `pathSize` bytes with its terminator; a candidate that does not fit is
// treated as not found.
struct PathSearch;
PathSearch *FirstPathFname(const char *startDir, const char *fileName, char *path,
                           std::size_t pathSize) noexcept;
// 1: a further match in `path`; 0: none (or a null handle), `path` holds the last candidate
// tried or is empty; negative: the error of the file query.
std::int32_t NextPathFName(PathSearch *handle, const char *fileName, char *path,
                           std::size_t pathSize) noexcept;
void ClosePathFName(PathSearch *handle) noexcept;

// Version (kFInfoVersionSize, "n/a" when the file has none), last-write date "dd-mm-yyyy"
// (kFInfoDateSize) and time "hh:mm" (kFInfoTimeSize) in local time, both empty when the
// time cannot be read, and the name after the last directory separator
// (kFInfoShortNameSize). Each output may be null. Always 0.
std::int32_t GetFInfo(const char *fileName, char *version, char *date, char *time,
                      char *shortName) noexcept;

namespace trl4::integrity {

// The search handle's entries, exposed so the cutting of a search path text can be tested
// and fuzzed without the registry or the environment file.
inline constexpr std::size_t kSearchTextSize = 65536;
inline constexpr std::size_t kSearchSlots = 256;
inline constexpr std::size_t kMaxSearchEntries = kSearchSlots - 1;

// A handle whose entries are `startDir` (when neither null nor empty) followed by the
// non-empty entries of `searchText` cut at `separator`. Null when no memory can be had.
PathSearch *makePathSearch(const char *startDir, const char *searchText,
                           std::size_t searchTextLength, char separator) noexcept;
std::size_t searchEntryCount(const PathSearch *handle) noexcept;
// The entry at `index`, or null past the end.
const char *searchEntry(const PathSearch *handle, std::size_t index) noexcept;

}  // namespace trl4::integrity
