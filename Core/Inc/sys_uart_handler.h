#pragma once
// Serial receive handling: phone-link byte pairs into the main loop's queue, console
// bytes echoed and assembled into command lines, and the scan for the radio
// module's commands typed on the console.
//
// A console line is what comes before CR or LF: at most 255 characters, each a
// printable one (0x20..0x7E). A longer line, or one with any other byte in it, is
// dropped whole (every byte is still echoed).
#include <cstdint>

// Console receive byte (the console's reception runs into it, one byte at a time).
extern uint8_t __uart3_rxd;
// Receive-complete events on both serial ports since start-up (wraps at 65536).
extern volatile uint16_t __sys_uart_rx_counter;

// Starts both receptions (circular): the phone link in byte pairs, the console
// byte by byte.
void sys_uart_start_receive(void);
// Stops the console's reception (a blocking reception can then poll the port), and
// starts it again with an empty line.
void sys_uart_console_stop(void);
void sys_uart_console_start(void);
