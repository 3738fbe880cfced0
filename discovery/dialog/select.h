// The instrument-selection dialog: a small panel built in code on first use, listing the
// carriers of Instruments for the operator to pick one.
#ifndef TRL4_SELECT_H
#define TRL4_SELECT_H

#include <cstdint>

#include "si.h"
#include "userint.h"

// Shows the dialog with the given title and waits until it is closed. Returns the chosen
// entry of Instruments, or null (cancelled, closed, or nothing to choose from: then the
// dialog is not shown at all).
InstrumentEntry *SelectInstrument(const char *title);

// Builds the dialog as a top-level panel with the given title; returns its panel handle.
int BuildSI(const char *title);

// Refills the list from Instruments; returns the number of lines.
int32_t SetListInstrs();

// Takes the highlighted line as the selection: 0, or -1 when the list is empty or its value
// cannot be read.
int SetCurInstr();

int siOkCB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int siCancelCB(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
int siListCB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// The list line of an entry: its description with every line feed shown as two blanks.
// Reads no further than the description field. The text lives until the next call.
const char *SIListLine(const InstrumentEntry &entry);

// The dialog's panel (0 until built) and the entry last chosen.
int SelectDialogPanel();
InstrumentEntry *SelectedInstrument();

#endif
