// A query of a message-based resource ("*IDN?" above all) within what every VISA library does
// alike: an unformatted write and one read bounded by the caller's buffer.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "visa.h"

namespace trl4visa {

// Sends `command` (with its line end) and stores at most size - 1 bytes of the reply and a
// NUL in reply (size > 0). The rest of an over-long reply is cleared, so no later read finds
// it. Returns the first failed operation's status, or the read's.
inline ViStatus query(ViSession vi, std::string_view command, char *reply, size_t size) {
    reply[0] = '\0';
    ViUInt32 written = 0;
    ViStatus status = viWrite(vi, reinterpret_cast<ViConstBuf>(command.data()),
                              static_cast<ViUInt32>(command.size()), &written);
    if (status < 0) return status;
    ViUInt32 got = 0;
    status = viRead(vi, reinterpret_cast<ViBuf>(reply), static_cast<ViUInt32>(size - 1), &got);
    if (status < 0) return status;
    reply[got < size ? got : size - 1] = '\0';
    if (status == VI_SUCCESS_MAX_CNT) viClear(vi);
    return status;
}

inline ViStatus queryIdentity(ViSession vi, char *reply, size_t size) {
    return query(vi, "*IDN?\n", reply, size);
}

}  // namespace trl4visa
