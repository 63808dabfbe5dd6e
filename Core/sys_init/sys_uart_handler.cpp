// Serial receive handling, in the receive DMA interrupts: the phone link's pairs go
// to the main loop's queue; console bytes are echoed and assembled into lines for
// the command interpreter, and scanned for the radio module's commands typed on the
// console ("AT+SHOW", "AT+TEST"), which are passed on to the module.
#include "sys_uart_handler.h"

#include <cstring>

#include "main.h"
#include "myQueue.h"
#include "sys_uart.h"
#include "sys_uart3_command.h"

uint8_t __uart3_rxd;
volatile uint16_t __sys_uart_rx_counter = 0;

namespace {

constexpr uint32_t kLineSize = SYS_UART3_COMMAND_LINE;
constexpr uint32_t kScanRing = 200;
constexpr uint32_t kScanWindow = 7;

uint8_t __uart3_rx_cmd_buf[kLineSize];
uint32_t __uart3_rx_cmd_buf_index = 0;
// The line so far is not a command: it has run past 255 characters or holds a byte
// no one types (binary noise, calendar bytes sent late). It is dropped up to the
// next line end, so that no tail of it runs as a command.
bool __uart3_rx_cmd_discard = false;

bool window_is(uint32_t start, const char *word) {
    for (uint32_t j = 0; j < kScanWindow; ++j)
        if (RxBuf[(start + j) % kScanRing] != word[j])
            return false;
    return true;
}

void scan_reset() {
    std::memset(RxBuf, 0, sizeof RxBuf);
    RxBufPos = 0;
}

// Every console byte goes through the scan as it arrives, so only the window that
// ends with it can be new.
void module_reply_scan(uint8_t byte) {
    RxBuf[RxBufPos % kScanRing] = static_cast<char>(byte);
    ++RxBufPos;
    if (RxBufPos < kScanWindow)
        return;
    const uint32_t start = RxBufPos - kScanWindow;
    if (window_is(start, "AT+SHOW")) {
        RF_Printf("AT+SHOW\r");
        scan_reset();
    } else if (window_is(start, "AT+TEST")) {
        RF_Printf("AT+DATA=1\r");
        scan_reset();
    }
}

void console_byte(uint8_t byte) {
    UART5_Printf("%c", byte);
    if (byte == '\r' || byte == '\n') {
        __uart3_rx_cmd_buf[__uart3_rx_cmd_buf_index] = 0;
        if (__uart3_rx_cmd_buf_index != 0 && !__uart3_rx_cmd_discard)
            sys_uart3_command_submit(__uart3_rx_cmd_buf);
        __uart3_rx_cmd_buf_index = 0;
        __uart3_rx_cmd_discard = false;
        return;
    }
    if (byte < 0x20 || byte > 0x7E || __uart3_rx_cmd_buf_index >= kLineSize - 1)
        __uart3_rx_cmd_discard = true;
    if (!__uart3_rx_cmd_discard)
        __uart3_rx_cmd_buf[__uart3_rx_cmd_buf_index++] = byte;
}

}  // namespace

void HAL_UART_RxCpltCallback(UART_HandleTypeDef *huart) {
    __sys_uart_rx_counter = static_cast<uint16_t>(__sys_uart_rx_counter + 1);
    if (huart->Instance == USART1) {
        uartTransQ.push(RxBufUart1);
        bTransferRFUartToDebugUart = true;
        return;
    }
    // The calendar's six-byte reception at the first power-up also completes on the
    // console port; only the console's own byte is console input.
    if (huart->Instance != USART3 || huart->pRxBuffPtr != &__uart3_rxd)
        return;
    const uint8_t byte = __uart3_rxd;
    console_byte(byte);
    module_reply_scan(byte);
}

void sys_uart_start_receive(void) {
    HAL_UART_Receive_DMA(&huart1, reinterpret_cast<uint8_t *>(RxBufUart1), 2);
    sys_uart_console_start();
}

void sys_uart_console_stop(void) {
    HAL_UART_AbortReceive(&huart3);
}

void sys_uart_console_start(void) {
    __uart3_rx_cmd_buf_index = 0;
    __uart3_rx_cmd_discard = false;
    HAL_UART_Receive_DMA(&huart3, &__uart3_rxd, 1);
}
