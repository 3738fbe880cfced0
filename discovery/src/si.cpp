// Finding the maker's mezzanine carriers through VISA: VXI modules by maker and model code,
// NodaBOX units on USB and the network by their "*IDN?" reply.
#include "si.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "trl4/utf8.h"
#include "trl4visa/identity.h"
#include "visa.h"

InstrumentEntry Instruments[SI_MAX_INSTRUMENTS];

namespace {

constexpr ViUInt16 kMakerId = 0xE76;
constexpr std::string_view kIdnPrefix = "ZELKORTECH,KSPBASE";
constexpr size_t kSerialStart = 19;    // the separator at 18 is taken on trust
constexpr size_t kLastField4Pos = 82;  // the fourth field is read no further than this
constexpr ViUInt32 kLockTimeoutMs = 2000;

// Length in bytes of the UTF-8 character at s[i]; a byte that starts no valid sequence
// counts as a character of its own.
size_t charLength(std::string_view s, size_t i) {
    const size_t n = trl4::utf8::sequenceLength(s, i);
    return n == 0 ? 1 : n;
}

// The reply split into characters: byte offset of each, plus one past the end.
std::vector<size_t> characterStarts(std::string_view s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i += charLength(s, i))
        starts.push_back(i);
    starts.push_back(s.size());
    return starts;
}

template <size_t N>
void setText(char (&field)[N], std::string_view text, size_t maxChars) {
    CopyChars(field, N, text, maxChars);
}

// Examines one resource into entry; true when it is a carrier of ours.
bool examine(ViSession rm, char *buffer, InstrumentEntry &entry) {
    ViSession instr = VI_NULL;
    if (viOpen(rm, buffer, VI_NO_LOCK, 0, &instr) != VI_SUCCESS) {
        // A warning status opens a session that still has to be closed.
        if (instr != VI_NULL) viClose(instr);
        return false;
    }
    bool kept = false;
    viGetAttribute(instr, VI_ATTR_INTF_TYPE, &entry.intfType);
    if (entry.intfType == VI_INTF_VXI || entry.intfType == VI_INTF_GPIB_VXI) {
        ViInt16 slot = -1;
        ViUInt16 manf = 0;
        // A negative slot is VISA's "unknown": no place to show, so not listed either.
        const bool slotOk =
            viGetAttribute(instr, VI_ATTR_SLOT, &slot) == VI_SUCCESS && slot >= 0 && slot < 13;
        if (slotOk) viGetAttribute(instr, VI_ATTR_MANF_ID, &manf);
        if (slotOk && manf == kMakerId) {
            entry.slot = static_cast<uint16_t>(slot);
            setText(entry.rsrcName, buffer, SI_RSRC_CHARS);
            ViInt16 crate = static_cast<ViInt16>(entry.crateLA);
            ViInt16 la = static_cast<ViInt16>(entry.logAddr);
            ViUInt16 model = entry.modelCode;
            viGetAttribute(instr, VI_ATTR_MAINFRAME_LA, &crate);
            viGetAttribute(instr, VI_ATTR_VXI_LA, &la);
            viGetAttribute(instr, VI_ATTR_MODEL_CODE, &model);
            entry.crateLA = static_cast<uint16_t>(crate);
            entry.logAddr = static_cast<uint16_t>(la);
            entry.modelCode = static_cast<uint16_t>(model & 0x0FFF);
            const char *format = nullptr;
            switch (entry.modelCode) {
                case 0x10D:
                    format = "Н.М.  Л.А.крейта:0x%02X, слот:%d\n(%s)";
                    break;
                case 0x155:
                    format = "Н.М.У.  Л.А.крейта:0x%02X, слот:%d\n(%s)";
                    break;
                case 0x177:
                    format = "Н.М.М.  Л.А.крейта:0x%02X, слот:%d\n(%s)";
                    break;
                default:
                    break;
            }
            if (format != nullptr) {
                char line[SI_TEXT_BYTES(SI_RSRC_CHARS) + 128];
                std::snprintf(line, sizeof line, format, static_cast<unsigned>(entry.crateLA),
                              static_cast<int>(entry.slot), entry.rsrcName);
                setText(entry.descr, line, SI_DESCR_CHARS);
                kept = true;
            }
        }
    } else if (entry.intfType == VI_INTF_USB || entry.intfType == VI_INTF_TCPIP) {
        setText(entry.rsrcName, buffer, SI_RSRC_CHARS);
        viLock(instr, VI_EXCLUSIVE_LOCK, kLockTimeoutMs, VI_NULL, VI_NULL);
        viClear(instr);
        // Bounded read: the reply cannot run past the shared buffer whatever the device sends.
        const ViStatus query = trl4visa::queryIdentity(instr, buffer, VI_FIND_BUFLEN);
        viUnlock(instr);
        if (query >= 0 && ParseIdnReply(buffer, entry)) {
            char line[SI_TEXT_BYTES(SI_DESCR_CHARS) + VI_FIND_BUFLEN + 64];
            if (entry.intfType == VI_INTF_TCPIP) {
                // Without an address the reply must not be shown in its place.
                if (viGetAttribute(instr, VI_ATTR_TCPIP_ADDR, buffer) != VI_SUCCESS)
                    buffer[0] = '\0';
                std::snprintf(line, sizeof line, "NodaBOX, LXI (%s, №:%s)", buffer, entry.serialNo);
            } else {
                std::snprintf(line, sizeof line, "NodaBOX, USB (№:%s)", entry.serialNo);
            }
            setText(entry.descr, line, SI_DESCR_CHARS);
            entry.modelCode = SI_MODEL_NODABOX;
            entry.slot = SI_NOT_VXI;
            entry.logAddr = SI_NOT_VXI;
            kept = true;
        }
    }
    viClose(instr);
    return kept;
}

}  // namespace

