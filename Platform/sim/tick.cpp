// Accounting of the firmware's tick, the TIM7 update interrupt: how long each tick
// ran against the timer's period. A tick that runs longer than its period has
// overrun it: the next update was due while it still ran (one update flag holds
// one period; updates beyond it are lost). Overruns are traced as they happen
// (`tick_overrun`) and the summary gives the worst tick, the overruns with their
// lengths and the updates lost.
#include <cstdio>
#include <string>

#include "sim/devices.h"
#include "sim/rcc.h"
#include "sim/tim.h"

namespace sim {

namespace {

constexpr std::size_t kListedOverruns = 10;

std::string ms(Time ns) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu.%06llu ms", static_cast<unsigned long long>(ns / 1000000u),
                  static_cast<unsigned long long>(ns % 1000000u));
    return buf;
}

class TickAccounting final : public Board::Model {
  public:
    explicit TickAccounting(Board &b) : b_(b) {
        b_.set_irq_exit_observer(&TickAccounting::exit_observer);
        b_.add_finisher([this] { summarise(); });
    }

  private:
    static void exit_observer(int irq, Time entry, Time dur) {
        if (irq == TIM7_IRQn)
            board().model<TickAccounting>().tick(entry, dur);
    }

    void tick(Time entry, Time dur) {
        ++ticks_;
        if (dur > worst_) {
            worst_ = dur;
            worst_at_ = entry;
        }
        if (firing_within(entry, entry + dur))
            firing_tick_ = true;
        else if (dur > worst_other_) {
            worst_other_ = dur;
            worst_other_at_ = entry;
        }
        const Time period = scaled_ceil(((TIM7_regs.PSC & 0xFFFFu) + 1ull) * (TIM7_regs.ARR + 1ull),
                                        1000000000u, rcc_timer_hz(1));
        period_ = period;
        if (dur <= period)
            return;
        ++overruns_;
        if (listed_count_++ < kListedOverruns)
            listed_ +=
                std::string(listed_.empty() ? "" : "; ") + format_seconds(entry) + " " + ms(dur);
        if (dur > longest_) {
            longest_ = dur;
            longest_at_ = entry;
        }
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "tick_overrun")
                .field("irq", "TIM7")
                .field("entered", entry)
                .field("dur_ns", dur)
                .field("period_ns", period)
                .end();
    }

    void summarise() {
        if (ticks_ == 0)
            return;
        b_.summary().note("tick", "TIM7 every " + ms(period_) + ", " + std::to_string(ticks_) +
                                      " ticks, worst " + ms(worst_) + " (entered at " +
                                      format_seconds(worst_at_) + "), " +
                                      std::to_string(overruns_) + " overruns, " +
                                      std::to_string(tim_lost_updates(TIM7)) + " updates lost" +
                                      (firing_tick_ ? "; worst outside the firing's tick " +
                                                          ms(worst_other_) + " (entered at " +
                                                          format_seconds(worst_other_at_) + ")"
                                                    : ""));
        if (overruns_ != 0)
            b_.summary().note("tick overruns", "longest " + ms(longest_) + " (entered at " +
                                                   format_seconds(longest_at_) + "); " +
                                                   "first ones: " + listed_);
    }

    Board &b_;
    std::uint64_t ticks_ = 0, overruns_ = 0;
    Time worst_ = 0, worst_at_ = 0, longest_ = 0, longest_at_ = 0, period_ = 0;
    Time worst_other_ = 0, worst_other_at_ = 0;  // of the ticks the firing was not in
    bool firing_tick_ = false;
    std::string listed_;
    std::size_t listed_count_ = 0;
};

}  // namespace

void install_tick_accounting(Board &b) {
    b.model<TickAccounting>();
}

}  // namespace sim
