#include "sim/tim.h"

#include <cstddef>
#include <string>

#include "sim/handle.h"
#include "sim/rcc.h"
#include "sim/register_look.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

struct TimerInfo {
    TIM_TypeDef *regs;
    const char *name;
    IRQn_Type irq;
    std::uint64_t counter_max;  // 16-bit counters, TIM2 is 32-bit
    int apb;                    // bus whose timer clock drives it
};

const TimerInfo kTimers[] = {
    {&TIM1_regs, "TIM1", TIM1_UP_TIM16_IRQn, 0xFFFFu, 2},
    {&TIM2_regs, "TIM2", TIM2_IRQn, 0xFFFFFFFFu, 1},
    {&TIM6_regs, "TIM6", TIM6_DAC_IRQn, 0xFFFFu, 1},
    {&TIM7_regs, "TIM7", TIM7_IRQn, 0xFFFFu, 1},
    {&TIM15_regs, "TIM15", TIM1_BRK_TIM15_IRQn, 0xFFFFu, 2},
    {&TIM16_regs, "TIM16", TIM1_UP_TIM16_IRQn, 0xFFFFu, 2},
};
const RccEnable kTimerClocks[] = {
    {RccBus::Apb2, RCC_APB2ENR_TIM1EN},  {RccBus::Apb1, RCC_APB1ENR1_TIM2EN},
    {RccBus::Apb1, RCC_APB1ENR1_TIM6EN}, {RccBus::Apb1, RCC_APB1ENR1_TIM7EN},
    {RccBus::Apb2, RCC_APB2ENR_TIM15EN}, {RccBus::Apb2, RCC_APB2ENR_TIM16EN},
};
constexpr int kTimerCount = 6;

class TimerModel final : public Board::Model, public EventSink {
  public:
    explicit TimerModel(Board &b) : b_(b) {}

    struct Timer {
        bool running = false;
        // The counter held `anchor_count` exactly `anchor_cycles` timer clocks after
        // `base`, on a prescaler edge. Event times are computed from `base`, so
        // periods that are not whole nanoseconds never accumulate rounding.
        Time base = 0;
        std::uint32_t hz =
            48000000;  // timer clock since `base` (a clock change applies from the next start)
        std::uint64_t anchor_cycles = 0;
        std::uint64_t anchor_count = 0;
        std::uint32_t psc = 0;  // prescaler in effect
        std::uint32_t arr = 0;  // auto-reload in effect
        // What the look last saw; SMCR with DIER and ARR with RCR side by side as in
        // the registers, so that the quiet look compares them as 64-bit words.
        std::uint32_t seen_cr1 = 0, seen_cnt = 0;
        std::uint32_t seen_smcr = 0, seen_dier = 0;
        std::uint32_t seen_arr = 0, seen_rcr = 0;
        std::uint32_t sr = 0;  // status flags as the hardware holds them
        std::uint64_t gen = 0;
        Time next_update = kNever;
        std::uint64_t pending_ticks = 0;  // counter ticks from the anchor to the next update
        std::uint64_t lost_updates = 0;   // updates while the flag of the last was still set
        // CNT shows the count until `count_until` while the counting is that of
        // generation `count_gen` (see settle()).
        std::uint64_t count_gen = ~std::uint64_t{0};
        Time count_until = 0;
    };
    Timer t_[kTimerCount];

    // Timer clocks of `k` counter ticks.
    static std::uint64_t cycles(const Timer &t, std::uint64_t k) {
        return k * (static_cast<std::uint64_t>(t.psc) + 1u);
    }

    // Time of counter tick `k` after the anchor.
    Time tick_time(const Timer &t, std::uint64_t k) const {
        return t.base + scaled_ceil(t.anchor_cycles + cycles(t, k), 1000000000u, t.hz);
    }

    // Counter value now (counter ticks completed since the anchor).
    std::uint64_t count_now(int i) const {
        const Timer &t = t_[i];
        const std::uint64_t elapsed_cycles = clocks_in(b_.now() - t.base, t.hz);
        const std::uint64_t since_anchor =
            elapsed_cycles > t.anchor_cycles ? elapsed_cycles - t.anchor_cycles : 0u;
        return t.anchor_count + since_anchor / (static_cast<std::uint64_t>(t.psc) + 1u);
    }

