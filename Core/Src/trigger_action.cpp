// Firing the actuator. The trigger outputs' order and timing do not depend on the
// console: the marker is sent when the console is free or queued behind the
// message it interrupted, and output 3 follows outputs 1 and 2 after a fixed time
// measured on the tick timer's counter.
#include "trigger_action.h"

#include "flash_user_data.h"
#include "main.h"
#include "sys_battery.h"
#include "sys_dnt.h"
#include "sys_timer.h"
#include "sys_uart.h"

namespace {

constexpr uint32_t kSecondSaveTicks = 120;
constexpr int kLitEvery = 4;        // the status LED is lit when the count passes 4
constexpr int kMessageCycles = 11;  // the message stops after cycle 11 (12 in all)

int g_nTriggerONCount = 20;
int g_nTriggerFireCount = 0;
bool g_bStopTriggerPin = false;
uint32_t __sys_manual_shoot_low = 0;  // check ticks the manual input has been low

// "<tr\0" type "\0_\0j\0" letter "\0s\0" letter "<" CR LF; the type and the letters
// are filled in.
const PACKETDATA kTriggerMarker = {'<', 't', 'r', '0', '_', 'j', '-', 's', '-', '<', 0x0D, 0x0A};

struct Letters {
    char first, second;
};

Letters code_letters(uint8_t type) {
    static const Letters kLetters[10] = {{'N', 'D'}, {'X', 'X'}, {'X', 'O'}, {'O', 'X'},
                                         {'O', 'O'}, {'T', 'F'}, {'T', 'L'}, {'C', 'F'},
                                         {'L', 'C'}, {'-', '-'}};
    const uint8_t low = type & 0x0F;
    return low <= 9 ? kLetters[low] : kLetters[0];
}

void wait_since(uint32_t start, uint32_t us) {
    const uint32_t period = __HAL_TIM_GET_AUTORELOAD(&htim7) + 1u;
    while ((__HAL_TIM_GET_COUNTER(&htim7) + period - start) % period < us) __NOP();
}

void write(GPIO_TypeDef *port, uint16_t pin, GPIO_PinState s) {
    HAL_GPIO_WritePin(port, pin, s);
}

}  // namespace

void trigger_action(uint8_t type) {
    write(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    write(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
    write(TRIGGER_OUT1_GPIO_Port, TRIGGER_OUT1_Pin, GPIO_PIN_SET);
    write(TRIGGER_OUT2_GPIO_Port, TRIGGER_OUT2_Pin, GPIO_PIN_SET);
    const uint32_t start = __HAL_TIM_GET_COUNTER(&htim7);

    PACKETDATA marker = kTriggerMarker;
    const Letters l = code_letters(type);
    marker.n2 = static_cast<int16_t>(type + 0x30);
    marker.n5 = l.first;
    marker.reserved = l.second;
    sys_uart_send(&huart3, reinterpret_cast<const uint8_t *>(&marker), sizeof marker, 1000);
    wait_since(start, TRIGGER_OUT3_DELAY_US);
    write(TRIGGER_OUT3_GPIO_Port, TRIGGER_OUT3_Pin, GPIO_PIN_SET);

    g_nTriggerONCount = 0;
    // A failed snapshot (an erase error is reported by the store) does not stop the
    // firing: the record, the latch and the phone line follow all the same.
    flash_user_data_save_trigger_data(type);
    // The record waits for the flash scheduler while the thread reads the chip or the
    // chip is busy: the firing does not wait on the external flash.
    if (g_bExflashThreadRead || W25Q_IsBusy() != W25Q_OK)
        sys_dnt_trigger_queue(type);
    else
        sys_dnt_trigger_write(type);
    __write_last_trigger_data_time = timer7_10ms_counter + kSecondSaveTicks;
    __last_trigger_type = type;
    __trigger_type_for_seqNum = type;
    g_bTriggerON = true;
    const uint32_t s = BT_seqNum;
    BT_seqNum = s + 1;
    RF_Printf("Q=2;1;%d,%02lu,%03lu,\n", g_bTriggerON ? 1 : 0,
              static_cast<unsigned long>(sys_battery_get_percent()), static_cast<unsigned long>(s));
}

void trigger_on_check(void) {
    if (!g_bTriggerON)
        return;
    const int c = g_nTriggerONCount++;
    if (c < kLitEvery) {
        write(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_RESET);
        return;
    }
    write(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
    if (!g_bStopTriggerPin)
        UART5_Printf("g_bTriggerON = true -----------\r\n");
    g_nTriggerONCount = 0;
    if (g_nTriggerFireCount++ >= kMessageCycles)
        g_bStopTriggerPin = true;
}

// One low read (a bounce, a glitch) must not disarm the device: the input acts only
// when held, and what it erases is the firing's record, not the device's identity.
void manual_shoot_check(void) {
    if (HAL_GPIO_ReadPin(MANUAL_SHOOT_GPIO_Port, MANUAL_SHOOT_Pin) == GPIO_PIN_SET) {
        __sys_manual_shoot_low = 0;
        return;
    }
    if (++__sys_manual_shoot_low < MANUAL_SHOOT_HOLD_CHECKS)
        return;
    write(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    sys_timer_stop_tick();
    flash_user_data_clear_trigger_data();
    for (;;) {
        write(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
        HAL_Delay(200);
        write(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_RESET);
        HAL_Delay(200);
    }
}
