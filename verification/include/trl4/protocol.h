// The verification protocol: the one writer of protocol text, to the protocol file and to
// the viewer CHLP.LOG; the file's choice, time stamp and headers.
#pragma once

#include <array>
#include <string>

#include "trl4/os.h"
#include "trl4/protocol_text.h"

// Formats one message and sends it to the protocol file (when one is open) and to the viewer.
void logMessage(const std::string &message);

template <class... Args>
void logPrintf(const char *format, const Args &...args) {
    const std::array<trl4::protocol::Arg, sizeof...(Args)> packed{trl4::protocol::toArg(args)...};
    logMessage(trl4::protocol::formatMessage(format, packed));
}

// The time-and-date line of local time now.
void logTimeStamp();

// Where the time stamp reads the local time; null restores the system clock.
void SetProtocolClock(bool (*clock)(trl4::os::LocalTime &now));

// Writes the protocol header if it is due, then the section header of `kind` (0 amplitude,
// 1 frequency), and makes it the current section.
void povBeginSection(int kind);

// The protocol header is due again when the mezzanine it named is no longer the chosen one.
void povCheckHeaderMezzanine();

// Applies a protocol file name as a commit of PP.FILE_NAME does: opens, reopens or closes.
void ApplyProtocolFileName(const char *name);

// Closes the protocol file at shutdown (a failed opening holds nothing to close).
void CloseProtocolFile();
