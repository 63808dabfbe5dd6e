#pragma once
// Battery measurement: the mean of the last four ADC readings (12-bit counts).
#include <cstdint>

// Written by the tick's battery evaluation, read by the logs and the trigger save.
extern volatile uint32_t g_battAdcVal;

// g_battAdcVal x 100 / 2300, not clamped (a full battery reads above 100).
uint32_t sys_battery_get_percent(void);
