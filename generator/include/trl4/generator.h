// The generator: the session to one mezzanine of the chosen carrier, the two sequences that
// set up a measuring point, self-test and reset, and the waveform test.
#ifndef TRL4_GENERATOR_H
#define TRL4_GENERATOR_H

#include <cstdint>

#include "trl4/callbacks.h"

struct InstrumentEntry;

// Opens the carrier of the chosen entry (none: does nothing), fills MP.MEZ_NUM with the
// positions holding a generator and opens the session to the first one. Failures are shown
// in message boxes; the program then runs in demo mode.
void OpenInstrument(InstrumentEntry *entry);

// Fills types[0..3] with the type code of mezzanine positions 1-4 (0: empty). Returns 0, or
// the first negative driver status (later positions keep their previous codes).
int32_t QueryMezzanines(uint32_t carrier, int32_t types[4]);

// An amplitude point: both channels play a 1000 Hz sine of the given amplitude, VP is set up
// for two readings in volts and installed. Returns 0, or the failed call's negative status
// (shown on the status line; no pop-up, measKind unchanged).
int SetupUPoint(double amplitude);

// A frequency point: both channels play a sine of *frequency on the 10 V range and refFreq
// receives the frequency the generator really makes; VP is set up for one reading in hertz in
// calibration, two in verification, and installed. Returns as SetupUPoint does.
int SetupFPoint(const double *frequency);

// Callbacks: selMezonin (MP.MEZ_NUM, MP.MEZ_SELECT), selftestCB, resetCB and testCB are
// declared with the other callbacks in trl4/callbacks.h.

// Sizes of the waveform test's buffers: a whole form, and the part of it played.
inline constexpr uint32_t kTestFormSamples = 32768;
inline constexpr uint32_t kTestPlayedSamples = 16384;
inline constexpr int kTestSamplesPerPeriod = 128;

// Fills samples[0..count) with sin(2*pi*i/128), the waveform test's sine.
void MakeTestSine(double *samples, uint32_t count);

#endif