    // Counting restarts from the present instant.
    void rebase(Timer &t) {
        t.base = b_.now();
        t.anchor_cycles = 0;
        const std::uint32_t hz = rcc_timer_hz(kTimers[&t - t_].apb);
        t.hz = hz ? hz : 1u;
    }

    // Called after every start and stop, and after every change of how a running
    // timer counts (anchor, prescaler, clock): the new generation makes earlier
    // update events and the counter shown by settle() stale.
    void schedule(int i) {
        Timer &t = t_[i];
        running_ = t.running ? running_ | (1u << i) : running_ & ~(1u << i);
        ++t.gen;
        if (!t.running) {
            t.next_update = kNever;
            return;
        }
        // Ticks until the counter passes ARR (running past the maximum first when
        // it is already beyond ARR).
        std::uint64_t ticks;
        if (t.anchor_count <= t.arr) {
            ticks = static_cast<std::uint64_t>(t.arr) - t.anchor_count + 1u;
        } else {
            ticks = (kTimers[i].counter_max + 1u - t.anchor_count) +
                    static_cast<std::uint64_t>(t.arr) + 1u;
        }
        t.pending_ticks = ticks;
        t.next_update = tick_time(t, ticks);
        b_.sched().schedule(t.next_update, this, (t.gen << 3) | static_cast<std::uint64_t>(i));
    }

    // rc_w0 flags: the firmware clears a flag by writing 0 to it and ones have no
    // effect, so whatever it stored is and-ed into the flags the hardware holds.
    void sync_sr(int i) {
        TIM_TypeDef *r = kTimers[i].regs;
        Timer &t = t_[i];
        const std::uint32_t sr = r->SR;
        if (sr != t.sr) {
            t.sr &= sr;
            r->SR = t.sr;
        }
    }

    void set_flag(int i, std::uint32_t f) {
        sync_sr(i);
        t_[i].sr |= f;
        kTimers[i].regs->SR = t_[i].sr;
        if (line(i))
            b_.nvic().set_pending(kTimers[i].irq);
    }

    bool line(int i) {
        sync_sr(i);
        return (t_[i].sr & kTimers[i].regs->DIER & TIM_DIER_UIE) != 0;
    }

    void use(int i) { in_use_.add(i); }

    // Only timers the firmware can have written (sim/rcc.h).
    void watch() override { watch_timers(in_use_.mask()); }
    void watch_all() { watch_timers((1u << kTimerCount) - 1u); }

    // Picks up register writes made by the firmware directly (enable bit, interrupt
    // enable, an immediate auto-reload change).
    void watch_timers(std::uint32_t which) {
        for (; which; which &= which - 1) {
            const int i = __builtin_ctz(which);
            const TIM_TypeDef *r = kTimers[i].regs;
            const Timer &t = t_[i];
            if (((r->CR1 ^ t.seen_cr1) | (r->CNT ^ t.seen_cnt) | (r->SR ^ t.sr) |
                 byte_diff<8>(&r->SMCR, &t.seen_smcr) | byte_diff<8>(&r->ARR, &t.seen_arr)) != 0)
                look(i);
        }
    }

