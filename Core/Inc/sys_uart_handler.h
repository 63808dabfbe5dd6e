#pragma once
// Serial receive handling: the event counter the status-event log records.
#include <cstdint>

// Receive-complete events on both serial ports since start-up (wraps at 65536).
extern volatile uint16_t __sys_uart_rx_counter;
