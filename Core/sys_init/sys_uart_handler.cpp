// Serial receive handling: so far the event counter the status-event log records.
#include "sys_uart_handler.h"

volatile uint16_t __sys_uart_rx_counter = 0;
