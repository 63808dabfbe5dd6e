#pragma once
// Firing the actuator, the post-firing indicator, and the manual input's erase.
#include <cstdint>

// TRIGGER_OUT3 rises this long after TRIGGER_OUT1 and 2: the time the console
// marker takes on the line (18 bytes at 115200 baud, 1.5625 ms) with a margin.
constexpr uint32_t TRIGGER_OUT3_DELAY_US = 1600;
// Check ticks (20 ms each) the manual input must stay low before it acts: 1 s.
constexpr uint32_t MANUAL_SHOOT_HOLD_CHECKS = 50;

// Fires for a fall type (tick, sensor tick): trigger outputs 1 and 2, the console
// marker, output 3, the trigger snapshot in internal flash, the firing record in
// the power-cycle log, the latch and the phone firing line.
void trigger_action(uint8_t type);
// Every check tick after a firing: the status LED lit one check tick in five;
// "g_bTriggerON = true -----------" on the first 12 cycles.
void trigger_on_check(void);
// Every check tick: the manual input held low for 1 s stops the tick, erases the
// stored trigger data (the device identity is kept) and blinks the status LED
// until reset; it does not return then.
void manual_shoot_check(void);
