#include "sim/hal_timeout.h"

#include <algorithm>
#include <string>

#include "sim/board.h"
#include "stm32l4xx_hal.h"

namespace sim {

bool hal_wait_until(Time ready_at, std::uint32_t tickstart, std::uint32_t timeout,
                    const char *waiting_in) {
    Board &b = board();
    for (;;) {
        if (b.now() >= ready_at)
            return true;
        if (timeout != HAL_MAX_DELAY && (timeout == 0u || HAL_GetTick() - tickstart > timeout))
            return false;
        if (ready_at == kNever) {
            const bool tick_can_run =
                timeout != HAL_MAX_DELAY &&
                (SysTick_regs.CTRL & (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk)) ==
                    (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk) &&
                !b.nvic().primask() && b.nvic().would_preempt(SysTick_IRQn);
            if (!tick_can_run)
                b.halt(std::string(waiting_in) +
                       " waits for ever: the flag never comes and no time-out can expire here");
        }
        const Time next = std::min(ready_at, b.sched().next_time());
        if (next == kNever)
            b.halt(std::string("nothing can ever happen while waiting in ") + waiting_in);
        b.advance_to(next);
    }
}

}  // namespace sim
