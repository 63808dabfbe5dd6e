// Timers of the simulated chip (TIM1, TIM2, TIM6, TIM7, TIM15, TIM16), counting up
// from their bus's timer clock (48 MHz on this board) through the prescaler: the
// update event comes when the counter passes the auto-reload value, (PSC + 1)
// (ARR + 1) timer clocks per period. The prescaler is always preloaded; the
// auto-reload value is preloaded when ARPE is set (a new value applies from the next
// period) and immediate otherwise (a value below the counter lets it run to its
// maximum and wrap first). Capture/compare outputs are not simulated pin by pin:
// PWM starts and stops are traced with their period and high time.
#pragma once

#include "sim/board.h"

namespace sim {

void install_timers(Board &b);

}  // namespace sim

#include "stm32l4xx_hal.h"

namespace sim {

// Time-base set-up of HAL_TIM_Base_Init, _OC_Init and _PWM_Init, with their MSP hook.
HAL_StatusTypeDef tim_init(TIM_HandleTypeDef *htim, void (*msp)(TIM_HandleTypeDef *));
// Takes in register writes made since the last look.
void tim_sync();

// A PWM channel (0-based) started or stopped: one tone (tone.cpp).
void tone_started(TIM_TypeDef *timer, std::uint32_t channel_index);
void tone_stopped(TIM_TypeDef *timer, std::uint32_t channel_index);

// Update events of a timer that came while its update flag was still set (the
// interrupt had not served the one before): periods its handler never saw.
std::uint64_t tim_lost_updates(const TIM_TypeDef *timer);

}  // namespace sim
