#pragma once
// TIM7, the 10 ms tick: 1 MHz count, update every 10 000 counts.
#include "stm32l4xx_hal.h"

extern TIM_HandleTypeDef htim7;

// 0, or -1 / -2 after the error handler's report ("timer", 1 base init, 2 master
// configuration).
int sys_timer_init(void);
// Stops the tick for good (service, standby and erase paths). TIM6 is never set up
// or started, so there is nothing of it to stop: stopping it through its handle,
// which was never initialised, would write through a null register pointer.
void sys_timer_stop_tick(void);
