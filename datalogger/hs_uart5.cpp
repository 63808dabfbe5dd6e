// The serial ports: formatted output, the marker frames, the phone lines and the
// receive handler.
#include "hs_uart5.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "myQueue.h"

UART_HandleTypeDef huart1;
UART_HandleTypeDef huart3;

char RxBufTrans[128] = "12\r\n";
char RxBuf[256];
volatile uint32_t RxBufPos = 0;
char RxBufUart1[64];
char RxBufUart2[64];
volatile bool bTransferRFUartToDebugUart = false;
// Set once the console's command reception runs; the calendar's and the read-back's
// receptions complete on the same port and must not re-arm it.
volatile bool __uart_console_commands = false;

namespace {

constexpr uint32_t kTransmitTimeoutMs = 1000;
constexpr uint32_t kForwardTimeoutMs = 100;
constexpr uint32_t kScanPositions = 200;  // RxBuf positions the command scan uses
constexpr uint32_t kChunk = 8;            // console bytes appended per reception

int vprint(UART_HandleTypeDef *port, const char *fmt, va_list ap) {
    char buf[PRINT_BUFFER_SIZE];
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (n > 0) {
        // vsnprintf stored at most 127 characters and the terminator: send those.
        const uint16_t len = static_cast<uint16_t>(
            static_cast<uint32_t>(n) < sizeof buf ? static_cast<uint32_t>(n) : sizeof buf - 1);
        HAL_UART_Transmit(port, reinterpret_cast<uint8_t *>(buf), len, kTransmitTimeoutMs);
    }
    return n;
}

void send_frame(const PACKETDATA &f) {
    HAL_UART_Transmit(&huart3, reinterpret_cast<uint8_t *>(const_cast<PACKETDATA *>(&f)), sizeof f,
                      kTransmitTimeoutMs);
}

// The two code characters of a trigger type, by its low four bits.
void trigger_code(uint8_t type, char &first, char &second) {
    static const char codes[11][2] = {{'N', 'D'}, {'X', 'X'}, {'X', 'O'}, {'O', 'X'},
                                      {'O', 'O'}, {'T', 'F'}, {'T', 'L'}, {'C', 'F'},
                                      {'L', 'C'}, {'-', '-'}, {'V', 'V'}};
    const uint8_t k = type & 0x0F;
    const char *c = k <= 10 ? codes[k] : codes[0];
    first = c[0];
    second = c[1];
}

bool window_is(uint32_t end, const char *cmd) {
    for (uint32_t i = 0; i < 7; ++i)
        if (RxBuf[end - 7 + i] != cmd[i])
            return false;
    return true;
}

// The console's command scan: the newest 8 bytes of RxBufTrans join RxBuf, and
// "AT+SHOW" or "AT+TEST" anywhere in it is passed to the radio module. The scan only
// looks inside the 200 positions it uses: a buffer that would grow past them starts
// again with its newest 7 bytes, so no window reads a position that wrapped and a
// command cut by the restart is still found. A window may end at position 7: a
// command that is the first thing typed counts too.
void console_scan(void) {
    constexpr uint32_t kKeep = 7;
    if (RxBufPos + kChunk > kScanPositions) {
        char tail[kKeep];
        std::memcpy(tail, RxBuf + RxBufPos - kKeep, kKeep);
        std::memset(RxBuf, 0, sizeof RxBuf);
        std::memcpy(RxBuf, tail, kKeep);
        RxBufPos = kKeep;
    }
    for (uint32_t i = 0; i < kChunk; ++i) {
        RxBuf[RxBufPos] = RxBufTrans[i];
        RxBufPos = RxBufPos + 1;
    }
    for (uint32_t p = RxBufPos; p >= kKeep; --p) {
        const char *reply = window_is(p, "AT+SHOW")   ? "AT+SHOW\r"
                            : window_is(p, "AT+TEST") ? "AT+DATA=1\r"
                                                      : nullptr;
        if (reply) {
            RF_Printf("%s", reply);
            std::memset(RxBuf, 0, sizeof RxBuf);
            RxBufPos = 0;
            return;
        }
    }
}

}  // namespace

