// The vendor HAL's time-out rule for the blocking calls the storage models
// implement (QUADSPI, RTC): a wait for a hardware flag counts from the tick taken
// at the call's start; it fails once more than `timeout` ticks have passed since
// then, or at once when `timeout` is 0 and the flag is not already there;
// HAL_MAX_DELAY never fails. Kept in one place so that it can give way to the
// simulator's common helper for this rule.
#pragma once

#include <cstdint>

#include "sim/scheduler.h"

namespace sim {

// Lets virtual time pass until `ready_at`, the instant the awaited flag comes
// (kNever: it never comes), or until the time-out expires first. Interrupts that
// beat the caller's priority run meanwhile. Returns true when the flag came.
// Halts the board when the wait can never end (no time-out and no flag, or a
// time-out that the system tick can never count here).
bool hal_wait_until(Time ready_at, std::uint32_t tickstart, std::uint32_t timeout,
                    const char *waiting_in);

}  // namespace sim
