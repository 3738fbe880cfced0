// Service routines of the main panel: the VXI carrier search test (the waveform test is in
// trl4/generator.h).
#pragma once

#include <cstdint>

// Collects heap copies (free() each) of the descriptors of VXI instruments in slots 0-12 whose
// model code (low 12 bits) is one of modelCodes, at most capacity - 1 of them. *found
// receives how many (set once the search has found anything). Returns a VISA status; on a
// failure part-way the descriptors collected so far stay in list and *found counts them.
int32_t FindVXIInstrs(const uint16_t *modelCodes, int codeCount, int capacity, char **list,
                      int *found);

// Callback of MP.COMMANDBUTTON ("test"): on commit, runs the carrier search for model code
// 0x10D and discards what it finds. Returns the search's status when negative, else 0.
int test2CB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
