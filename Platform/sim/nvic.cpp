#include "sim/nvic.h"

#include <cstring>

namespace sim {

namespace {
constexpr std::uint32_t kImplementedBits = 4;  // STM32L4: 16 priority levels
}

Nvic::Nvic() {
    std::memset(prio_, 0, sizeof prio_);
    std::memset(enabled_, 0, sizeof enabled_);
    std::memset(pending_, 0, sizeof pending_);
    std::memset(active_, 0, sizeof active_);
    // Core exceptions that cannot be disabled at the controller; SysTick is gated by
    // its own TICKINT bit, PendSV by software only.
    put(enabled_, slot(kSysTickIrq), true);
    put(enabled_, slot(kPendSVIrq), true);
}

void Nvic::set_priority_register(int irq, std::uint8_t value) {
    prio_[slot(irq)] = static_cast<std::uint8_t>(value & 0xF0);
}

// Same encoding as the CMSIS NVIC_EncodePriority helper, for a 4-bit implementation.
void Nvic::set_priority(int irq, std::uint32_t preempt, std::uint32_t sub) {
    std::uint32_t g = prigroup_;
    std::uint32_t preempt_bits = (7 - g) > kImplementedBits ? kImplementedBits : 7 - g;
    std::uint32_t sub_bits = (g + kImplementedBits) < 7 ? 0 : g - 7 + kImplementedBits;
    std::uint32_t enc =
        ((preempt & ((1u << preempt_bits) - 1)) << sub_bits) | (sub & ((1u << sub_bits) - 1));
    set_priority_register(irq, static_cast<std::uint8_t>(enc << (8 - kImplementedBits)));
}

std::uint32_t Nvic::group_of(std::uint8_t reg) const {
    // PRIGROUP g: bits [7:g+1] are the group priority.
    std::uint32_t mask = (0xFFu << (prigroup_ + 1)) & 0xFFu;
    return reg & mask;
}

std::uint32_t Nvic::preempt_priority(int irq) const {
    std::uint32_t g = prigroup_;
    std::uint32_t sub_bits = (g + kImplementedBits) < 7 ? 0 : g - 7 + kImplementedBits;
    return (prio_[slot(irq)] >> (8 - kImplementedBits)) >> sub_bits;
}

void Nvic::enable(int irq) {
    put(enabled_, slot(irq), true);
    ++version_;
}
void Nvic::disable(int irq) {
    put(enabled_, slot(irq), false);
    ++version_;
}

void Nvic::set_pending(int irq) {
    if (!bit(pending_, slot(irq))) {
        put(pending_, slot(irq), true);
        ++pending_count_;
        ++version_;
    }
}

void Nvic::clear_pending(int irq) {
    if (bit(pending_, slot(irq))) {
        put(pending_, slot(irq), false);
        --pending_count_;
        ++version_;
    }
}

std::uint32_t Nvic::execution_priority() const {
    std::uint32_t p = depth_ == 0 ? kNoPriority : stack_prio_[depth_ - 1];
    if (basepri_ != 0) {
        std::uint32_t b = group_of(basepri_);
        if (b < p)
            p = b;
    }
    return p;
}

int Nvic::next_to_take(bool ignore_primask) const {
    if (pending_count_ == 0)
        return kNone;
    if (primask_ && !ignore_primask)
        return kNone;
    std::uint32_t exec = execution_priority();
    int best = kNone;
    std::uint32_t best_prio = 0x1FF;
    for (int w = 0; w < kWords; ++w) {
        std::uint64_t ready = pending_[w] & enabled_[w] & ~active_[w];
        while (ready) {
            const int s = w * 64 + __builtin_ctzll(ready);
            ready &= ready - 1;
            if (prio_[s] < best_prio) {  // strict: equal full priority keeps the lower number
                best_prio = prio_[s];
                best = s + kFirstIrq;
            }
        }
    }
    if (best == kNone)
        return kNone;
    if (group_of(static_cast<std::uint8_t>(best_prio)) >= exec)
        return kNone;
    return best;
}

void Nvic::enter(int irq) {
    clear_pending(irq);
    put(active_, slot(irq), true);
    // The running priority is the lowest group priority among the active handlers;
    // a nested handler always has a lower group value than the one it pre-empted.
    stack_[depth_] = irq;
    stack_prio_[depth_] = group_of(prio_[slot(irq)]);
    ++depth_;
}

void Nvic::leave(int irq) {
    put(active_, slot(irq), false);
    --depth_;
}

}  // namespace sim
