// Output-compare and PWM set-up of the timers, and the timer extension calls. The
// channel registers are written as the HAL writes them; the output waveform itself
// is not simulated pin by pin: each start and stop of a PWM output is traced with
// its period and high time, which is what the buzzer needs to be observed.
#include "sim/board.h"
#include "sim/handle.h"
#include "sim/rcc.h"
#include "sim/tim.h"
#include "stm32l4xx_hal.h"

namespace {

bool valid_channel(uint32_t channel) {
    return channel <= TIM_CHANNEL_6 && (channel & 3u) == 0u;
}
uint32_t channel_index(uint32_t channel) {
    return channel >> 2;
}  // 0..5

volatile uint32_t &ccmr(TIM_TypeDef *r, uint32_t idx) {
    return idx < 2 ? r->CCMR1 : (idx < 4 ? r->CCMR2 : r->CCMR3);
}
volatile uint32_t &ccr(TIM_TypeDef *r, uint32_t idx) {
    switch (idx) {
        case 0:
            return r->CCR1;
        case 1:
            return r->CCR2;
        case 2:
            return r->CCR3;
        case 3:
            return r->CCR4;
        case 4:
            return r->CCR5;
        default:
            return r->CCR6;
    }
}

const char *timer_name(const TIM_TypeDef *r) {
    if (r == TIM1)
        return "TIM1";
    if (r == TIM2)
        return "TIM2";
    if (r == TIM6)
        return "TIM6";
    if (r == TIM7)
        return "TIM7";
    if (r == TIM15)
        return "TIM15";
    if (r == TIM16)
        return "TIM16";
    return "TIM?";
}

// Mode bits of one channel inside its CCMR register: 8 bits per channel plus the
// fourth mode bit at 16 + 8 * (idx % 2).
void set_channel_mode(TIM_TypeDef *r, uint32_t idx, uint32_t mode_bits, uint32_t extra) {
    const uint32_t shift = 8u * (idx & 1u);
    const uint32_t mask = (TIM_CCMR1_OC1M | TIM_CCMR1_CC1S | TIM_CCMR1_OC1PE | TIM_CCMR1_OC1FE)
                          << shift;
    ccmr(r, idx) = (ccmr(r, idx) & ~mask) | ((mode_bits | extra) << shift);
}

void trace_output(TIM_HandleTypeDef *htim, uint32_t idx, bool on) {
    sim::Board &b = sim::board();
    if (!b.trace().enabled())
        return;
    TIM_TypeDef *r = htim->Instance;
    const bool apb2 = r == TIM1 || r == TIM15 || r == TIM16;
    const uint64_t hz = sim::rcc_timer_hz(apb2 ? 2 : 1);
    const uint64_t psc = (r->PSC & 0xFFFFu) + 1u;
    const uint64_t period_ticks = static_cast<uint64_t>(r->ARR) + 1u;
    uint64_t high_ticks = ccr(r, idx);
    if (high_ticks > period_ticks)
        high_ticks = period_ticks;
    const uint32_t mode = (ccmr(r, idx) >> (8u * (idx & 1u))) & TIM_CCMR1_OC1M;
    if (mode == TIM_OCMODE_PWM2)
        high_ticks = period_ticks - high_ticks;
    const bool active_low = (r->CCER >> (4u * idx + 1u)) & 1u;
    if (active_low)
        high_ticks = period_ticks - high_ticks;
    b.trace()
        .begin(b.now(), "pwm")
        .field("timer", timer_name(r))
        .field("channel", static_cast<uint64_t>(idx + 1u))
        .field_bool("on", on)
        .field("period_ns", sim::scaled_ceil(period_ticks * psc, 1000000000u, hz))
        .field("high_ns", sim::scaled_ceil(high_ticks * psc, 1000000000u, hz))
        .end();
}

HAL_StatusTypeDef config_channel(TIM_HandleTypeDef *htim, const TIM_OC_InitTypeDef *cfg,
                                 uint32_t channel, bool pwm, const char *function) {
    if (!valid_channel(channel))
        return HAL_ERROR;
    __HAL_LOCK(htim);
    sim::require_instance(htim, function);
    TIM_TypeDef *r = htim->Instance;
    const uint32_t idx = channel_index(channel);
    r->CCER &= ~(1u << (4u * idx));  // channel off while it is changed
    uint32_t extra = 0;
    if (pwm) {
        extra |= TIM_CCMR1_OC1PE;
        if (cfg->OCFastMode == TIM_OCFAST_ENABLE)
            extra |= TIM_CCMR1_OC1FE;
    }
    set_channel_mode(r, idx, cfg->OCMode, extra);
    r->CCER = (r->CCER & ~(TIM_CCER_CC1P << (4u * idx))) | (cfg->OCPolarity << (4u * idx));
    ccr(r, idx) = cfg->Pulse;
    __HAL_UNLOCK(htim);
    return HAL_OK;
}

HAL_StatusTypeDef start_channel(TIM_HandleTypeDef *htim, uint32_t channel, bool pwm,
                                const char *function) {
    if (!valid_channel(channel))
        return HAL_ERROR;
    const uint32_t idx = channel_index(channel);
    if (htim->ChannelState[idx] != HAL_TIM_CHANNEL_STATE_READY)
        return HAL_ERROR;
    sim::require_instance(htim, function);
    htim->ChannelState[idx] = HAL_TIM_CHANNEL_STATE_BUSY;
    htim->Instance->CCER |= 1u << (4u * idx);
    if (htim->Instance == TIM1 || htim->Instance == TIM15 || htim->Instance == TIM16)
        htim->Instance->BDTR |= TIM_BDTR_MOE;
    __HAL_TIM_ENABLE(htim);
    sim::tim_sync();
    if (pwm) {
        trace_output(htim, idx, true);
        sim::tone_started(htim->Instance, idx);
    }
    return HAL_OK;
}

HAL_StatusTypeDef stop_channel(TIM_HandleTypeDef *htim, uint32_t channel, bool pwm,
                               const char *function) {
    sim::require_instance(htim, function);
    if (!valid_channel(channel))
        return HAL_ERROR;
    const uint32_t idx = channel_index(channel);
    htim->Instance->CCER &= ~(1u << (4u * idx));
    if (htim->Instance == TIM1 || htim->Instance == TIM15 || htim->Instance == TIM16) {
        if ((htim->Instance->CCER & (TIM_CCER_CCxE_MASK | TIM_CCER_CCxNE_MASK)) == 0u)
            htim->Instance->BDTR &= ~TIM_BDTR_MOE;
    }
    __HAL_TIM_DISABLE(htim);
    htim->ChannelState[idx] = HAL_TIM_CHANNEL_STATE_READY;
    sim::tim_sync();
    if (pwm) {
        trace_output(htim, idx, false);
        sim::tone_stopped(htim->Instance, idx);
    }
    return HAL_OK;
}

}  // namespace

