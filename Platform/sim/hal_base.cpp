// HAL core services on the simulated board: initialisation, the millisecond tick
// and blocking delays.
#include "stm32l4xx_hal.h"

#include <algorithm>
#include <string>

#include "sim/board.h"
#include "sim/hal_timeout.h"

extern "C" {

__IO uint32_t uwTick;
uint32_t uwTickPrio = (1UL << __NVIC_PRIO_BITS);  // invalid until HAL_InitTick
HAL_TickFreqTypeDef uwTickFreq = HAL_TICK_FREQ_DEFAULT;

HAL_StatusTypeDef HAL_Init(void) {
    const sim::HalCall hal_call;
    HAL_NVIC_SetPriorityGrouping(NVIC_PRIORITYGROUP_4);
    if (HAL_InitTick(TICK_INT_PRIORITY) != HAL_OK)
        return HAL_ERROR;
    {
        const sim::FirmwareCode firmware;
        HAL_MspInit();
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_DeInit(void) {
    const sim::HalCall hal_call;
    {
        const sim::FirmwareCode firmware;
        HAL_MspDeInit();
    }
    return HAL_OK;
}

__weak void HAL_MspInit(void) {}
__weak void HAL_MspDeInit(void) {}

__weak HAL_StatusTypeDef HAL_InitTick(uint32_t TickPriority) {
    const sim::HalCall hal_call;
    if (uwTickFreq == 0u)
        return HAL_ERROR;
    if (HAL_SYSTICK_Config(SystemCoreClock / (1000u / static_cast<uint32_t>(uwTickFreq))) != 0u)
        return HAL_ERROR;
    if (TickPriority >= (1UL << __NVIC_PRIO_BITS))
        return HAL_ERROR;
    HAL_NVIC_SetPriority(SysTick_IRQn, TickPriority, 0u);
    uwTickPrio = TickPriority;
    return HAL_OK;
}

__weak void HAL_IncTick(void) {
    const sim::HalCall hal_call;
    uwTick = uwTick + static_cast<uint32_t>(uwTickFreq);
}

__weak uint32_t HAL_GetTick(void) {
    const sim::HalCall hal_call;
    return uwTick;
}

uint32_t HAL_GetTickPrio(void) {
    const sim::HalCall hal_call;
    return uwTickPrio;
}

HAL_StatusTypeDef HAL_SetTickFreq(HAL_TickFreqTypeDef Freq) {
    const sim::HalCall hal_call;
    if (uwTickFreq == Freq)
        return HAL_OK;
    HAL_TickFreqTypeDef prev = uwTickFreq;
    uwTickFreq = Freq;
    HAL_StatusTypeDef status = HAL_InitTick(uwTickPrio);
    if (status != HAL_OK)
        uwTickFreq = prev;
    return status;
}

HAL_TickFreqTypeDef HAL_GetTickFreq(void) {
    const sim::HalCall hal_call;
    return uwTickFreq;
}

__weak void HAL_SuspendTick(void) {
    const sim::HalCall hal_call;
    SysTick_regs.CTRL &= ~SysTick_CTRL_TICKINT_Msk;
}
__weak void HAL_ResumeTick(void) {
    const sim::HalCall hal_call;
    SysTick_regs.CTRL |= SysTick_CTRL_TICKINT_Msk;
}

// Waits until at least Delay + 1 ticks have been counted, as the vendor HAL does
// (the first tick may come at once). Time passes from event to event; interrupts
// that beat the caller's priority run meanwhile.
__weak void HAL_Delay(uint32_t Delay) {
    const sim::HalCall hal_call;
    const uint32_t tickstart = HAL_GetTick();
    uint32_t wait = Delay;
    if (wait < HAL_MAX_DELAY)
        wait += static_cast<uint32_t>(uwTickFreq);
    sim::wait_for_ticks(tickstart, wait, "HAL_Delay");
}

// The release of the vendor HAL that the seam follows (1.13.5).
uint32_t HAL_GetHalVersion(void) {
    const sim::HalCall hal_call;
    return 0x010D0500U;  // the pinned vendor release, 1.13.5
}
uint32_t HAL_GetREVID(void) {
    const sim::HalCall hal_call;
    return DBGMCU_regs.IDCODE >> 16;
}
uint32_t HAL_GetDEVID(void) {
    const sim::HalCall hal_call;
    return DBGMCU_regs.IDCODE & 0x0FFFu;
}
uint32_t HAL_GetUIDw0(void) {
    const sim::HalCall hal_call;
    return UID_regs.W[0];
}
uint32_t HAL_GetUIDw1(void) {
    const sim::HalCall hal_call;
    return UID_regs.W[1];
}
uint32_t HAL_GetUIDw2(void) {
    const sim::HalCall hal_call;
    return UID_regs.W[2];
}

}  // extern "C"

namespace sim {

void wait_for_ticks(uint32_t tickstart, uint32_t ticks, const char *waiting_in) {
    Board &b = board();
    while ((HAL_GetTick() - tickstart) < ticks) {
        Nvic &n = b.nvic();
        const bool tick_can_run =
            (SysTick_regs.CTRL & (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk)) ==
                (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk) &&
            !n.primask() && n.would_preempt(SysTick_IRQn);
        if (!tick_can_run)
            b.halt(std::string(waiting_in) +
                   " can never end: the system tick cannot interrupt here (stopped, masked, or "
                   "not of higher priority than the running handler)");
        b.advance_to_next_event(waiting_in);
    }
}

// A fresh board starts from power-on values of the HAL's own globals too.
void reset_hal_globals() {
    uwTick = 0;
    uwTickPrio = (1UL << __NVIC_PRIO_BITS);
    uwTickFreq = HAL_TICK_FREQ_DEFAULT;
    SystemCoreClock = 48000000u;
}

}  // namespace sim

namespace sim {

HalTimeout::HalTimeout(std::uint32_t timeout) : tickstart_(HAL_GetTick()), timeout_(timeout) {}

bool HalTimeout::expired() const {
    if (timeout_ == HAL_MAX_DELAY)
        return false;
    return timeout_ == 0u || (HAL_GetTick() - tickstart_) > timeout_;
}

bool HalTimeout::until(Time ready_at, const char *what) const {
    Board &b = board();
    for (;;) {
        if (b.now() >= ready_at)
            return true;
        if (expired())
            return false;
        if (ready_at == kNever) {
            const bool tick_can_run =
                timeout_ != HAL_MAX_DELAY &&
                (SysTick_regs.CTRL & (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk)) ==
                    (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk) &&
                !b.nvic().primask() && b.nvic().would_preempt(SysTick_IRQn);
            if (!tick_can_run)
                b.halt(std::string(what) +
                       " waits for ever: the flag never comes and no time-out can expire here");
        }
        const Time next = std::min(ready_at, b.sched().next_time());
        if (next == kNever)
            b.halt(std::string("nothing can ever happen while waiting in ") + what);
        b.advance_to(next);
    }
}

HAL_StatusTypeDef HalTimeout::wait(const std::function<bool()> &done, const char *what,
                                   const std::function<HAL_StatusTypeDef()> &poll_error) const {
    Board &b = board();
    for (;;) {
        if (done())
            return HAL_OK;
        if (timeout_ != HAL_MAX_DELAY) {
            if (expired())
                return HAL_TIMEOUT;
            if (poll_error) {
                const HAL_StatusTypeDef st = poll_error();
                if (st != HAL_OK)
                    return st;
            }
        }
        b.advance_to_next_event(what);
    }
}

}  // namespace sim
