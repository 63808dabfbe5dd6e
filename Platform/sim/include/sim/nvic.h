// Interrupt controller of the simulated Cortex-M4: priorities, pending and enable
// bits, active nesting and PRIMASK.
//
// Priorities are kept as the 8-bit register value with the chip's 4 implemented bits
// in the upper nibble; the priority grouping splits them into a pre-emption (group)
// part and a sub-priority part exactly as the core does. An exception pre-empts only
// when its group priority is numerically lower than the current execution priority;
// among the pending ones the lowest full priority wins, then the lowest number.
#pragma once

#include <cstdint>

namespace sim {

constexpr int kFirstIrq = -16;      // exception numbers from -16 (core) ...
constexpr int kIrqSlots = 16 + 96;  // ... to 95 (device)
constexpr int kSysTickIrq = -1;
constexpr int kPendSVIrq = -2;
constexpr std::uint32_t kNoPriority = 0x100;  // above every real priority: thread mode

class Nvic {
  public:
    Nvic();

    static bool valid(int irq) { return irq >= kFirstIrq && irq < kFirstIrq + kIrqSlots; }

    // Priority as stored by the core (upper 4 bits significant).
    void set_priority_register(int irq, std::uint8_t value);
    std::uint8_t priority_register(int irq) const { return prio_[slot(irq)]; }
    // The HAL's view: pre-emption and sub-priority under the current grouping.
    void set_priority(int irq, std::uint32_t preempt, std::uint32_t sub);
    std::uint32_t preempt_priority(int irq) const;

    // AIRCR.PRIGROUP (0..7).
    void set_priority_grouping(std::uint32_t group) {
        prigroup_ = group & 7;
        ++version_;
    }
    std::uint32_t priority_grouping() const { return prigroup_; }

    void enable(int irq);
    void disable(int irq);
    bool enabled(int irq) const { return bit(enabled_, slot(irq)); }
    void set_pending(int irq);
    void clear_pending(int irq);
    bool pending(int irq) const { return bit(pending_, slot(irq)); }
    bool active(int irq) const { return bit(active_, slot(irq)); }
    bool any_pending() const { return pending_count_ != 0; }
    // Enable and pending bits of device interrupts 32 w .. 32 w + 31, as the
    // NVIC's ISER/ISPR words show them.
    std::uint32_t enabled_word(int w) const { return device_word(enabled_, w); }
    std::uint32_t pending_word(int w) const { return device_word(pending_, w); }
    // Counts changes of enable, pending and grouping state (for register mirrors).
    std::uint64_t version() const { return version_; }

    // BASEPRI (register value, 0 = off) raises the execution priority like an
    // active handler would; PRIMASK masks every configurable exception.
    void set_basepri(std::uint8_t v) { basepri_ = static_cast<std::uint8_t>(v & 0xF0); }
    std::uint8_t basepri() const { return basepri_; }
    bool primask() const { return primask_; }
    void set_primask(bool on) { primask_ = on; }

    // Group priority of the running context (kNoPriority in thread mode), PRIMASK
    // not included.
    std::uint32_t execution_priority() const;

    // The pending, enabled exception that would be taken now, or kNone. With
    // `ignore_primask` it answers the wake-up question of WFI, which PRIMASK does not
    // block.
    static constexpr int kNone = 0x7fffffff;
    int next_to_take(bool ignore_primask) const;
    // Whether `irq`, if it became pending, would pre-empt the running context
    // (PRIMASK not included).
    bool would_preempt(int irq) const { return group_of(prio_[slot(irq)]) < execution_priority(); }

    // Nesting bookkeeping, done by the dispatcher around each handler call.
    void enter(int irq);
    void leave(int irq);
    int depth() const { return depth_; }
    int active_at(int level) const { return stack_[level]; }

  private:
    static int slot(int irq) { return irq - kFirstIrq; }
    std::uint32_t group_of(std::uint8_t reg) const;

    static constexpr int kWords = (kIrqSlots + 63) / 64;
    static bool bit(const std::uint64_t *w, int s) { return (w[s >> 6] >> (s & 63)) & 1u; }
    static std::uint32_t device_word(const std::uint64_t *bits, int w) {
        const int first = 16 + 32 * w;  // slot of device interrupt 32 w
        const int shift = first & 63;
        std::uint64_t v = bits[first >> 6] >> shift;
        if (shift > 32 && (first >> 6) + 1 < kWords)
            v |= bits[(first >> 6) + 1] << (64 - shift);
        return static_cast<std::uint32_t>(v);
    }
    static void put(std::uint64_t *w, int s, bool v) {
        const std::uint64_t m = std::uint64_t{1} << (s & 63);
        w[s >> 6] = v ? (w[s >> 6] | m) : (w[s >> 6] & ~m);
    }

    std::uint8_t prio_[kIrqSlots];
    std::uint64_t enabled_[kWords];
    std::uint64_t pending_[kWords];
    std::uint64_t active_[kWords];
    int pending_count_ = 0;
    std::uint64_t version_ = 0;
    std::uint32_t prigroup_ = 0;
    bool primask_ = false;
    std::uint8_t basepri_ = 0;
    int stack_[kIrqSlots + 1];
    std::uint32_t stack_prio_[kIrqSlots + 1];
    int depth_ = 0;
};

}  // namespace sim
