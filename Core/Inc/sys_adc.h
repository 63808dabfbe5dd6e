#pragma once
// ADC1: the battery sense input (PA1, channel 6), one software-started conversion
// at a time.
#include "stm32l4xx_hal.h"

extern ADC_HandleTypeDef hadc1;

// 0, or -1 when the ADC cannot be set up (the battery then reads what the first
// conversion leaves; start-up goes on).
int sys_adc_init(void);
