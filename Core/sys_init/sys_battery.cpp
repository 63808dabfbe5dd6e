// Battery supervision and standby.
#include "sys_battery.h"

#include "main.h"
#include "sys_adc.h"
#include "sys_gpio.h"
#include "sys_imu.h"
#include "sys_timer.h"
#include "sys_uart.h"

volatile uint32_t g_battAdcVal = 0;

namespace {

constexpr uint32_t kStandbyBelow = 2080;
constexpr uint32_t kLowBandTop = 2219;
constexpr uint32_t kLowAfter = 11;           // evaluations in the low band in a row
constexpr uint32_t kStandbyAfter = 51;       // evaluations after standby became pending
constexpr uint32_t kEvaluationTicks = 1000;  // 10 s

volatile uint32_t adcValArr[4];
volatile uint32_t adcValArrIndex = 0;
uint32_t low_batt_hit_counter = 0;
uint32_t standby_hit_counter = 0;

// No wake-up source is set: the device leaves standby only by a reset.
[[noreturn]] void enter_standby() {
    sys_uart_take_over(&huart3);  // the message must go out before the power goes
    UART5_Printf("Enter Standby mode!!!!! \r\n");
    HAL_GPIO_WritePin(RF_MOD_PWR_EN_GPIO_Port, RF_MOD_PWR_EN_Pin, GPIO_PIN_RESET);
    HAL_GPIO_WritePin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, GPIO_PIN_RESET);
    sys_timer_stop_tick();
    sys_imu_go_to_sleep_mode();
    HAL_PWR_DisableSleepOnExit();
    HAL_PWR_DisableBkUpAccess();
    HAL_PWR_DisablePVD();
    HAL_PWR_DisableSEVOnPend();
    sys_gpio_standby();
    HAL_PWR_EnterSTANDBYMode();
    for (;;) __WFI();
}

}  // namespace

int sys_battery_init(void) {
    HAL_ADC_Start(&hadc1);
    HAL_ADC_PollForConversion(&hadc1, 100);
    uint32_t v = HAL_ADC_GetValue(&hadc1);
    if (v < kStandbyBelow)
        v = kStandbyBelow;  // the first evaluation alone never makes standby pending
    for (volatile uint32_t &slot : adcValArr) slot = v;
    g_battAdcVal = v;
    return 0;
}

uint32_t sys_battery_check(void) {
    HAL_ADC_Start_IT(&hadc1);
    const uint32_t mean = (adcValArr[0] + adcValArr[1] + adcValArr[2] + adcValArr[3]) / 4u;
    g_battAdcVal = mean;
    return mean;
}

uint32_t sys_battery_get_percent(void) {
    return g_battAdcVal * 100u / 2300u;
}

void HAL_ADC_ConvCpltCallback(ADC_HandleTypeDef *hadc) {
    const uint32_t i = adcValArrIndex;
    adcValArr[i % 4u] = HAL_ADC_GetValue(hadc);
    adcValArrIndex = i + 1u;
}

void battery_check(void) {
    if (timer7_10ms_counter < __battery_check_time_limit)
        return;
    __battery_check_time_limit = __battery_check_time_limit + kEvaluationTicks;
    const uint32_t v = sys_battery_check();
    if (v < kStandbyBelow || stanby_batt_status) {
        low_batt_status = true;
        stanby_batt_status = true;
        if (standby_hit_counter >= kStandbyAfter)
            enter_standby();
        UART5_Printf("standby hit count=%lu \r\n", static_cast<unsigned long>(standby_hit_counter));
    } else if (v <= kLowBandTop && v > kStandbyBelow) {
        if (++low_batt_hit_counter >= kLowAfter)
            low_batt_status = true;
    } else {
        low_batt_hit_counter = 0;
        low_batt_status = false;
    }
    if (stanby_batt_status)
        ++standby_hit_counter;
}
