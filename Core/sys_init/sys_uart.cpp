// Serial ports: set-up, receptions, formatted output and the transmit backlog.
#include "sys_uart.h"

#include <cstdarg>
#include <cstdio>

#include "sys_error_handler.h"

UART_HandleTypeDef huart1;
UART_HandleTypeDef huart3;

char RxBufUart1[64];
char RxBufUart2[64];
volatile bool bTransferRFUartToDebugUart = false;
char RxBuf[256];
uint32_t RxBufPos = 0;
uint8_t BlockPoint[3];

namespace {

constexpr uint32_t kPrintTimeoutMs = 1000;
constexpr int kPrintMax = 144;

// A port is used by one context at a time, its owner. An interrupt that finds the
// port owned (by the context it interrupted, in the middle of a transmit) leaves its
// bytes here, and the owner sends them before it lets the port go, so nothing waits
// while the port is free. Indexes and owner change with interrupts masked for a few
// instructions, since several interrupt levels share a port.
struct Backlog {
    static constexpr uint32_t kSize = 1024;
    uint8_t buf[kSize];
    volatile uint32_t head;  // next byte to add
    volatile uint32_t tail;  // next byte to send
    volatile uint32_t dropped;
    volatile bool owned;
};

Backlog __sys_uart_backlog[2];

Backlog &backlog_of(const UART_HandleTypeDef *huart) {
    return __sys_uart_backlog[huart == &huart1 ? 0 : 1];
}

void append(Backlog &q, const uint8_t *data, uint16_t len) {
    for (uint16_t i = 0; i < len; ++i) {
        if (q.head - q.tail >= Backlog::kSize) {
            q.dropped = q.dropped + (len - i);
            return;
        }
        q.buf[q.head % Backlog::kSize] = data[i];
        q.head = q.head + 1;
    }
}

// Takes up to `max` waiting bytes; when none is left the owner lets the port go.
uint32_t take_or_release(Backlog &q, uint8_t *out, uint32_t max) {
    const uint32_t primask = __get_PRIMASK();
    __disable_irq();
    uint32_t n = 0;
    while (n < max && q.tail != q.head) {
        out[n++] = q.buf[q.tail % Backlog::kSize];
        q.tail = q.tail + 1;
    }
    if (n == 0)
        q.owned = false;
    __set_PRIMASK(primask);
    return n;
}

int vprint(UART_HandleTypeDef *huart, const char *fmt, va_list ap) {
    char buf[kPrintMax + 1];
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (n > 0)
        sys_uart_send(huart, reinterpret_cast<const uint8_t *>(buf),
                      static_cast<uint16_t>(n > kPrintMax ? kPrintMax : n), kPrintTimeoutMs);
    return n;
}

}  // namespace

int sys_uart_init_x(UART_HandleTypeDef *huart, USART_TypeDef *instance) {
    huart->Instance = instance;
    huart->Init.BaudRate = 115200;
    huart->Init.WordLength = UART_WORDLENGTH_8B;
    huart->Init.StopBits = UART_STOPBITS_1;
    huart->Init.Parity = UART_PARITY_NONE;
    huart->Init.Mode = UART_MODE_TX_RX;
    huart->Init.HwFlowCtl = UART_HWCONTROL_NONE;
    huart->Init.OverSampling = UART_OVERSAMPLING_8;
    huart->Init.OneBitSampling = UART_ONE_BIT_SAMPLE_DISABLE;
    huart->AdvancedInit.AdvFeatureInit = UART_ADVFEATURE_NO_INIT;
    if (HAL_UART_Init(huart) != HAL_OK) {
        sys_error_handler("uart", 1);
        return -1;
    }
    return 0;
}

int sys_uart_init(void) {
    if (sys_uart_init_x(&huart1, USART1) != 0)
        return -1;
    return sys_uart_init_x(&huart3, USART3);
}

void sys_uart_send(UART_HandleTypeDef *huart, const uint8_t *data, uint16_t len, uint32_t timeout) {
    Backlog &q = backlog_of(huart);
    const uint32_t primask = __get_PRIMASK();
    __disable_irq();
    const bool owned = q.owned;
    if (owned)
        append(q, data, len);
    else
        q.owned = true;
    __set_PRIMASK(primask);
    if (owned)
        return;
    HAL_UART_Transmit(huart, data, len, timeout);
    uint8_t chunk[32];
    for (uint32_t n; (n = take_or_release(q, chunk, sizeof chunk)) != 0;)
        HAL_UART_Transmit(huart, chunk, static_cast<uint16_t>(n), timeout);
}

void sys_uart_take_over(UART_HandleTypeDef *huart) {
    Backlog &q = backlog_of(huart);
    const uint32_t primask = __get_PRIMASK();
    __disable_irq();
    const bool owned = q.owned;
    q.owned = true;
    __set_PRIMASK(primask);
    if (owned)
        HAL_UART_AbortTransmit(huart);
    uint8_t chunk[32];
    for (uint32_t n; (n = take_or_release(q, chunk, sizeof chunk)) != 0;)
        HAL_UART_Transmit(huart, chunk, static_cast<uint16_t>(n), kPrintTimeoutMs);
}

uint32_t sys_uart_dropped(const UART_HandleTypeDef *huart) {
    return backlog_of(huart).dropped;
}

int RF_Printf(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = vprint(&huart1, fmt, ap);
    va_end(ap);
    return n;
}

int UART5_Printf(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = vprint(&huart3, fmt, ap);
    va_end(ap);
    return n;
}
