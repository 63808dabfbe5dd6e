// Serial receive handling, in the receive DMA interrupts: the phone link's pairs go
// to the main loop's queue; console bytes are echoed and assembled into lines for
// the command interpreter; and the module-reply scan answers "AT+SHOW" and
// "AT+TEST" seen in its input.
#include "sys_uart_handler.h"

#include <cstring>

#include "main.h"
#include "myQueue.h"
#include "sys_uart.h"
#include "sys_uart3_command.h"

uint8_t __uart3_rxd;
volatile uint16_t __sys_uart_rx_counter = 0;

namespace {

constexpr uint32_t kLineSize = 256;
constexpr uint32_t kScanRing = 200;
constexpr uint32_t kScanWindow = 7;

uint8_t __uart3_rx_cmd_buf[kLineSize];
uint32_t __uart3_rx_cmd_buf_index = 0;

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

// Appends the scan's input to its ring, then looks at every window of 7 bytes from
// the newest back over the last 200 bytes. The input buffer is nothing a receive
// writes, so as it stands the scan never matches; what should feed it is open.
void module_reply_scan() {
    for (uint32_t i = 0; i < 8; ++i) {
        RxBuf[RxBufPos % kScanRing] = RxBufTrans[i];
        ++RxBufPos;
    }
    const uint32_t filled = RxBufPos < kScanRing ? RxBufPos : kScanRing;
    for (uint32_t back = 0; back + kScanWindow <= filled; ++back) {
        const uint32_t start = RxBufPos - back - kScanWindow;
        if (window_is(start, "AT+SHOW")) {
            RF_Printf("AT+SHOW\r");
            scan_reset();
            return;
        }
        if (window_is(start, "AT+TEST")) {
            RF_Printf("AT+DATA=1\r");
            scan_reset();
            return;
        }
    }
}

void console_byte(uint8_t byte) {
    UART5_Printf("%c", byte);
    if (__uart3_rx_cmd_buf_index >= kLineSize)
        __uart3_rx_cmd_buf_index = 0;  // an over-long line wraps onto its own beginning
    if (byte == '\r' || byte == '\n') {
        __uart3_rx_cmd_buf[__uart3_rx_cmd_buf_index] = 0;
        if (__uart3_rx_cmd_buf_index != 0)
            sys_uart3_command(__uart3_rx_cmd_buf);
        __uart3_rx_cmd_buf_index = 0;
    } else {
        __uart3_rx_cmd_buf[__uart3_rx_cmd_buf_index++] = byte;
    }
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
    console_byte(__uart3_rxd);
    // The circular reception keeps running, so the HAL refuses this; it is harmless.
    HAL_UART_Receive_DMA(&huart3, &__uart3_rxd, 1);
    module_reply_scan();
}

void sys_uart_start_receive(void) {
    HAL_UART_Receive_DMA(&huart1, reinterpret_cast<uint8_t *>(RxBufUart1), 2);
    HAL_UART_Receive_DMA(&huart3, &__uart3_rxd, 1);
}
