#pragma once
// Serial ports: the console port's handle and its formatted output.
#include "stm32l4xx_hal.h"

extern UART_HandleTypeDef huart3;  // console port (USART3)

// printf-style, blocking, at most 144 characters per call (the rest is cut); returns
// the formatted length. A transmit refused because the port is busy in another
// context is lost.
int UART5_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
