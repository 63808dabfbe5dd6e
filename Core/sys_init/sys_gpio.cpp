// Pins and the LED patterns.
#include "sys_gpio.h"

#include "main.h"
#include "sys_imu.h"
#include "w25q_mem.h"

namespace {

// Tick counters of the once-a-second patterns: lit from 95 to 100 (6 ticks), then
// back to 0, so each period is 100 ticks.
int nBattBlinkingCount = 0;
int nHeartbitCount = 0;
int nSensorFaultCount = 0;  // the 250 ms pattern: lit on 19 to 24 of 0..24
bool show_low_batt = false;

bool lit_once_a_second(int &count) {
    const bool on = count >= 95;
    if (count >= 100)
        count = 0;
    ++count;
    return on;
}

void pins(GPIO_TypeDef *port, uint32_t pins, uint32_t mode, uint32_t pull, uint32_t speed,
          uint32_t alternate = 0) {
    GPIO_InitTypeDef g = {};
    g.Pin = pins;
    g.Mode = mode;
    g.Pull = pull;
    g.Speed = speed;
    g.Alternate = alternate;
    HAL_GPIO_Init(port, &g);
}

}  // namespace

int sys_gpio_init(void) {
    __HAL_RCC_GPIOA_CLK_ENABLE();
    __HAL_RCC_GPIOB_CLK_ENABLE();
    __HAL_RCC_GPIOC_CLK_ENABLE();
    __HAL_RCC_GPIOH_CLK_ENABLE();
    HAL_GPIO_WritePin(GPIOA,
                      ACT_DETECT1_Pin | ACT_DETECT2_Pin | TRIGGER_OUT3_Pin | TRIGGER_OUT1_Pin |
                          LED_STATUS_Pin | LED_HEARTBEAT_Pin | BLOCK_DUMP_Pin,
                      GPIO_PIN_RESET);
    HAL_GPIO_WritePin(GPIOB, RF_MOD_RESET_Pin | RF_MOD_PWR_EN_Pin | TRIGGER_OUT2_Pin,
                      GPIO_PIN_RESET);
    pins(GPIOA, ACT_DETECT1_Pin | ACT_DETECT2_Pin, GPIO_MODE_INPUT, GPIO_NOPULL,
         GPIO_SPEED_FREQ_LOW);
    pins(BLOCK_DUMP_GPIO_Port, BLOCK_DUMP_Pin, GPIO_MODE_INPUT, GPIO_PULLUP, GPIO_SPEED_FREQ_LOW);
    pins(MANUAL_SHOOT_GPIO_Port, MANUAL_SHOOT_Pin, GPIO_MODE_INPUT, GPIO_PULLUP,
         GPIO_SPEED_FREQ_LOW);
    pins(GPIOA, TRIGGER_OUT3_Pin | TRIGGER_OUT1_Pin | LED_STATUS_Pin | LED_HEARTBEAT_Pin,
         GPIO_MODE_OUTPUT_PP, GPIO_PULLDOWN, GPIO_SPEED_FREQ_LOW);
    pins(GPIOB, RF_MOD_RESET_Pin | RF_MOD_PWR_EN_Pin | TRIGGER_OUT2_Pin, GPIO_MODE_OUTPUT_PP,
         GPIO_PULLDOWN, GPIO_SPEED_FREQ_LOW);
    return 0;
}

int sys_gpio_standby(void) {
    W25Q_Sleep();
    pins(GPIOB, GPIO_PIN_0 | GPIO_PIN_1 | GPIO_PIN_6 | GPIO_PIN_7, GPIO_MODE_INPUT, GPIO_PULLDOWN,
         GPIO_SPEED_FREQ_LOW);
    pins(GPIOB, GPIO_PIN_13 | GPIO_PIN_14, GPIO_MODE_AF_OD, GPIO_PULLDOWN, GPIO_SPEED_FREQ_LOW, 0);
    pins(GPIOA, GPIO_PIN_6 | GPIO_PIN_7, GPIO_MODE_AF_OD, GPIO_PULLDOWN, GPIO_SPEED_FREQ_LOW, 0);
    pins(GPIOA, GPIO_PIN_2, GPIO_MODE_AF_OD, GPIO_PULLDOWN, GPIO_SPEED_FREQ_HIGH, 0);
    pins(GPIOA, GPIO_PIN_3 | GPIO_PIN_1, GPIO_MODE_AF_OD, GPIO_PULLDOWN, GPIO_SPEED_FREQ_LOW, 0);
    pins(GPIOA, GPIO_PIN_13 | GPIO_PIN_14, GPIO_MODE_AF_OD, GPIO_PULLDOWN, GPIO_SPEED_FREQ_LOW, 0);
    return 0;
}

// Each LED is written once per tick with the level the pattern gives it, so that a
// lit LED does not blink off for a moment on every tick.
void led_blink(void) {
    if (g_bTriggerON)
        return;  // the post-firing blink owns the status LED
    HAL_GPIO_WritePin(GPIOA, TRIGGER_OUT1_Pin | TRIGGER_OUT3_Pin, GPIO_PIN_RESET);
    HAL_GPIO_WritePin(TRIGGER_OUT2_GPIO_Port, TRIGGER_OUT2_Pin, GPIO_PIN_RESET);
    const bool fault = sys_imu_sensor_fault();
    bool fast = false;
    if (fault) {
        fast = nSensorFaultCount >= 19;
        nSensorFaultCount = nSensorFaultCount >= 24 ? 0 : nSensorFaultCount + 1;
    }
    bool status = false, heartbeat = false;
    if (low_batt_status || show_low_batt) {
        show_low_batt = true;
        status = lit_once_a_second(nBattBlinkingCount);
        heartbeat = stanby_batt_status ? status : fast;
    } else if (fault) {
        heartbeat = fast;
    } else {
        heartbeat = lit_once_a_second(nHeartbitCount);
    }
    HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, status ? GPIO_PIN_SET : GPIO_PIN_RESET);
    HAL_GPIO_WritePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin,
                      heartbeat ? GPIO_PIN_SET : GPIO_PIN_RESET);
}
