// Reading the outside meters assigned to the pending point over VISA, and what each reading
// of the measured-value pop-up came from.
#pragma once

#include <string>

// One reading for the pending point: channel 1 or 2 of measKind, from its assigned meter,
// converted to what VP holds (a sine's amplitude from the RMS reading; hertz as read).
struct MeterReadingResult {
    bool ok = false;
    double value = 0;
    std::string failure;  // operator text when not ok
};
MeterReadingResult ReadAssignedMeter(int kind, int channel);

// Reads every assigned meter of the pending point into the pop-up's fields: all of them or,
// with the reason on the status line, none. A reading beyond a field's limits is a reading:
// the procedure judges it. everyShownField: each field the pop-up shows needs its meter (an
// unattended point). Returns the reason when nothing was filled, else empty. A success clears
// the status line only of the meters' own earlier failure.
std::string FillReadingsFromMeters(bool everyShownField);

// Which of the readings of `kind` for channels 1 to `channels` have no meter assigned, as the
// operator's message; empty when each has one.
std::string UnassignedMeters(int kind, int channels);

// How the reading of channel 1 or 2 now in VP came to be: the meter's identity when it still
// holds what the meter gave, else "typed".
std::string ReadingSource(int channel);

// The pop-up is shown for a new point: earlier readings no longer count.
void ForgetMeterReadings();

// The identity a meter resource gives to "*IDN?", its line end taken off; empty when it does
// not answer.
std::string QueryMeterIdentity(const char *resource);

// Reads the per-user assignment of the meters; a file that cannot be read or is not an
// assignment assigns nothing and is named on the status line.
void LoadMeterSettings();

// Asks each assigned meter who it is; one that does not answer is marked missing and named
// on the status line. Nothing assigned: nothing is asked.
void CheckMeterSettings();

// Writes the assignment to the per-user settings file at once; false, with the reason on the
// status line, when it could not.
bool SaveMeterSettings();
