// The math library as the driver uses it: loaded at run time by its platform file name, the
// way the real driver finds it, so that a missing or foreign file is the driver's own failure.
#pragma once

#include <cstdint>

#include "ksptrl4_math.h"

namespace trl4drv {

class MathLibrary {
  public:
    // Loads the library found beside this driver (or, failing that, on the loader's search
    // path); TRL4_MATH_LIBRARY names another file instead.
    MathLibrary();
    ~MathLibrary();
    MathLibrary(const MathLibrary &) = delete;
    MathLibrary &operator=(const MathLibrary &) = delete;

    bool loaded() const { return toCodes_ != nullptr && toCodes2_ != nullptr; }

    decltype(&ksptrl4Math_double2cod24) toCodes_ = nullptr;
    decltype(&ksptrl4Math_double2cod24_2chans) toCodes2_ = nullptr;

  private:
    void *handle_ = nullptr;
};

}  // namespace trl4drv