    // A timer with something written since the last look.
    __attribute__((noinline)) void look(int i) {
        TIM_TypeDef *r = kTimers[i].regs;
        Timer &t = t_[i];
        const std::uint32_t cr1 = r->CR1, arr = r->ARR, dier = r->DIER, cnt = r->CNT;
        const std::uint32_t smcr = r->SMCR, rcr = r->RCR;
        check_not_modelled(i, cr1, dier, smcr, rcr);
        t.seen_smcr = smcr;
        t.seen_rcr = rcr;
        sync_sr(i);
        if (cnt != t.seen_cnt) {
            // The firmware wrote the counter: counting goes on from that value.
            t.anchor_count = cnt & kTimers[i].counter_max;
            t.seen_cnt = cnt;
            rebase(t);
            if (t.running)
                schedule(i);
        }
        const bool was = t.running;
        const bool now_running = (cr1 & TIM_CR1_CEN) != 0;
        if (now_running && !was) {
            // The counter resumes from where it stopped (0 after a reset or an
            // update generation).
            t.running = true;
            rebase(t);
            if (!(cr1 & TIM_CR1_ARPE))
                t.arr = arr;
            schedule(i);
        } else if (!now_running && was) {
            t.anchor_count = count_now(i);
            r->CNT = static_cast<std::uint32_t>(t.anchor_count);
            t.seen_cnt = r->CNT;
            t.running = false;
            schedule(i);
        } else if (now_running && arr != t.seen_arr && !(cr1 & TIM_CR1_ARPE)) {
            // Immediate auto-reload: re-anchor at the current count.
            const std::uint64_t c = count_now(i);
            t.anchor_cycles += cycles(t, c - t.anchor_count);
            t.anchor_count = c;
            t.arr = arr;
            schedule(i);
        }
        if ((dier & ~t.seen_dier) && line(i))
            b_.nvic().set_pending(kTimers[i].irq);
        t.seen_cr1 = cr1;
        t.seen_arr = arr;
        t.seen_dier = dier;
    }

    // Counting modes, slave modes, the repetition counter and every interrupt or
    // DMA request but the update interrupt would make the chip do what this model
    // does not: setting one halts the board with its name.
    void check_not_modelled(int i, std::uint32_t cr1, std::uint32_t dier, std::uint32_t smcr,
                            std::uint32_t rcr) {
        const Timer &t = t_[i];
        static const struct {
            int reg;  // 0 CR1, 1 DIER, 2 SMCR
            std::uint32_t mask;
            const char *name;
        } kBits[] = {
            {0, TIM_CR1_DIR, "CR1 DIR (down-counting)"},
            {0, TIM_CR1_CMS, "CR1 CMS (centre-aligned counting)"},
            {2, TIM_SMCR_SMS, "SMCR SMS (slave mode)"},
            {2, TIM_SMCR_ECE, "SMCR ECE (external clock)"},
            {1, TIM_DIER_CC1IE, "DIER CC1IE (compare interrupt)"},
            {1, TIM_DIER_CC2IE, "DIER CC2IE (compare interrupt)"},
            {1, TIM_DIER_CC3IE, "DIER CC3IE (compare interrupt)"},
            {1, TIM_DIER_CC4IE, "DIER CC4IE (compare interrupt)"},
            {1, TIM_DIER_COMIE, "DIER COMIE (commutation interrupt)"},
            {1, TIM_DIER_TIE, "DIER TIE (trigger interrupt)"},
            {1, TIM_DIER_BIE, "DIER BIE (break interrupt)"},
            {1, 0x7Fu * TIM_DIER_UDE,  // UDE, CC1DE to CC4DE, COMDE, TDE
             "DIER DMA requests"},
        };
        const std::uint32_t now[3] = {cr1, dier, smcr};
        const std::uint32_t before[3] = {t.seen_cr1, t.seen_dier, t.seen_smcr};
        for (const auto &k : kBits) {
            if ((now[k.reg] & k.mask) && !(before[k.reg] & k.mask))
                b_.halt(std::string(kTimers[i].name) + " " + k.name +
                        " is not modelled by the simulated board");
        }
        if (rcr != 0 && t.seen_rcr == 0)
            b_.halt(std::string(kTimers[i].name) +
                    " RCR (repetition counter) is not modelled by the simulated board");
    }

