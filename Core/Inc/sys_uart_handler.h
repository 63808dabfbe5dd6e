#pragma once
// Serial receive handling: phone-link byte pairs into the main loop's queue, console
// bytes echoed and assembled into command lines, and the module-reply scan.
#include <cstdint>

// Console receive byte (the console's reception runs into it, one byte at a time).
extern uint8_t __uart3_rxd;
// Receive-complete events on both serial ports since start-up (wraps at 65536).
extern volatile uint16_t __sys_uart_rx_counter;

// Starts both receptions (circular): the phone link in byte pairs, the console
// byte by byte.
void sys_uart_start_receive(void);
