#include <cmath>

#include "trl4/app_state.h"
#include "trl4/meters.h"
#include "trl4/protocol.h"
#include "trl4/protocol_record.h"
#include "trl4/verification.h"

double povAmpTolerance(double U) {
    return 0.004 * (10.0 / U - 1.0) + 0.02 + 0.0005 / U;
}

double povFreqTolerance(double F) {
    if (F < 2.0) return 0.1;
    if (F < 20000.0) return 0.08;
    return 0.15;
}

void povRecordPoint(double m1, double m2) {
    povCheckHeaderMezzanine();
    if (logSection != measKind) povBeginSection(measKind);
    const double X = povNominal;
    const double T = measKind == 0 ? povAmpTolerance(X) : povFreqTolerance(X);
    // A deviation exactly at the tolerance passes; one that is not a number does not.
    const auto verdict = [&](double v) {
        return T >= std::fabs(X - v) / X * 100 ? kVerdictPass : kVerdictFail;
    };
    logPrintf(
        "%-13.6lg               %lg%%\n%-13.6lg %-13.6lg %-13.6lg %s     %-13.6lg %-13.6lg "
        "%-13.6lg %s\n",
        X, T, m1, X - m1, (X - m1) / X * 100, verdict(m1), m2, X - m2, (X - m2) / X * 100,
        verdict(m2));
    WriteProtocolRecord(measKind, X, T,
                        {RecordedReading{m1, verdict(m1), ReadingSource(1)},
                         RecordedReading{m2, verdict(m2), ReadingSource(2)}});
}