    void on_event(Time when, std::uint64_t tag) override {
        const int i = static_cast<int>(tag & 7u);
        Timer &t = t_[i];
        if ((tag >> 3) != (t.gen & ((~0ull) >> 3)))
            return;
        TIM_TypeDef *r = kTimers[i].regs;
        (void)when;
        // Update event: the counter restarts from 0 with the preloaded values.
        t.anchor_cycles += cycles(t, t.pending_ticks);
        rebase_exact(t.base, t.anchor_cycles, t.hz);
        t.anchor_count = 0;
        t.psc = r->PSC & 0xFFFFu;
        t.arr = r->ARR;
        if (!(r->CR1 & TIM_CR1_UDIS)) {
            sync_sr(i);
            if ((t.sr & TIM_SR_UIF) && (r->DIER & TIM_DIER_UIE))
                ++t.lost_updates;
            set_flag(i, TIM_SR_UIF);
        }
        if (r->CR1 & TIM_CR1_OPM) {
            r->CR1 &= ~TIM_CR1_CEN;
            t.seen_cr1 = r->CR1;
            t.running = false;
        }
        schedule(i);
    }

    // After time has moved: the counters of running timers show the present count.
    // A counter ticks far more slowly than the core makes calls, so the time of
    // its next tick is kept: until then, with the counting unchanged and CNT still
    // as last shown, the count is the one shown.
    void settle() override {
        const Time now = b_.now();
        for (std::uint32_t which = running_; which; which &= which - 1) {
            const int i = __builtin_ctz(which);
            Timer &t = t_[i];
            if (now < t.count_until && t.count_gen == t.gen && kTimers[i].regs->CNT == t.seen_cnt)
                continue;
            const std::uint64_t count = count_now(i);
            // The counters are 16 or 32 bits wide: the count wraps at a power of two.
            const auto cnt = static_cast<std::uint32_t>(count & kTimers[i].counter_max);
            kTimers[i].regs->CNT = cnt;
            t.seen_cnt = cnt;
            // The next tick: the first instant at which count_now() passes `count`.
            t.count_gen = t.gen;
            t.count_until = tick_time(t, count - t.anchor_count + 1u);
        }
    }

    // Software update (UG): reload prescaler and auto-reload, restart the counter.
    void generate_update(int i, bool set_uif) {
        TIM_TypeDef *r = kTimers[i].regs;
        Timer &t = t_[i];
        t.psc = r->PSC & 0xFFFFu;
        t.arr = r->ARR;
        rebase(t);
        t.anchor_count = 0;
        r->CNT = 0;
        t.seen_cnt = 0;
        if (set_uif)
            set_flag(i, TIM_SR_UIF);
        if (t.running)
            schedule(i);
    }

    Board &b_;
    InstancesInUse in_use_{kTimerClocks, kTimerCount};
    std::uint32_t running_ = 0;
};

static_assert(offsetof(TIM_TypeDef, DIER) == offsetof(TIM_TypeDef, SMCR) + 4 &&
                  offsetof(TIM_TypeDef, RCR) == offsetof(TIM_TypeDef, ARR) + 4,
              "the quiet look's 64-bit words: SMCR then DIER, ARR then RCR");

TimerModel &model() {
    return board().model<TimerModel>();
}

int timer_index(const TIM_TypeDef *r) {
    for (int i = 0; i < kTimerCount; ++i)
        if (kTimers[i].regs == r)
            return i;
    return -1;
}

}  // namespace

std::uint64_t tim_lost_updates(const TIM_TypeDef *timer) {
    const int i = timer_index(timer);
    return i < 0 ? 0 : model().t_[i].lost_updates;
}

void install_timers(Board &b) {
    TimerModel &m = b.model<TimerModel>();
    for (int i = 0; i < kTimerCount; ++i) {
        m.t_[i].seen_arr = kTimers[i].regs->ARR;
        m.t_[i].arr = kTimers[i].regs->ARR;
    }
    b.add_watcher(m);
    b.add_settler(m);
    // TIM1 and TIM16 share one line, so the level is the OR of both.
    b.set_level_source(TIM1_UP_TIM16_IRQn, [&m] { return m.line(0) || m.line(5); });
    b.set_level_source(TIM2_IRQn, [&m] { return m.line(1); });
    b.set_level_source(TIM6_DAC_IRQn, [&m] { return m.line(2); });
    b.set_level_source(TIM7_IRQn, [&m] { return m.line(3); });
    b.set_level_source(TIM1_BRK_TIM15_IRQn, [&m] { return m.line(4); });
    for (int i = 0; i < kTimerCount; ++i) {
        b.add_wake_source(WakeSource{[&m, i] {
                                         return m.t_[i].running &&
                                                (kTimers[i].regs->DIER & TIM_DIER_UIE) != 0 &&
                                                !(kTimers[i].regs->CR1 & TIM_CR1_UDIS);
                                     },
                                     kTimers[i].irq});
    }
}

}  // namespace sim

