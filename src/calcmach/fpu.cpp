#include "fpu.h"

#include <cfenv>

#include "wide/errors.h"

namespace fpu {

void ClearFaults() noexcept {
    std::feclearexcept(FE_ALL_EXCEPT);
    asm volatile("" ::: "memory");
}

void CheckFaults() {
    asm volatile("" ::: "memory");
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    if (raised == 0) return;
    // Leave no stale flag behind for code that tests them without clearing.
    std::feclearexcept(FE_ALL_EXCEPT);
    if (raised & FE_INVALID) throw FloatInvalidError();
    if (raised & FE_DIVBYZERO) throw FloatZeroDivideError();
    throw FloatOverflowError();
}

}  // namespace fpu
