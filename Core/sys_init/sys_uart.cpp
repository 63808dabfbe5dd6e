// Serial ports: so far the console port's handle and its formatted output.
#include "sys_uart.h"

#include <cstdarg>
#include <cstdio>

UART_HandleTypeDef huart3;

int UART5_Printf(const char *fmt, ...) {
    char buf[145];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n > 0)
        HAL_UART_Transmit(&huart3, reinterpret_cast<uint8_t *>(buf),
                          static_cast<uint16_t>(n > 144 ? 144 : n), 1000);
    return n;
}
