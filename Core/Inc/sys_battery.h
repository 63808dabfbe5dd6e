#pragma once
// Battery supervision: the mean of the last four ADC readings (12-bit counts) of the
// battery sense input, the low-battery and standby-pending states, and standby.
//
// Mean below 2080: standby pending (also low battery), standby after 51 further
// evaluations; 2081..2219: low-battery band (low after 11 evaluations in a row);
// 2080 and 2220 up: normal.
#include <cstdint>

// Written by the tick's battery evaluation, read by the logs and the trigger save.
extern volatile uint32_t g_battAdcVal;

// First reading (polled, at least 2080) into all four slots; returns 0.
int sys_battery_init(void);
// Starts the next conversion and returns the new mean of the four stored readings.
uint32_t sys_battery_check(void);
// g_battAdcVal x 100 / 2300, not clamped (a full battery reads above 100).
uint32_t sys_battery_get_percent(void);
// Every tick: the evaluation, when its due tick has come (every 10 s from 10.61 s).
void battery_check(void);
