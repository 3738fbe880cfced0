// What the front panel checks in the library's file without loading it: the embedded
// checksum marker, and (on ELF systems) the file version, which Windows keeps in the
// version resource instead.
#include <cstdint>

// Nothing refers to the marker; `used` and external linkage keep it through compiler and
// linker. The digits are filled in after the build. The prefix is Windows-1251 text.
extern "C" __attribute__((used)) const char ksptrl4_checksum_marker[25] =
    "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
    "CRC32="
    "00000000";

#if defined(__ELF__)
namespace {

// An ELF note: name "TRL4", type 1, the zero-terminated FileVersion text as descriptor.
struct VersionNote {
    uint32_t namesz;
    uint32_t descsz;
    uint32_t type;
    char name[8];
    char desc[4];
};
static_assert(sizeof(VersionNote) == 24, "note layout must have no padding of its own");

// A sanitizer's red zone after the note would become part of the note section.
#if defined(__clang__)
#define KSPTRL4_NOTE_UNPADDED __attribute__((no_sanitize("address")))
#else
#define KSPTRL4_NOTE_UNPADDED
#endif

__attribute__((section(".note.trl4.version"), used, aligned(4)))
KSPTRL4_NOTE_UNPADDED const VersionNote kVersionNote = {
    5, 4, 1, {'T', 'R', 'L', '4', '\0', '\0', '\0', '\0'}, {'1', '.', '0', '\0'}};

}  // namespace
#endif
