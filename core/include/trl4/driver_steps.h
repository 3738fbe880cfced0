// Driver calls made one after another, each status through the status line: the shape of
// every driver sequence of the program.
#pragma once

#include <cstdint>

#include "trl4/status_line.h"

namespace trl4 {

// Makes each call in order and passes its status to CheckDrvStatus; the first negative
// result ends the run and is returned, else 0 (warnings are shown and let the run go on).
template <typename... Calls>
int32_t runInOrder(Calls... calls) {
    int32_t result = 0;
    static_cast<void>((((result = CheckDrvStatus(calls())) >= 0) && ...));
    return result < 0 ? result : 0;
}

}  // namespace trl4