extern "C" {

HAL_StatusTypeDef HAL_TIM_OC_Init(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    if (htim != nullptr)
        sim::require_instance(htim, "HAL_TIM_OC_Init");
    return sim::tim_init(htim, HAL_TIM_OC_MspInit);
}
HAL_StatusTypeDef HAL_TIM_PWM_Init(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    if (htim != nullptr)
        sim::require_instance(htim, "HAL_TIM_PWM_Init");
    return sim::tim_init(htim, HAL_TIM_PWM_MspInit);
}

HAL_StatusTypeDef HAL_TIM_OC_DeInit(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_OC_DeInit");
    htim->State = HAL_TIM_STATE_BUSY;
    __HAL_TIM_DISABLE(htim);
    {
        const sim::FirmwareCode firmware;
        HAL_TIM_OC_MspDeInit(htim);
    }
    htim->State = HAL_TIM_STATE_RESET;
    sim::tim_sync();
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_PWM_DeInit(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_PWM_DeInit");
    htim->State = HAL_TIM_STATE_BUSY;
    __HAL_TIM_DISABLE(htim);
    {
        const sim::FirmwareCode firmware;
        HAL_TIM_PWM_MspDeInit(htim);
    }
    htim->State = HAL_TIM_STATE_RESET;
    sim::tim_sync();
    return HAL_OK;
}

__weak void HAL_TIM_OC_MspInit(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_OC_MspDeInit(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_PWM_MspInit(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_PWM_MspDeInit(TIM_HandleTypeDef *htim) {
    (void)htim;
}

HAL_StatusTypeDef HAL_TIM_OC_ConfigChannel(TIM_HandleTypeDef *htim,
                                           const TIM_OC_InitTypeDef *sConfig, uint32_t Channel) {
    const sim::HalCall hal_call;
    return config_channel(htim, sConfig, Channel, false, "HAL_TIM_OC_ConfigChannel");
}
HAL_StatusTypeDef HAL_TIM_PWM_ConfigChannel(TIM_HandleTypeDef *htim,
                                            const TIM_OC_InitTypeDef *sConfig, uint32_t Channel) {
    const sim::HalCall hal_call;
    return config_channel(htim, sConfig, Channel, true, "HAL_TIM_PWM_ConfigChannel");
}

HAL_StatusTypeDef HAL_TIM_OC_Start(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    return start_channel(htim, Channel, false, "HAL_TIM_OC_Start");
}
HAL_StatusTypeDef HAL_TIM_OC_Stop(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    return stop_channel(htim, Channel, false, "HAL_TIM_OC_Stop");
}
HAL_StatusTypeDef HAL_TIM_PWM_Start(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    return start_channel(htim, Channel, true, "HAL_TIM_PWM_Start");
}
HAL_StatusTypeDef HAL_TIM_PWM_Stop(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    return stop_channel(htim, Channel, true, "HAL_TIM_PWM_Stop");
}

// Compare interrupts are never raised by this board, so the interrupt variants
// behave as the plain ones.
HAL_StatusTypeDef HAL_TIM_PWM_Start_IT(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    return start_channel(htim, Channel, true, "HAL_TIM_PWM_Start_IT");
}
HAL_StatusTypeDef HAL_TIM_PWM_Stop_IT(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    return stop_channel(htim, Channel, true, "HAL_TIM_PWM_Stop_IT");
}

HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef *htim,
                                            const TIM_ClockConfigTypeDef *sClockSourceConfig) {
    const sim::HalCall hal_call;
    __HAL_LOCK(htim);
    sim::require_instance(htim, "HAL_TIM_ConfigClockSource");
    htim->State = HAL_TIM_STATE_BUSY;
    htim->Instance->SMCR &=
        ~(TIM_SMCR_SMS | TIM_SMCR_TS | TIM_SMCR_ETF | TIM_SMCR_ETPS | TIM_SMCR_ECE | TIM_SMCR_ETP);
    if (sClockSourceConfig->ClockSource != TIM_CLOCKSOURCE_INTERNAL) {
        sim::board().halt("external timer clock sources are not modelled by the simulated board");
    }
    htim->State = HAL_TIM_STATE_READY;
    __HAL_UNLOCK(htim);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(
    TIM_HandleTypeDef *htim, const TIM_MasterConfigTypeDef *sMasterConfig) {
    const sim::HalCall hal_call;
    __HAL_LOCK(htim);
    sim::require_instance(htim, "HAL_TIMEx_MasterConfigSynchronization");
    htim->State = HAL_TIM_STATE_BUSY;
    htim->Instance->CR2 = (htim->Instance->CR2 & ~TIM_CR2_MMS) | sMasterConfig->MasterOutputTrigger;
    htim->Instance->SMCR = (htim->Instance->SMCR & ~TIM_SMCR_MSM) | sMasterConfig->MasterSlaveMode;
    htim->State = HAL_TIM_STATE_READY;
    __HAL_UNLOCK(htim);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIMEx_ConfigBreakDeadTime(
    TIM_HandleTypeDef *htim, const TIM_BreakDeadTimeConfigTypeDef *sBreakDeadTimeConfig) {
    const sim::HalCall hal_call;
    __HAL_LOCK(htim);
    sim::require_instance(htim, "HAL_TIMEx_ConfigBreakDeadTime");
    htim->Instance->BDTR =
        (sBreakDeadTimeConfig->DeadTime & 0xFFu) | sBreakDeadTimeConfig->LockLevel |
        sBreakDeadTimeConfig->OffStateIDLEMode | sBreakDeadTimeConfig->OffStateRunMode |
        sBreakDeadTimeConfig->BreakState | sBreakDeadTimeConfig->BreakPolarity |
        sBreakDeadTimeConfig->AutomaticOutput;
    __HAL_UNLOCK(htim);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIMEx_PWMN_Start(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    if (!valid_channel(Channel) || channel_index(Channel) > 2u)
        return HAL_ERROR;
    sim::require_instance(htim, "HAL_TIMEx_PWMN_Start");
    htim->Instance->CCER |= 1u << (4u * channel_index(Channel) + 2u);
    htim->Instance->BDTR |= TIM_BDTR_MOE;
    __HAL_TIM_ENABLE(htim);
    sim::tim_sync();
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIMEx_PWMN_Stop(TIM_HandleTypeDef *htim, uint32_t Channel) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIMEx_PWMN_Stop");
    if (!valid_channel(Channel) || channel_index(Channel) > 2u)
        return HAL_ERROR;
    htim->Instance->CCER &= ~(1u << (4u * channel_index(Channel) + 2u));
    __HAL_TIM_DISABLE(htim);
    sim::tim_sync();
    return HAL_OK;
}

__weak void HAL_TIMEx_CommutCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIMEx_BreakCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIMEx_Break2Callback(TIM_HandleTypeDef *htim) {
    (void)htim;
}

}  // extern "C"
