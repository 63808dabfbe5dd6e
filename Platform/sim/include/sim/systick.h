// The core's system timer: counts the core clock down from LOAD and, each time it
// wraps, sets COUNTFLAG and (with TICKINT) pends the SysTick exception.
#pragma once

#include "sim/board.h"

namespace sim {

// Re-reads the SysTick registers after the firmware changed them and reschedules.
void systick_sync(Board &b);
void install_systick(Board &b);

}  // namespace sim
