// The "*IDN?" exchange of a message-based resource, within what every VISA library does alike:
// an unformatted write and one read bounded by the caller's buffer.
#pragma once

#include <cstddef>
#include <cstring>

#include "visa.h"

namespace trl4visa {

// Asks for the identity and stores at most size - 1 bytes of the reply and a NUL in reply
// (size > 0). The rest of an over-long reply is cleared, so no later read finds it. Returns
// the first failed operation's status, or the read's.
inline ViStatus queryIdentity(ViSession vi, char *reply, size_t size) {
    static constexpr char kQuery[] = "*IDN?\n";
    reply[0] = '\0';
    ViUInt32 written = 0;
    ViStatus status =
        viWrite(vi, reinterpret_cast<ViConstBuf>(kQuery), sizeof kQuery - 1, &written);
    if (status < 0) return status;
    ViUInt32 got = 0;
    status = viRead(vi, reinterpret_cast<ViBuf>(reply), static_cast<ViUInt32>(size - 1), &got);
    if (status < 0) return status;
    reply[got < size ? got : size - 1] = '\0';
    if (status == VI_SUCCESS_MAX_CNT) viClear(vi);
    return status;
}

}  // namespace trl4visa
