#pragma once
// The clock tree: 48 MHz from the 8 MHz crystal, the 32.768 kHz crystal for the RTC,
// the ADC clock from the second PLL.
#include <cstdint>

// HCLK in kHz (48000), set by sys_clock_init.
extern uint32_t g_HCLK;

// Failures halt through sys_error_handler ("clock", 1 to 4); returns 0.
int sys_clock_init(void);
