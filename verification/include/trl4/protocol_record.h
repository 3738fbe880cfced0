// The machine-readable record kept beside the protocol file.
#pragma once

#include <array>
#include <string>

// Opens "<protocolName>.csv" for appending (the header row first when it is new); a failure
// is told on the status line and the protocol goes on without it.
void OpenProtocolRecord(const char *protocolName);
// False when its last data did not reach the system.
bool CloseProtocolRecord();

struct RecordedReading {
    double value;
    const char *verdict;
    std::string readBy;  // "typed" or the meter's identity
};
// Which point of a full procedure is pending: its number in the procedure's list, from 1;
// 0 while no full procedure runs (a single point). The record names it, so that the points
// of one full verification can be told from a single check at the same value.
void SetFullProcedurePoint(int point);

// One row for a recorded point; nothing while no record is open.
void WriteProtocolRecord(int kind, double nominal, double tolerance,
                         const std::array<RecordedReading, 2> &readings);
