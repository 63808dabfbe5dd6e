// The buzzer.
#include "sys_buzzer.h"

#include "main.h"
#include "sys_error_handler.h"

TIM_HandleTypeDef htim2;

namespace {

constexpr uint32_t on[] = {F7, F7};
constexpr uint32_t low[] = {G7, F7};
constexpr uint32_t kToneMs = 300;
constexpr uint32_t kGapMs = 150;

}  // namespace

void Buzzer_Init(void) {
    HAL_GPIO_WritePin(BUZZER_GPIO_Port, BUZZER_Pin, GPIO_PIN_RESET);
    GPIO_InitTypeDef g = {};
    g.Pin = BUZZER_Pin;
    g.Mode = GPIO_MODE_OUTPUT_PP;
    g.Pull = GPIO_PULLDOWN;
    g.Speed = GPIO_SPEED_FREQ_LOW;
    HAL_GPIO_Init(BUZZER_GPIO_Port, &g);

    htim2.Instance = TIM2;
    htim2.Init.Prescaler = 47;  // 1 MHz
    htim2.Init.CounterMode = TIM_COUNTERMODE_UP;
    htim2.Init.Period = 999;
    htim2.Init.ClockDivision = TIM_CLOCKDIVISION_DIV1;
    htim2.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_DISABLE;
    if (HAL_TIM_Base_Init(&htim2) != HAL_OK)
        sys_error_handler("buzzer", 1);
    TIM_ClockConfigTypeDef clock = {};
    clock.ClockSource = TIM_CLOCKSOURCE_INTERNAL;
    if (HAL_TIM_ConfigClockSource(&htim2, &clock) != HAL_OK)
        sys_error_handler("buzzer", 2);
    if (HAL_TIM_PWM_Init(&htim2) != HAL_OK)
        sys_error_handler("buzzer", 3);
    TIM_MasterConfigTypeDef master = {};
    master.MasterOutputTrigger = TIM_TRGO_RESET;
    master.MasterSlaveMode = TIM_MASTERSLAVEMODE_DISABLE;
    if (HAL_TIMEx_MasterConfigSynchronization(&htim2, &master) != HAL_OK)
        sys_error_handler("buzzer", 4);
    TIM_OC_InitTypeDef oc = {};
    oc.OCMode = TIM_OCMODE_PWM1;
    oc.Pulse = 499;
    oc.OCPolarity = TIM_OCPOLARITY_HIGH;
    oc.OCFastMode = TIM_OCFAST_DISABLE;
    if (HAL_TIM_PWM_ConfigChannel(&htim2, &oc, TIM_CHANNEL_1) != HAL_OK)
        sys_error_handler("buzzer", 5);

    g.Mode = GPIO_MODE_AF_PP;
    g.Alternate = GPIO_AF1_TIM2;
    HAL_GPIO_Init(BUZZER_GPIO_Port, &g);
}

void Buzzer_Play(uint32_t note) {
    const uint32_t period = 100000000u / note;  // counts of 1 us per cycle
    __HAL_TIM_SET_AUTORELOAD(&htim2, period);
    htim2.Init.Period = period;
    __HAL_TIM_SET_COMPARE(&htim2, TIM_CHANNEL_1, period / 2u);
    HAL_TIM_PWM_Start(&htim2, TIM_CHANNEL_1);
    HAL_Delay(kToneMs);
    HAL_TIM_PWM_Stop(&htim2, TIM_CHANNEL_1);
    HAL_Delay(kGapMs);
}

void Buzzer_ON(void) {
    for (uint32_t n : on) Buzzer_Play(n);
}

void Buzzer_Low(void) {
    for (int i = 0; i < 3; ++i)
        for (uint32_t n : low) Buzzer_Play(n);
}