int UART5_Printf(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = vprint(&huart3, fmt, ap);
    va_end(ap);
    return n;
}

int RF_Printf(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = vprint(&huart1, fmt, ap);
    va_end(ap);
    return n;
}

void UART5_SendStartFrame(void) {
    const PACKETDATA f = {'<', 'r', 's', 't', '-', 'w', '2', '.', '8', '<', 0x0D, 0x0A};
    send_frame(f);
}

PACKETDATA UART5_TriggerFrame(uint8_t type) {
    PACKETDATA f = {'<', 't', 'r', 0, '_', 'j', '-', 's', '-', '<', 0x0D, 0x0A};
    char first = 0, second = 0;
    trigger_code(type, first, second);
    f.n2 = static_cast<uint8_t>(type + '0');
    f.n5 = first;
    f.reserved = second;
    return f;
}

void UART5_SendTriggerFrame(uint8_t type) {
    send_frame(UART5_TriggerFrame(type));
}

void RF_SendStatus(bool firing) {
    const int percent = static_cast<int>(g_battAdcVal * 100u / 2300u);
    const int seq = static_cast<int>(BT_seqNum);
    BT_seqNum = BT_seqNum + 1;
    if (firing)
        RF_Printf("Q=2;1;%d,%02d,%03d,\n", g_bTriggerON ? 1 : 0, percent, seq);
    else
        RF_Printf("Q=0;1;%d,%02d,%03d,\n", g_bTriggerON ? 1 : 0, percent, seq);
}

bool RF_ModuleAnswers(void) {
    constexpr uint32_t kAnswerMs = 1000;
    RF_Printf("AT\r");
    const uint32_t start = HAL_GetTick();
    uint8_t previous = 0;
    while (HAL_GetTick() - start < kAnswerMs) {
        uint8_t b = 0;
        if (HAL_UART_Receive(&huart1, &b, 1, 10) != HAL_OK)
            continue;
        if (previous == 'O' && b == 'K') {
            // The rest of the answer's line.
            while (b != '\n' && HAL_UART_Receive(&huart1, &b, 1, 2) == HAL_OK) {
            }
            return true;
        }
        previous = b;
    }
    return false;
}

void UART_ForwardPhoneBytes(void) {
    if (!bTransferRFUartToDebugUart)
        return;
    const int n = uartTransQ.size();
    for (int i = 0; i < n; ++i) {
        if (huart1.gState != HAL_UART_STATE_READY)
            continue;
        uartTransQ.pop(RxBufUart2);
        HAL_UART_Transmit(&huart3, reinterpret_cast<uint8_t *>(RxBufUart2), 2, kForwardTimeoutMs);
        if (RxBufUart2[0] == '~' && RxBufUart2[1] == '~') {
            bt_Android_conn_2 = true;
            UART5_Printf("\r\n[Android APP]!\r\n");
        }
    }
}

void UART_StartReceptions(void) {
    HAL_UART_Receive_DMA(&huart1, reinterpret_cast<uint8_t *>(RxBufUart1), 2);
    __uart_console_commands = true;
    HAL_UART_Receive_DMA(&huart3, reinterpret_cast<uint8_t *>(RxBufTrans), kChunk);
}

void UART_StopConsoleReception(void) {
    __uart_console_commands = false;
    HAL_UART_AbortReceive(&huart3);
}

void HAL_UART_RxCpltCallback(UART_HandleTypeDef *huart) {
    if (huart->Instance == USART1) {
        // Circular: the channel refills RxBufUart1 by itself.
        uartTransQ.push(RxBufUart1);
        bTransferRFUartToDebugUart = true;
    } else if (huart->Instance == USART3 && __uart_console_commands) {
        console_scan();
        HAL_UART_Receive_DMA(&huart3, reinterpret_cast<uint8_t *>(RxBufTrans), kChunk);
    }
}
