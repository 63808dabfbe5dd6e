#pragma once
// The buzzer on PA0, driven by TIM2 channel 1 PWM at 1 MHz count. A note's value is
// its frequency in hundredths of a hertz.
#include "stm32l4xx_hal.h"

enum notes : uint32_t {
    C4 = 26163,
    D4 = 29366,
    E4 = 32963,
    F4 = 34923,
    G4 = 39200,
    A4 = 44000,
    B4 = 49388,
    C5 = 52325,
    F7 = 279783,
    G7 = 313596,
};

extern TIM_HandleTypeDef htim2;

// Pin low, then TIM2 (prescaler 47, period 999, PWM 1 on channel 1 at 50 %);
// failures halt through sys_error_handler ("buzzer", 1 to 5).
void Buzzer_Init(void);
// One note: 300 ms of tone, 150 ms of silence (blocking).
void Buzzer_Play(uint32_t note);
// Power-on tone: F7 F7 (0.9 s, blocking).
void Buzzer_ON(void);
// Low-battery tone: G7 F7 three times (2.7 s, blocking).
void Buzzer_Low(void);
