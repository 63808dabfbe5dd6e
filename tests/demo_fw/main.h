// Demo firmware: pins and handles shared by its modules.
#pragma once

#include "stm32l4xx_hal.h"

#define LED_STATUS_Pin GPIO_PIN_10
#define LED_STATUS_GPIO_Port GPIOA
#define LED_HEARTBEAT_Pin GPIO_PIN_11
#define LED_HEARTBEAT_GPIO_Port GPIOA
#define CONSOLE_TX_Pin GPIO_PIN_10
#define CONSOLE_RX_Pin GPIO_PIN_11
#define CONSOLE_GPIO_Port GPIOB

extern UART_HandleTypeDef huart3;
extern DMA_HandleTypeDef hdma_usart3_rx;
extern TIM_HandleTypeDef htim7;

// Ticks of 10 ms since the tick timer started; written only by the tick.
extern volatile uint32_t demo_ticks;

void demo_error(void);
