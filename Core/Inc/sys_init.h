#pragma once
// Board bring-up and the start-up self-tests.
#include <cstdint>

// Retry counter printed (then incremented) by every self-test failure loop.
extern volatile uint32_t tempCount;

// Brings the board up in its fixed order, runs the self-tests of the external
// flash, the motion sensor and the actuator wiring (a failure never returns: an LED
// pattern and a numbered message forever), opens the logs, starts both serial
// receptions and the tick, powers the radio module up and lists the stored trigger
// data and the power-cycle history. Returns 0.
int sys_init(void);
