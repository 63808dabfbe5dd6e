// The tick timer.
#include "sys_timer.h"

#include "sys_clock.h"
#include "sys_error_handler.h"

TIM_HandleTypeDef htim7;

int sys_timer_init(void) {
    htim7.Instance = TIM7;
    htim7.Init.Prescaler = g_HCLK / 1000u - 1u;  // 1 MHz
    htim7.Init.CounterMode = TIM_COUNTERMODE_UP;
    htim7.Init.Period = 9999;  // 10 ms
    htim7.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_ENABLE;
    if (HAL_TIM_Base_Init(&htim7) != HAL_OK) {
        sys_error_handler("timer", 1);
        return -1;
    }
    TIM_MasterConfigTypeDef master = {};
    master.MasterOutputTrigger = TIM_TRGO_RESET;
    master.MasterSlaveMode = TIM_MASTERSLAVEMODE_DISABLE;
    if (HAL_TIMEx_MasterConfigSynchronization(&htim7, &master) != HAL_OK) {
        sys_error_handler("timer", 2);
        return -2;
    }
    return 0;
}

void sys_timer_stop_tick(void) {
    HAL_TIM_Base_Stop_IT(&htim7);
}
