// A HAL call on a handle that was never set up. The vendor's functions reach the
// peripheral through the handle's Instance pointer; a null one is a write or read
// near address 0, which faults on the chip (the firmware then spins in its fault
// handler). The simulator's functions look where the vendor's would first touch
// the peripheral, so that a call the vendor answers from the handle's state alone
// (HAL_BUSY from a transmit on a port never initialised) still answers the same.
#pragma once

#include <string>

#include "sim/board.h"

namespace sim {

[[noreturn]] inline void null_instance_fault(const char *function) {
    board().fault(std::string(function) +
                  " on a handle that was never initialised (its Instance is null): the vendor's "
                  "code reaches the peripheral through it");
}

template <typename Handle>
inline void require_instance(const Handle *h, const char *function) {
    if (h == nullptr || h->Instance == nullptr)
        null_instance_fault(function);
}

}  // namespace sim
