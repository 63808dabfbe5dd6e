#include "InstructionClock.h"

namespace target {

void spin(uint32_t n) {
    __asm volatile(
        "1: subs %0, %0, #1\n"
        "   bne 1b\n"
        : "+r"(n)
        :
        : "cc");
}

InstructionClock::InstructionClock() {
    volatile uint32_t *const ctrl = reinterpret_cast<volatile uint32_t *>(0xE000E010u);
    volatile uint32_t *const load = reinterpret_cast<volatile uint32_t *>(0xE000E014u);
    volatile uint32_t *const val = reinterpret_cast<volatile uint32_t *>(0xE000E018u);
    *load = 0xFFFFFFu;
    *val = 0;
    *ctrl = 0x5u;  // enable, processor clock, no interrupt

    // Overhead: the smallest tick count of an empty measurement.
    overhead_ = 0xFFFFFFu;
    for (int i = 0; i < 64; ++i) {
        const uint32_t a = now();
        const uint32_t b = now();
        const uint32_t d = elapsed(a, b);
        if (d < overhead_) overhead_ = d;
    }
    // Rate: the difference between two loop lengths cancels the call and read overhead.
    constexpr uint32_t kShort = 100000, kLong = 1100000;  // 2 000 000 instructions apart
    uint32_t a = now();
    spin(kShort);
    uint32_t b = now();
    const uint32_t shortTicks = elapsed(a, b);
    a = now();
    spin(kLong);
    b = now();
    const uint32_t longTicks = elapsed(a, b);
    const uint32_t diff = longTicks - shortTicks;
    perTick_ = diff ? (2u * (kLong - kShort) + diff / 2) / diff : 0;
}

}  // namespace target
