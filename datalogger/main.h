#pragma once
// The data-logging image's pins, peripheral handles and the globals of its main
// module that the other modules read. Each global is written by one context only
// (the tick, the thread or an interrupt) and is volatile where another one reads it.
#include <cstdint>

#include "stm32l4xx_hal.h"

// Indicator LEDs, both active high.
#define LED_STATUS_Pin GPIO_PIN_10
#define LED_STATUS_GPIO_Port GPIOA
#define LED_HEARTBEAT_Pin GPIO_PIN_11
#define LED_HEARTBEAT_GPIO_Port GPIOA
// Actuator drive: 1 and 2 rise first, 3 after the console's trigger frame.
#define TRIGGER_OUT1_Pin GPIO_PIN_9
#define TRIGGER_OUT1_GPIO_Port GPIOA
#define TRIGGER_OUT2_Pin GPIO_PIN_15
#define TRIGGER_OUT2_GPIO_Port GPIOB
#define TRIGGER_OUT3_Pin GPIO_PIN_8
#define TRIGGER_OUT3_GPIO_Port GPIOA
// Actuator sense inputs, no pull: both read low with the actuator connected.
#define ACT_DETECT1_Pin GPIO_PIN_4
#define ACT_DETECT1_GPIO_Port GPIOA
#define ACT_DETECT2_Pin GPIO_PIN_5
#define ACT_DETECT2_GPIO_Port GPIOA
// Service inputs with pull-up, low = asserted: read-back mode and snapshot erase.
#define READBACK_Pin GPIO_PIN_12
#define READBACK_GPIO_Port GPIOA
#define SNAPSHOT_ERASE_Pin GPIO_PIN_12
#define SNAPSHOT_ERASE_GPIO_Port GPIOB
// Radio module: power enable (high = on) and reset (low = in reset).
#define RF_MOD_RESET_Pin GPIO_PIN_4
#define RF_MOD_RESET_GPIO_Port GPIOB
#define RF_MOD_PWR_EN_Pin GPIO_PIN_5
#define RF_MOD_PWR_EN_GPIO_Port GPIOB
// Buzzer (TIM2 channel 1) and battery sense (ADC1 channel 6).
#define BUZZER_Pin GPIO_PIN_0
#define BUZZER_GPIO_Port GPIOA
#define BATT_SENSE_Pin GPIO_PIN_1
#define BATT_SENSE_GPIO_Port GPIOA

class MyQueue;

extern UART_HandleTypeDef huart1;  // phone link, through the radio module
extern UART_HandleTypeDef huart3;  // console
extern DMA_HandleTypeDef hdma_usart1_rx, hdma_usart1_tx, hdma_usart3_rx, hdma_usart3_tx;
extern I2C_HandleTypeDef hi2c1, hi2c2;
extern ADC_HandleTypeDef hadc1;
extern TIM_HandleTypeDef htim7;
extern RTC_HandleTypeDef hrtc;

// Ticks of 10 ms since the tick timer started: the application clock.
extern volatile uint32_t timer7_10ms_counter;

// Firing state: latched by the first firing, never cleared while running.
extern volatile bool g_bTriggerON;
// Tick at or after which the main loop saves the trigger snapshot again; 0 = none.
extern volatile uint32_t __write_last_trigger_data_time;
extern volatile uint8_t __last_trigger_type;
// One-shot: the next sample's stamp becomes 1234.
extern volatile uint8_t __trigger_type_for_seqNum;
// Check-tick counter of the post-firing pulse.
extern int32_t g_nTriggerONCount;

// Battery: mean of the last four conversions, and the two latched states.
extern volatile uint32_t g_battAdcVal;
extern volatile bool low_batt_status;
extern volatile bool stanby_batt_status;

// Messages sent to the phone (status and firing lines).
extern uint32_t BT_seqNum;
// Set by the main loop when the phone application's "~~" marker arrives.
extern volatile bool bt_Android_conn_2;

// Byte pairs from the phone-link port to the main loop.
extern MyQueue uartTransQ;

extern const char *VersionInfo;

// Plain value 0..99 to packed BCD and back.
uint8_t D2B(uint8_t v);
uint8_t B2D(uint8_t v);

// Ends sampling for good (the terminal modes): the tick's interrupt stops, and the
// flash work the tick left pending is finished first, so that no sample read is lost.
void Logger_StopSampling(void);
