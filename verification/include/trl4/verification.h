// Verification: tolerances, the judgement of one point and its record in the protocol.
#pragma once

// Tolerance in percent of a nominal amplitude (volts) or frequency (hertz).
double povAmpTolerance(double U);
double povFreqTolerance(double F);

// Judges the readings of both channels against povNominal and writes the point record.
void povRecordPoint(double m1, double m2);

// Shows a reading field of the measured-value pop-up in red while it holds a value beyond the
// field's limits: the value stays as typed or read, and the operator sees it before "Ввести".
void MarkReadingBeyondLimits(int control);

// Called when both full verifications of the open mezzanine have been recorded whole in this
// session (each kind's last one since the mezzanine was chosen); null calls nothing.
void SetFullVerificationsHandler(void (*handler)());

// The verdict texts, eight characters each.
inline constexpr const char *kVerdictPass = "норма   ";
inline constexpr const char *kVerdictFail = "НЕ НОРМА";
