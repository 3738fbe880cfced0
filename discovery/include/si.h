// Carrier discovery through VISA: the table of carriers found and the search that fills it.
// The selection dialog's declarations live in their own header.
#ifndef TRL4_SI_H
#define TRL4_SI_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text limits count characters; the text is UTF-8, so a field holds up to four bytes a
// character plus the terminating NUL.
#define SI_RSRC_CHARS 127
#define SI_DESCR_CHARS 127
#define SI_SERIAL_CHARS 31
#define SI_FIELD4_CHARS 33
#define SI_TEXT_BYTES(chars) ((chars)*4 + 1)

#define SI_MAX_INSTRUMENTS 256
#define SI_MODEL_NODABOX 0x1004  // modelCode of a NodaBOX entry
#define SI_NOT_VXI 255           // slot and logAddr of a NodaBOX entry

struct InstrumentEntry {
    char rsrcName[SI_TEXT_BYTES(SI_RSRC_CHARS)];
    char descr[SI_TEXT_BYTES(SI_DESCR_CHARS)];
    uint16_t modelCode;  // 0: entry not in use
    uint32_t baseSession;
    uint16_t crateLA;
    uint16_t logAddr;
    uint16_t slot;
    uint16_t intfType;
    char serialNo[SI_TEXT_BYTES(SI_SERIAL_CHARS)];
    char idnField4[SI_TEXT_BYTES(SI_FIELD4_CHARS)];
};

extern InstrumentEntry Instruments[SI_MAX_INSTRUMENTS];

// Fills Instruments with the carriers found; returns how many, or a negative VISA status
// (Instruments then unchanged).
int32_t FindVISAinstruments();

// An instrument on the bus that is no carrier and answers "*IDN?": a candidate meter.
struct MeterEntry {
    std::string resource;
    std::string identity;  // the reply without its line end
};

// Fills meters with what the same search finds besides the carriers; returns how many, or a
// negative VISA status (meters then unchanged).
int32_t FindVISAmeters(std::vector<MeterEntry> &meters);

// Takes a "*IDN?" reply apart. Returns true when it comes from a NodaBOX; then serialNo and
// idnField4 of the entry are set (NUL-terminated, cut to their limits on character
// boundaries). Nothing else of the entry is touched.
bool ParseIdnReply(std::string_view reply, InstrumentEntry &entry);

// Copies at most maxChars UTF-8 characters of src into dst (dstSize bytes, NUL-terminated),
// never splitting a character. A byte that starts no valid sequence counts as one character.
// Returns the number of bytes copied.
size_t CopyChars(char *dst, size_t dstSize, std::string_view src, size_t maxChars);

#endif
