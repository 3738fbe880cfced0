// Calibration of amplitude and frequency from the operator's readings, and the moves of the
// coefficients between the mezzanine's EEPROM, the driver's record and the working copy.
#pragma once

// The windows the readings must lie in, both ends included.
inline constexpr double kCalibrAmplitude = 10.0;
inline constexpr double kCalibrAmplitudeLow = 8.0;
inline constexpr double kCalibrAmplitudeHigh = 12.0;
inline constexpr double kCalibrFrequency = 1000.0;
inline constexpr double kCalibrFrequencyLow = 900.0;
inline constexpr double kCalibrFrequencyHigh = 1100.0;

inline constexpr const char *kCalibrInputError = "Не верно введены значения при калибровке";
inline constexpr const char *kForeignCoeffs =
    "Коэффициенты на экране не от открытого мезонина: запись в EEPROM отменена";

// New coefficients from the readings of VP.VAL_1 and VP.VAL_2 of a confirmed calibration
// point, computed from the driver's record into the working copy.
void CalcCalibrCoeffs(double meas1, double meas2);
