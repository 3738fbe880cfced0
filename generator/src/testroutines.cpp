// The carrier search test: a VISA search over every VXI instrument resource.
#include "testroutines.h"

#include <cstdlib>
#include <cstring>

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
