#pragma once
// I2C1 (the motion sensor) and I2C2 (configured, no device used): 7-bit
// addressing, timing register 0x00506682, analog filter on, digital filter off.
#include "stm32l4xx_hal.h"

extern I2C_HandleTypeDef hi2c1;
extern I2C_HandleTypeDef hi2c2;

// Both buses; failures halt through sys_error_handler ("i2c", 1 init, 2 analog
// filter, 3 digital filter). Returns 0.
int sys_i2c_init(void);
int sys_i2c_init_x(I2C_HandleTypeDef *hi2c, I2C_TypeDef *instance);
// The same set-up without halting: 0, or the failing step (1 to 3). Setting a
// peripheral up again also lets go of a bus that a timed-out transfer left held.
int sys_i2c_setup(I2C_HandleTypeDef *hi2c, I2C_TypeDef *instance);
