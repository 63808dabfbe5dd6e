#include "sim/systick.h"

#include "stm32l4xx.h"

namespace sim {

namespace {

class SysTickModel final : public Board::Model, public EventSink {
  public:
    explicit SysTickModel(Board &b) : b_(b) {}

    // Register watcher: cheap comparison, reschedule only on change.
    void watch() override {
        const std::uint32_t ctrl =
            SysTick_regs.CTRL &
            (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk | SysTick_CTRL_CLKSOURCE_Msk);
        const std::uint32_t load = SysTick_regs.LOAD & SysTick_LOAD_RELOAD_Msk;
        // Counts the core clock, or the core clock / 8 without CLKSOURCE.
        const std::uint32_t hz =
            (ctrl & SysTick_CTRL_CLKSOURCE_Msk) ? b_.core_hz() : b_.core_hz() / 8u;
        if (ctrl == ctrl_ && load == load_ && hz == hz_)
            return;
        const bool was_running = (ctrl_ & SysTick_CTRL_ENABLE_Msk) != 0;
        const bool running = (ctrl & SysTick_CTRL_ENABLE_Msk) != 0;
        const bool restart = !was_running || load != load_ || hz != hz_;
        ctrl_ = ctrl;
        load_ = load;
        hz_ = hz ? hz : 1u;
        if (!running || load == 0) {
            ++gen_;  // stopped: pending wrap events are stale
            return;
        }
        if (restart) {
            // Counting starts now; a TICKINT-only change keeps the running phase.
            ++gen_;
            anchor_ = b_.now();
            wraps_ = 0;
            schedule_next();
        }
    }

    bool may_raise() const {
        return (ctrl_ & (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk)) ==
                   (SysTick_CTRL_ENABLE_Msk | SysTick_CTRL_TICKINT_Msk) &&
               load_ != 0;
    }

    // The current value counts down from LOAD once per clock; firmware that times
    // short intervals with it sees it move.
    void settle() override {
        if (!(ctrl_ & SysTick_CTRL_ENABLE_Msk) || load_ == 0)
            return;
        const std::uint64_t period = static_cast<std::uint64_t>(load_) + 1u;
        const std::uint64_t elapsed = clocks_in(b_.now() - anchor_, hz_);
        const std::uint64_t into_period = elapsed % period;
        SysTick_regs.VAL = static_cast<std::uint32_t>(into_period ? period - into_period : 0u);
    }

    void on_event(Time, std::uint64_t tag) override {
        if (tag != gen_)
            return;
        ++wraps_;
        std::uint64_t cycles = wraps_ * (static_cast<std::uint64_t>(load_) + 1u);
        if (rebase_exact(anchor_, cycles, hz_))
            wraps_ = 0;
        SysTick_regs.CTRL |= SysTick_CTRL_COUNTFLAG_Msk;
        if (ctrl_ & SysTick_CTRL_TICKINT_Msk)
            b_.nvic().set_pending(kSysTickIrq);
        schedule_next();
    }

  private:
    void schedule_next() {
        // Wrap k happens after k * (LOAD + 1) core clocks, computed from the anchor
        // so that a period that is not a whole number of nanoseconds never drifts.
        const Time at =
            anchor_ +
            scaled_ceil((wraps_ + 1) * (static_cast<std::uint64_t>(load_) + 1u), 1000000000u, hz_);
        b_.sched().schedule(at, this, gen_);
    }

    Board &b_;
    std::uint32_t ctrl_ = 0;
    std::uint32_t load_ = 0;
    std::uint32_t hz_ = 0;
    std::uint64_t gen_ = 0;
    std::uint64_t wraps_ = 0;
    Time anchor_ = 0;
};

}  // namespace

void install_systick(Board &b) {
    SysTickModel &m = b.model<SysTickModel>();
    b.add_watcher(m);
    b.add_settler(m);
    b.add_wake_source(WakeSource{[&m] { return m.may_raise(); }, kSysTickIrq});
}

void systick_sync(Board &b) {
    b.model<SysTickModel>().watch();
}

}  // namespace sim
