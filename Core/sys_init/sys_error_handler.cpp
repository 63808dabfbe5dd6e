// The fatal path of the board's initialisation code.
#include "sys_error_handler.h"

#include "sys_uart.h"

void sys_error_handler(const char *module, int step) {
    UART5_Printf("System failure in %s-%d.\r\n", module, step);
    __disable_irq();
    for (;;) __WFI();
}
