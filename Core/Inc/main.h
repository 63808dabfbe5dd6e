#pragma once
// The device image's pins and the globals of its main module that other modules use.
#include <cstdint>

#include "SensorDataStore.h"
#include "stm32l4xx_hal.h"

// Indicator LEDs, both active high.
#define LED_STATUS_Pin GPIO_PIN_10
#define LED_STATUS_GPIO_Port GPIOA
#define LED_HEARTBEAT_Pin GPIO_PIN_11
#define LED_HEARTBEAT_GPIO_Port GPIOA

// Ticks of 10 ms since the tick timer started: the application clock. Written only
// by the tick.
extern volatile uint32_t timer7_10ms_counter;
// Tick at which the next date-and-time record is due.
extern volatile uint32_t __dnt_write_time_check;
// Ring of motion samples: filled by the sensor tick, drained by the sensor-data log.
extern SENSORDATASTORE __sensordata_store;

// Moves the date-and-time record's due tick to the next tick whose count ends in
// 37, strictly after now (a new sensor-data block gets its heartbeat soon).
void set_sys_dnt_write(void);
