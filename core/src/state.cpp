#include "trl4/app_state.h"

int ST, ABOUT, EXIT_POPUP, VP, MP, CHLP, CP, PP;
int MI;
int RES;

uint32_t generatorSession;
uint32_t carrierSession;
InstrumentEntry *currentInstrument;

int16_t exitRequested;
int16_t quitConfirmed;

uint16_t crateAddr, slotNum, mezNum;
int32_t mezTypes[4];

double *coeffRec;
double zeroU1, zeroU2;
double coeffWork[kCoeffCount];
uint32_t coeffRecSerial;
uint32_t coeffWorkSerial;

int32_t measKind;
uint32_t pointSerial;
double refFreq;
int32_t calibrMode;
double povNominal;
int32_t vpResult;

int logFile;
char logFileName[kLogFileNameSize] = "trl4.log";
// The protocol header is due until the first section is written.
int32_t logSection = -1;

char meterRsrc[kMeterRoles][kMeterTextSize];
char meterIdn[kMeterRoles][kMeterTextSize];
int meterMissing[kMeterRoles];

char carrierName[kInfoTextSize];
char mathLibraryVersion[kInfoTextSize];
char mathLibraryCrc[kInfoTextSize];
