// The vendor HAL's time-out rule for blocking calls, for every blocking HAL
// function of this backend (UART, QUADSPI, RTC, the PLL lock):
//
//   tickstart = HAL_GetTick() at the start of the call;
//   a wait whose condition is not met yet fails with HAL_TIMEOUT as soon as
//   (HAL_GetTick() - tickstart) > Timeout, at once when Timeout is 0;
//   HAL_MAX_DELAY never times out.
//
// The condition is looked at first, as in the vendor's wait loops: a flag that is
// already in the wanted state passes even with Timeout 0. The polls themselves take
// no time here (they are part of the HAL call's fixed cost); the wait ends at the
// instant the condition becomes true or the time-out runs out.
#pragma once

#include <cstdint>
#include <functional>

#include "sim/board.h"
#include "stm32l4xx_hal.h"

namespace sim {

class HalTimeout {
  public:
    // Notes the tick now: construct it where the vendor's function takes tickstart.
    explicit HalTimeout(std::uint32_t timeout);
    // For a wait inside a call whose start tick was taken already.
    HalTimeout(std::uint32_t tickstart, std::uint32_t timeout) : tickstart_(tickstart), timeout_(timeout) {}

    bool expired() const;

    // Lets virtual time pass, event by event, until `done()` holds (HAL_OK) or the
    // time-out has run out (HAL_TIMEOUT). `poll_error`, when given, is what the
    // vendor's loop checks on each round after the time-out (the receive overrun
    // check of the UART): a result other than HAL_OK ends the wait with it. A wait
    // with nothing left that could end it halts the board, naming `what`.
    HAL_StatusTypeDef wait(const std::function<bool()> &done, const char *what,
                           const std::function<HAL_StatusTypeDef()> &poll_error = nullptr) const;

    // Lets virtual time pass until `ready_at`, the instant the awaited flag comes
    // (kNever: it never comes), or until the time-out expires first; interrupts that
    // beat the caller's priority run meanwhile. True when the flag came. Halts the
    // board when the wait can never end (no time-out and no flag, or a time-out that
    // the system tick can never count here).
    bool until(Time ready_at, const char *what) const;

    std::uint32_t timeout() const { return timeout_; }

  private:
    std::uint32_t tickstart_;
    std::uint32_t timeout_;
};

// The same rule for a wait whose flag comes at a known instant.
inline bool hal_wait_until(Time ready_at, std::uint32_t tickstart, std::uint32_t timeout,
                           const char *waiting_in) {
    return HalTimeout(tickstart, timeout).until(ready_at, waiting_in);
}

}  // namespace sim
