// The radio module and the phone link's status reporting.
#include "sys_bluetooth.h"

#include <cstring>

#include "main.h"
#include "myQueue.h"
#include "sys_battery.h"
#include "sys_init.h"
#include "sys_uart.h"

namespace {

constexpr uint32_t kStatusTicks = 500;            // 5 s
constexpr uint32_t kStatusTicksConnected = 6000;  // 60 s
constexpr int kConnectedAfter = 5;                // status lines after the "~~" marker
constexpr uint32_t kAnswerMs = 1000;

int bt_Android_conn_2_count = 0;
bool bt_Android_connected = false;

// Whether the module's "OK" has gone by since the self-test asked, and the byte
// before the newest one forwarded: two letters may fall into two pairs, since a
// message of odd length (the module's answer to "AT+SHOW" typed on the console)
// shifts every later pair by one byte.
bool __sys_bluetooth_ok = false;
char __sys_bluetooth_last = 0;

// True when the phone application's "~~" has just gone by, within a pair or across
// two; "~~~~" counts twice, as two pairs would.
bool note_seen(const char *pair) {
    bool marker = false;
    for (int i = 0; i < 2; ++i) {
        if (__sys_bluetooth_last == 'O' && pair[i] == 'K')
            __sys_bluetooth_ok = true;
        if (__sys_bluetooth_last == '~' && pair[i] == '~') {
            marker = true;
            __sys_bluetooth_last = 0;
            continue;
        }
        __sys_bluetooth_last = pair[i];
    }
    return marker;
}

int pin(GPIO_TypeDef *port, uint16_t p) {
    return HAL_GPIO_ReadPin(port, p) == GPIO_PIN_SET ? 1 : 0;
}

// The pins read back high whatever is connected, unless a line is shorted, so the
// module itself is asked: it answers its own commands on the phone link whether or
// not a phone is connected. Its answer "OK\r\n" has an even length, so the byte
// pairs the phone link is received in stay aligned for the phone's "~~".
bool module_answers() {
    __sys_bluetooth_ok = false;
    RF_Printf("AT\r");
    const uint32_t start = HAL_GetTick();
    while (HAL_GetTick() - start < kAnswerMs) {
        sys_bluetooth_forward();
        if (__sys_bluetooth_ok)
            return true;
        HAL_Delay(1);
    }
    return false;
}

}  // namespace

int sys_bluetooth_init(void) {
    HAL_GPIO_WritePin(RF_MOD_PWR_EN_GPIO_Port, RF_MOD_PWR_EN_Pin, GPIO_PIN_SET);
    HAL_Delay(100);
    HAL_GPIO_WritePin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, GPIO_PIN_SET);
    HAL_Delay(10);
    HAL_GPIO_WritePin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, GPIO_PIN_RESET);
    HAL_Delay(100);
    HAL_GPIO_WritePin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, GPIO_PIN_SET);
    HAL_Delay(10);
    const int power = pin(RF_MOD_PWR_EN_GPIO_Port, RF_MOD_PWR_EN_Pin);
    const int reset = pin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin);
    UART5_Printf("RF_MOD_PWR_EN_Pin : %d\r\n", power);
    UART5_Printf("RF_MOD_RESET_Pin : %d\r\n", reset);
    if (power == 1 && reset == 1) {
        if (module_answers())
            return 0;
        UART5_Printf("RF module does not answer\r\n");
    }
    HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
    for (;;) {
        UART5_Printf("BT is NOT ready for use!!!! c=%lu \r\n",
                     static_cast<unsigned long>(tempCount));
        tempCount = tempCount + 1;
    }
}

void send_status_to_ble(void) {
    if (timer7_10ms_counter < __send_status_to_ble_time_check)
        return;
    __send_status_to_ble_time_check = __send_status_to_ble_time_check +
                                      (bt_Android_connected ? kStatusTicksConnected : kStatusTicks);
    const uint32_t s = BT_seqNum;
    BT_seqNum = s + 1;
    RF_Printf("Q=0;1;%d,%02lu,%03lu,\n", g_bTriggerON ? 1 : 0,
              static_cast<unsigned long>(sys_battery_get_percent()), static_cast<unsigned long>(s));
    if (!bt_Android_connected && bt_Android_conn_2) {
        if (bt_Android_conn_2_count++ >= kConnectedAfter)
            bt_Android_connected = true;
    }
}

int sys_bluetooth_forward(void) {
    if (!bTransferRFUartToDebugUart)
        return 0;
    const int n = uartTransQ.size();
    int forwarded = 0;
    for (int i = 0; i < n; ++i) {
        if (huart1.gState != HAL_UART_STATE_READY)
            continue;
        uartTransQ.pop(RxBufUart2);
        sys_uart_send(&huart3, reinterpret_cast<uint8_t *>(RxBufUart2), 2, 100);
        ++forwarded;
        if (note_seen(RxBufUart2)) {
            bt_Android_conn_2 = true;
            UART5_Printf("\r\n[Android APP]!\r\n");
        }
    }
    return forwarded;
}