using sim::model;
using sim::timer_index;

extern "C" {

HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    if (htim != nullptr)
        sim::require_instance(htim, "HAL_TIM_Base_Init");
    return sim::tim_init(htim, HAL_TIM_Base_MspInit);
}

}  // extern "C"

namespace sim {

// Time-base set-up shared by the base, output-compare and PWM initialisations.
HAL_StatusTypeDef tim_init(TIM_HandleTypeDef *htim, void (*msp)(TIM_HandleTypeDef *)) {
    if (htim == nullptr)
        return HAL_ERROR;
    const int i = timer_index(htim->Instance);
    if (i < 0)
        return HAL_ERROR;
    if (htim->State == HAL_TIM_STATE_RESET) {
        htim->Lock = HAL_UNLOCKED;
        {
            const sim::FirmwareCode firmware;
            msp(htim);
        }
    }
    htim->State = HAL_TIM_STATE_BUSY;
    TIM_TypeDef *r = htim->Instance;
    model().use(i);
    model().watch_all();  // settle anything written before
    uint32_t cr1 = r->CR1;
    cr1 &= ~(TIM_CR1_DIR | TIM_CR1_CMS | TIM_CR1_CKD | TIM_CR1_ARPE);
    if (r != &TIM6_regs && r != &TIM7_regs)
        cr1 |= htim->Init.CounterMode | htim->Init.ClockDivision;
    cr1 |= htim->Init.AutoReloadPreload;
    r->CR1 = cr1;
    r->ARR = htim->Init.Period;
    r->PSC = htim->Init.Prescaler;
    if (r == &TIM1_regs || r == &TIM15_regs || r == &TIM16_regs)
        r->RCR = htim->Init.RepetitionCounter;
    model().watch_all();
    // The update generated to load the prescaler sets the update flag, which the
    // HAL clears again: the first period elapses a full period after the start.
    model().generate_update(i, false);
    for (auto &s : htim->ChannelState) s = HAL_TIM_CHANNEL_STATE_READY;
    for (auto &s : htim->ChannelNState) s = HAL_TIM_CHANNEL_STATE_READY;
    htim->DMABurstState = HAL_DMA_BURST_STATE_READY;
    htim->State = HAL_TIM_STATE_READY;
    return HAL_OK;
}

void tim_sync() {
    model().watch_all();
}

}  // namespace sim

