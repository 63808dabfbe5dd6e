#pragma once
// Serial ports: the phone-link port (USART1, to the radio module) and the console
// port (USART3), 115200 8N1, both receiving by circular DMA and transmitting with
// blocking calls; their formatted output and their receive buffers.
#include <cstdint>

#include "stm32l4xx_hal.h"

extern UART_HandleTypeDef huart1;  // phone-link port (USART1)
extern UART_HandleTypeDef huart3;  // console port (USART3)

// Phone-link receive buffer (each received pair lands in bytes 0 and 1) and the
// main loop's forwarding buffer.
extern char RxBufUart1[64];
extern char RxBufUart2[64];
// Set once the first phone-link pair has been queued; tells the main loop to forward.
extern volatile bool bTransferRFUartToDebugUart;
// The scan for the radio module's commands: the console bytes' ring and count.
extern char RxBuf[256];
extern uint32_t RxBufPos;
// Dump request bytes (first block, last block).
extern uint8_t BlockPoint[3];

// Sets both ports up (phone link first): 0, or -1 after the error handler's
// report when a port cannot be initialised.
int sys_uart_init(void);
int sys_uart_init_x(UART_HandleTypeDef *huart, USART_TypeDef *instance);

// printf-style, blocking, at most 144 characters per call (the rest is cut); each
// returns the formatted length. RF_Printf writes to the phone link, UART5_Printf to
// the console.
int RF_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int UART5_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Sends bytes on a port, blocking. The ports are shared by the main loop and the
// interrupts without waiting on each other: when an interrupt finds the port in the
// middle of a transmit of the context it interrupted, its bytes wait in a backlog
// and that context sends them, in order, as soon as its own transmit is done,
// instead of being lost. Bytes that find the backlog (1 KB) full are dropped and
// counted.
void sys_uart_send(UART_HandleTypeDef *huart, const uint8_t *data, uint16_t len, uint32_t timeout);
// For a path that never returns to the context it interrupted (standby, service
// loops): ends the interrupted context's transmit where it is and sends what waits,
// so that this context's own messages go out at once.
void sys_uart_take_over(UART_HandleTypeDef *huart);
// Bytes dropped because a backlog was full, since start-up.
uint32_t sys_uart_dropped(const UART_HandleTypeDef *huart);
