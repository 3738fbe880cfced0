// The test routines: the waveform test and the carrier search test.
#include "trl4/testroutines.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>

#include "ksptrl4_32.h"
#include "trl4/app_state.h"
#include "trl4/driver_steps.h"
#include "trl4/generator.h"
#include "userint.h"
#include "visa.h"

namespace {

constexpr uint16_t kTestModelCode = 0x10D;
constexpr int kTestCapacity = 256;

}  // namespace

int32_t FindVXIInstrs(const uint16_t *modelCodes, int codeCount, int capacity, char **list,
                      int *found) {
    if (list == nullptr || found == nullptr || (modelCodes == nullptr && codeCount > 0)) {
        return VI_ERROR_USER_BUF;
    }
    char buffer[VI_FIND_BUFLEN] = {};
    ViSession rm = VI_NULL;
    ViSession instr = VI_NULL;
    ViFindList search = VI_NULL;
    ViUInt32 count = 0;
    ViStatus status = viOpenDefaultRM(&rm);
    if (status < 0) return status;
    status = viFindRsrc(rm, "?*VXI[0-9]*::?*INSTR", &search, &count, buffer);
    if (status >= 0) *found = 0;
    for (ViUInt32 i = 0; status >= 0 && i < count; ++i) {
        status = viOpen(rm, buffer, VI_NO_LOCK, 0, &instr);
        if (status < 0) break;
        ViInt16 slot = -1;
        ViUInt16 model = 0;
        // An unknown (negative) slot counts as unreadable.
        bool wanted = viGetAttribute(instr, VI_ATTR_SLOT, &slot) == VI_SUCCESS && slot >= 0 &&
                      slot < 13 && viGetAttribute(instr, VI_ATTR_MODEL_CODE, &model) == VI_SUCCESS;
        if (wanted) {
            const uint16_t code = static_cast<uint16_t>(model & 0x0FFF);
            wanted = false;
            for (int c = 0; c < codeCount && !wanted; ++c)
                wanted = modelCodes[c] == code;
        }
        if (wanted) {
            // The last place of the list stays free: at most capacity - 1 are collected.
            if (*found + 1 >= capacity) break;
            const size_t size = std::strlen(buffer) + 1;
            char *copy = static_cast<char *>(std::malloc(size));
            if (copy == nullptr) {
                status = VI_ERROR_ALLOC;
                break;
            }
            std::memcpy(copy, buffer, size);
            list[(*found)++] = copy;
        }
        viClose(instr);
        instr = VI_NULL;
        if (i + 1 < count) status = viFindNext(search, buffer);
    }
    if (instr != VI_NULL) viClose(instr);
    if (search != VI_NULL) viClose(search);
    viClose(rm);
    return status;
}

int test2CB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    char *list[kTestCapacity] = {};
    int found = 0;
    const int32_t status = FindVXIInstrs(&kTestModelCode, 1, kTestCapacity, list, &found);
    for (int i = 0; i < found; ++i)
        std::free(list[i]);
    return status < 0 ? status : 0;
}

void MakeTestSine(double *samples, uint32_t count) {
    // The phase is taken within one period, so every period holds the very same samples.
    const double step = 2.0 * std::numbers::pi / kTestSamplesPerPeriod;
    for (uint32_t i = 0; i < count; ++i)
        samples[i] = std::sin(step * static_cast<double>(i % kTestSamplesPerPeriod));
}

int testCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || generatorSession == 0) return 0;
    std::unique_ptr<double[]> sine(new (std::nothrow) double[kTestFormSamples]);
    std::unique_ptr<double[]> zeros(new (std::nothrow) double[kTestFormSamples]());
    if (!sine || !zeros) return 0;
    MakeTestSine(sine.get(), kTestFormSamples);
    const uint32_t s = generatorSession;
    const int32_t status = trl4::runInOrder(
        [&] { return ksptrl4_setSourceMode(s, 1, 5); },
        [&] { return ksptrl4_setSourceMode(s, 2, 1); },
        [&] { return ksptrl4_setRange(s, 2, 10.0); },
        [&] { return ksptrl4_setSineFreq(s, 2, 300.0); },
        [&] { return ksptrl4_setRepetParams(s, 2, 8, 50.0); },
        [&] { return ksptrl4_setAmpScale(s, 0, 1.0); },
        [&] { return ksptrl4_setRampRate(s, 0, 0.0); },
        [&] { return ksptrl4_setSampleRate(s, 22000.0, 0); },
        [&] { return ksptrl4_config_segment(s, 0, 0, kTestFormSamples); },
        [&] { return ksptrl4_write_form(s, 1, kTestFormSamples, zeros.get(), 0); },
        [&] { return ksptrl4_config(s, 0, 0); }, [&] { return ksptrl4_reset_form(s, 0); },
        [&] { return ksptrl4_write_form(s, 1, kTestPlayedSamples, sine.get(), 1); },
        [&] { return ksptrl4_config(s, 0, 0); }, [&] { return ksptrl4_start(s); });
    if (status < 0) return 0;
    // Once started, the output is stopped on every way out.
    if (CheckDrvStatus(ksptrl4_config(s, 0, 0)) >= 0) Delay(2.0);
    CheckDrvStatus(ksptrl4_stop(s));
    return 0;
}