extern "C" {

HAL_StatusTypeDef HAL_TIM_Base_DeInit(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_Base_DeInit");
    if (timer_index(htim->Instance) < 0)
        return HAL_OK;
    htim->State = HAL_TIM_STATE_BUSY;
    __HAL_TIM_DISABLE(htim);
    {
        const sim::FirmwareCode firmware;
        HAL_TIM_Base_MspDeInit(htim);
    }
    for (auto &s : htim->ChannelState) s = HAL_TIM_CHANNEL_STATE_RESET;
    for (auto &s : htim->ChannelNState) s = HAL_TIM_CHANNEL_STATE_RESET;
    htim->DMABurstState = HAL_DMA_BURST_STATE_RESET;
    htim->State = HAL_TIM_STATE_RESET;
    __HAL_UNLOCK(htim);
    model().watch_all();
    return HAL_OK;
}

__weak void HAL_TIM_Base_MspInit(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_Base_MspDeInit(TIM_HandleTypeDef *htim) {
    (void)htim;
}

HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    if (htim->State != HAL_TIM_STATE_READY)
        return HAL_ERROR;
    sim::require_instance(htim, "HAL_TIM_Base_Start");
    if (timer_index(htim->Instance) < 0)
        return HAL_ERROR;
    htim->State = HAL_TIM_STATE_BUSY;
    __HAL_TIM_ENABLE(htim);
    model().watch_all();
    return HAL_OK;
}

// Stopping a handle whose instance was never set (a timer never initialised)
// faults, as the vendor's stop writes through it.
HAL_StatusTypeDef HAL_TIM_Base_Stop(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_Base_Stop");
    if (timer_index(htim->Instance) < 0)
        return HAL_OK;
    __HAL_TIM_DISABLE(htim);
    htim->State = HAL_TIM_STATE_READY;
    model().watch_all();
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    if (htim->State != HAL_TIM_STATE_READY)
        return HAL_ERROR;
    sim::require_instance(htim, "HAL_TIM_Base_Start_IT");
    if (timer_index(htim->Instance) < 0)
        return HAL_ERROR;
    htim->State = HAL_TIM_STATE_BUSY;
    __HAL_TIM_ENABLE_IT(htim, TIM_IT_UPDATE);
    __HAL_TIM_ENABLE(htim);
    model().watch_all();
    sim::board().take_interrupts();
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_Base_Stop_IT(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_Base_Stop_IT");
    if (timer_index(htim->Instance) < 0)
        return HAL_OK;
    __HAL_TIM_DISABLE_IT(htim, TIM_IT_UPDATE);
    __HAL_TIM_DISABLE(htim);
    htim->State = HAL_TIM_STATE_READY;
    model().watch_all();
    return HAL_OK;
}

HAL_StatusTypeDef HAL_TIM_GenerateEvent(TIM_HandleTypeDef *htim, uint32_t EventSource) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_GenerateEvent");
    const int i = timer_index(htim->Instance);
    if (i < 0)
        return HAL_ERROR;
    if (htim->State == HAL_TIM_STATE_BUSY)
        return HAL_BUSY;
    if (EventSource & TIM_EGR_UG) {
        model().watch_all();
        model().generate_update(i, !(htim->Instance->CR1 & TIM_CR1_URS));
        sim::board().take_interrupts();
    }
    return HAL_OK;
}

// As the vendor HAL for the update event; the capture/compare, break, trigger and
// commutation flags are never raised by this board.
void HAL_TIM_IRQHandler(TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    sim::require_instance(htim, "HAL_TIM_IRQHandler");
    const int i = timer_index(htim->Instance);
    if (i < 0)
        return;
    model().sync_sr(i);
    TIM_TypeDef *r = htim->Instance;
    if ((r->SR & TIM_SR_UIF) && (r->DIER & TIM_DIER_UIE)) {
        r->SR = r->SR & ~TIM_SR_UIF;
        model().sync_sr(i);
        {
            const sim::FirmwareCode firmware;
            HAL_TIM_PeriodElapsedCallback(htim);
        }
    }
}

__weak void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_PeriodElapsedHalfCpltCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_OC_DelayElapsedCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_IC_CaptureCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_PWM_PulseFinishedCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_TriggerCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}
__weak void HAL_TIM_ErrorCallback(TIM_HandleTypeDef *htim) {
    (void)htim;
}

HAL_TIM_StateTypeDef HAL_TIM_Base_GetState(const TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    return htim->State;
}
HAL_TIM_StateTypeDef HAL_TIM_OC_GetState(const TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    return htim->State;
}
HAL_TIM_StateTypeDef HAL_TIM_PWM_GetState(const TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    return htim->State;
}
HAL_TIM_ActiveChannel HAL_TIM_GetActiveChannel(const TIM_HandleTypeDef *htim) {
    const sim::HalCall hal_call;
    return htim->Channel;
}
HAL_TIM_ChannelStateTypeDef HAL_TIM_GetChannelState(const TIM_HandleTypeDef *htim,
                                                    uint32_t Channel) {
    const sim::HalCall hal_call;
    return htim->ChannelState[(Channel >> 2) % 6u];
}

}  // extern "C"