size_t CopyChars(char *dst, size_t dstSize, std::string_view src, size_t maxChars) {
    if (dst == nullptr || dstSize == 0) return 0;
    size_t bytes = 0;
    for (size_t chars = 0; chars < maxChars && bytes < src.size(); ++chars) {
        const size_t n = charLength(src, bytes);
        if (bytes + n > dstSize - 1) break;
        bytes += n;
    }
    if (bytes > 0) std::memcpy(dst, src.data(), bytes);
    dst[bytes] = '\0';
    return bytes;
}

bool ParseIdnReply(std::string_view reply, InstrumentEntry &entry) {
    // The reply is C text: nothing after a NUL counts.
    reply = reply.substr(0, reply.find('\0'));
    if (reply.substr(0, kIdnPrefix.size()) != kIdnPrefix) return false;
    const std::vector<size_t> at = characterStarts(reply);
    const size_t chars = at.size() - 1;
    // Serial number: from position 19 to the next "," or the end; only its length is limited.
    size_t end = kSerialStart;
    while (end < chars && reply[at[end]] != ',')
        ++end;
    if (kSerialStart < chars) {
        const size_t first = at[kSerialStart];
        setText(entry.serialNo, reply.substr(first, at[end] - first), SI_SERIAL_CHARS);
    } else {
        entry.serialNo[0] = '\0';
    }
    if (end < chars) {
        const size_t start = end + 1;
        size_t stop = start;
        while (stop < chars && stop <= kLastField4Pos && reply[at[stop]] != ',')
            ++stop;
        const size_t first = at[std::min(start, chars)];
        setText(entry.idnField4, reply.substr(first, at[std::max(stop, start)] - first),
                SI_FIELD4_CHARS);
    } else {
        setText(entry.idnField4, "n/a", SI_FIELD4_CHARS);
    }
    return true;
}

namespace {

// The one VISA search of the program: visit(rm, name) for every instrument resource found,
// in the order found, until it returns false. A negative VISA status when the search fails.
template <class Visit>
ViStatus searchResources(char (&buffer)[VI_FIND_BUFLEN], Visit visit) {
    ViSession rm = VI_NULL;
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    ViStatus status = viOpenDefaultRM(&rm);
    if (status < 0) return status;
    status = viFindRsrc(rm, "?*INSTR", &list, &count, buffer);
    if (status < 0) {
        viClose(rm);
        return status;
    }
    for (ViUInt32 i = 0; i < count && visit(rm, buffer); ++i) {
        if (i + 1 < count) {
            status = viFindNext(list, buffer);
            if (status < 0) break;
        }
    }
    viClose(list);
    viClose(rm);
    return status < 0 ? status : VI_SUCCESS;
}

}  // namespace

int32_t FindVISAinstruments() {
    char buffer[VI_FIND_BUFLEN] = {};  // shared by the search, the reply and the address
    std::unique_ptr<InstrumentEntry[]> scratch(new (std::nothrow)
                                                   InstrumentEntry[SI_MAX_INSTRUMENTS]());
    if (!scratch) return VI_ERROR_ALLOC;
    size_t kept = 0;
    const ViStatus status = searchResources(buffer, [&](ViSession rm, char *name) {
        if (examine(rm, name, scratch[kept])) {
            ++kept;
        } else {
            scratch[kept] = InstrumentEntry{};  // nothing of a skipped resource stays behind
        }
        return kept < SI_MAX_INSTRUMENTS;
    });
    if (status < 0) return status;
    // A carrier in slot 0 is the crate's own controller position: kept while searching,
    // dropped here. A second search leaves no entry of the first behind.
    int32_t copied = 0;
    for (auto &entry : Instruments)
        entry = InstrumentEntry{};
    for (size_t i = 0; i < kept; ++i) {
        if (scratch[i].slot == 0) continue;
        Instruments[copied] = scratch[i];
        Instruments[copied].baseSession = 0;
        ++copied;
    }
    return copied;
}

int32_t FindVISAmeters(std::vector<MeterEntry> &meters) {
    char buffer[VI_FIND_BUFLEN] = {};
    std::vector<MeterEntry> found;
    const ViStatus status = searchResources(buffer, [&](ViSession rm, char *name) {
        const std::string resource = name;
        InstrumentEntry entry{};
        // A carrier of ours is no meter, whatever it answers.
        if (examine(rm, name, entry)) return true;
        ViSession instr = VI_NULL;
        if (viOpen(rm, resource.c_str(), VI_NO_LOCK, 0, &instr) < VI_SUCCESS) {
            if (instr != VI_NULL) viClose(instr);
            return true;
        }
        char reply[VI_FIND_BUFLEN] = "";
        if (trl4visa::queryIdentity(instr, reply, sizeof reply) >= 0) {
            std::string identity = reply;
            while (!identity.empty() && (identity.back() == '\n' || identity.back() == '\r'))
                identity.pop_back();
            InstrumentEntry asCarrier{};
            // A carrier answering on a bus the search does not take carriers from is no meter.
            if (!identity.empty() && !ParseIdnReply(identity, asCarrier))
                found.push_back({resource, identity});
        }
        viClose(instr);
        return found.size() < SI_MAX_INSTRUMENTS;
    });
    if (status < 0) return status;
    meters = std::move(found);
    return static_cast<int32_t>(meters.size());
}
