// The simulated board: clock, events, interrupt controller, trace, summary and the
// run's ending. One board exists at a time (`sim::board()`); the HAL functions the
// firmware calls reach it through that accessor, as firmware reaches the one chip.
//
// Firmware runs on the host thread. Interrupt handlers are called from inside the
// operations that take time (delays, blocking transmits, WFI, NOP): every advance of
// the clock delivers the events that fall due and then runs, nested, each pending
// interrupt that beats the current execution priority. The end of a run (run length
// reached, halt) unwinds back to the runner from wherever the firmware is.
#pragma once

#include <array>
#include <setjmp.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/nvic.h"
#include "sim/scheduler.h"
#include "sim/summary.h"
#include "sim/trace.h"

extern "C" std::uint32_t SystemCoreClock;  // the firmware's own variable (CMSIS)

namespace sim {

class Console;

// Hooks a peripheral model registers with the board.
struct WakeSource {
    // True while the model may still make `irq` pending at some future time (a
    // running timer, a reception with bytes on their way). WFI with no live source
    // that could beat the execution priority is a halt.
    std::function<bool()> may_raise;
    int irq;
};

class Board {
  public:
    Board();
    ~Board();
    Board(const Board &) = delete;
    Board &operator=(const Board &) = delete;

    // Everything not owned by the core (peripheral models) hangs off here and is torn
    // down with the board.
    struct Model {
        virtual ~Model() = default;
        // Registered with add_watcher / add_settler.
        virtual void watch() {}
        virtual void settle() {}
    };

    Scheduler &sched() { return sched_; }
    Nvic &nvic() { return nvic_; }
    Trace &trace() { return trace_; }
    Summary &summary() { return summary_; }
    Time now() const { return sched_.now(); }

    // Core clock in Hz (SystemCoreClock); NOP time and SysTick derive from it.
    std::uint32_t core_hz() const { return SystemCoreClock ? SystemCoreClock : 1; }

    // ---- time --------------------------------------------------------------
    // Moves the clock to `t` (or leaves it if already later), delivering events and
    // running interrupts on the way.
    void advance_to(Time t);
    void advance_by(Time dt) { advance_to(now() + dt); }
    // Delivers the earliest event (and the interrupts it makes runnable). Halts when
    // the queue is empty: nothing can ever change again.
    void advance_to_next_event(const char *waiting_in);
    // Delivers the events due at the present instant without running interrupts
    // (nothing can be enabled yet): used once, before the firmware starts.
    void deliver_events_at_reset() {
        while (!sched_.empty() && sched_.next_time() <= now()) sched_.run_next();
    }
    // One core clock (NOP).
    void core_cycle() { core_clocks(1); }
    // `n` clocks of the core at its present clock; N clocks take exactly N / f
    // seconds however they are split up.
    void core_clocks(std::uint32_t n);
    // The core stands still until `t` (a flash erase or program stalls every fetch
    // from flash, handlers included): events are delivered, interrupts only become
    // pending, and the ones that can run are taken when the stall ends.
    void stall_to(Time t);

    // ---- HAL calls ---------------------------------------------------------
    // Every call of a HAL function costs the core this many clocks (call, a few
    // loads and stores, return: a Cortex-M4 at zero wait states spends about that
    // on the shortest HAL calls). It is what lets a loop that polls HAL_GetTick()
    // or a flag through the HAL see time pass, as on the chip. What a HAL function
    // does inside (its own calls of other HAL functions, the polls of its waits)
    // is part of that one cost; interrupt handlers and the callbacks it runs are
    // firmware code again, whose HAL calls cost on their own. The time is counted
    // apart (hal_ns) so that bus times and latencies can be read without it.
    static constexpr std::uint32_t kHalCallClocks = 8;
    void hal_enter() {
        if (hal_depth_++ == 0 && !ended_) {
            // Called from firmware code: what it wrote since the last look is seen
            // before the call's time passes.
            stale_ = true;
            ++hal_calls_;
            const Time before = now();
            core_clocks(kHalCallClocks);
            hal_ns_ += now() - before;
        }
    }
    void hal_leave() {
        if (hal_depth_ > 0)
            --hal_depth_;
    }
    // Firmware code called from inside a HAL function (a handler, a callback):
    // its own HAL calls are charged again. Returns the depth to restore.
    unsigned enter_firmware_code() {
        const unsigned d = hal_depth_;
        hal_depth_ = 0;
        stale_ = true;
        return d;
    }
    void leave_firmware_code(unsigned depth) {
        hal_depth_ = depth;
        stale_ = true;
    }
    std::uint64_t hal_calls() const { return hal_calls_; }
    bool in_hal_call() const { return hal_depth_ > 0; }
    Time hal_ns() const { return hal_ns_; }
    // Runs pending interrupts that beat the execution priority (after PRIMASK or
    // priority changes, which take effect at once on the core).
    void take_interrupts() {
        if (nvic_.any_pending())
            dispatch();
    }
    void wait_for_interrupt();
    // PRIMASK cleared: what was held back runs now.
    void unmasked();

    // ---- interrupts --------------------------------------------------------
    using Handler = void (*)();
    // Level-sensitive sources re-pend their line when a handler returns with the
    // request still asserted (DMA flags, timer update flag).
    void set_level_source(int irq, std::function<bool()> asserted);
    void add_wake_source(WakeSource w) { wakers_.push_back(std::move(w)); }
    // Register watchers make direct register writes take effect: a model's
    // watch() runs whenever firmware code may have run since the last look (at
    // every call from the firmware, before time advances and after each handler).
    // Nothing else can write the registers in between, so a look with no firmware
    // code run since the last one is skipped.
    // The models are called through a direct call of their own watch() (bound
    // here, where the model's type is known) rather than a virtual one: the looks
    // run thousands of times a second.
    template <typename M>
    void add_watcher(M &m) {
        watchers_.push_back(Hook{[](Model &x) { static_cast<M &>(x).M::watch(); }, &m});
    }
    void run_watchers() {
        ++progress_;
        if (stop_flag_ && *stop_flag_)
            end_run(Ending::Interrupted, "stopped by a signal");
        if (!stale_)
            return;
        stale_ = false;
        look_then_take();
    }
    // A watcher that makes an interrupt takeable (a direct NVIC or SCB write) asks
    // for it here rather than taking it at once: the other watchers must first see
    // what the same stretch of firmware wrote (a timer's counter, say), or the
    // handler's run would bring their models up to date over those writes.
    void take_interrupts_after_look() { take_after_look_ = true; }
    // An entry from firmware code that is not a HAL call (an intrinsic): its
    // register writes are looked at before anything else happens.
    void firmware_ran() { stale_ = true; }
    void firmware_entry() {
        stale_ = true;
        run_watchers();
    }
    // The watchers' look without counting it as progress: the hang check's probe
    // of a loop that reads a register (an earlier write of the loop may be what
    // sets the flag it waits for).
    void look_at_registers() {
        stale_ = true;
        look_then_take();
        stale_ = false;
    }
    // Wall-clock waiting on purpose (pacing) is progress too: the hang check must
    // not take it for a firmware spinning.
    void note_progress() { ++progress_; }
    // Counts the firmware's calls into operations that take time; a count that stops
    // moving while the process runs means the firmware spins without letting time pass.
    std::uint64_t progress() const { return progress_; }
    // Settlers update registers that change with time (timer counters) once the
    // clock has moved, before firmware code runs again.
    template <typename M>
    void add_settler(M &m) {
        settlers_.push_back(Hook{[](Model &x) { static_cast<M &>(x).M::settle(); }, &m});
    }
    void run_settlers() {
        for (const Hook &h : settlers_) h.call(*h.model);
    }
    static const char *irq_name(int irq);
    void trace_systick(bool on) { trace_systick_ = on; }
    // Told of every handler's end: which interrupt, its entry time and duration.
    using IrqExitObserver = void (*)(int irq, Time entry, Time dur);
    void set_irq_exit_observer(IrqExitObserver o) { irq_exit_observer_ = o; }
    // Run as the run ends, before the summary is closed (models add their lines).
    void add_finisher(std::function<void()> f) { finishers_.push_back(std::move(f)); }

    // ---- ending ------------------------------------------------------------
    [[noreturn]] void halt(const std::string &reason);
    [[noreturn]] void end_run(Ending ending, const std::string &reason);
    // A flag set asynchronously (by a signal handler) to end the run early; looked at
    // before every event.
    void set_stop_flag(const volatile int *flag) { stop_flag_ = flag; }
    bool stop_requested() const { return stop_flag_ && *stop_flag_; }
    void set_run_length(Time t);
    Time run_length() const { return run_length_; }
    // The runner's landing point; end_run jumps here (with the signal mask saved,
    // since a fault ends the run from a signal handler).
    sigjmp_buf &landing() { return landing_; }
    // A fault of the firmware (invalid memory access, trap): traced, and the board
    // halts as the chip does in its spinning fault handler.
    [[noreturn]] void fault(const std::string &what);
    bool ended() const { return ended_; }

    // The board's one model of type T, created on first use. The lookup is cached
    // per type and board, since HAL calls reach their model on every call.
    template <typename T>
    T &model() {
        static std::uint64_t cached_serial = 0;
        static T *cached = nullptr;
        if (cached_serial == serial_)
            return *cached;
        T *found = nullptr;
        for (auto &m : models_) {
            if (auto *p = dynamic_cast<T *>(m.get()))
                found = p;
        }
        if (!found) {
            models_.push_back(std::make_unique<T>(*this));
            found = static_cast<T *>(models_.back().get());
        }
        cached_serial = serial_;
        cached = found;
        return *found;
    }

    Console *console = nullptr;
    // Serial input events of the scenario not yet delivered (phone link, console):
    // a reception waiting for them can still wake the core.
    std::uint32_t scenario_serial_pending[2] = {0, 0};

  private:
    void look_then_take() {
        for (const Hook &h : watchers_) h.call(*h.model);
        if (take_after_look_) {
            take_after_look_ = false;
            take_interrupts();
        }
    }
    class RunEnd;
    void dispatch();
    void deliver_due_events();
    bool wake_possible() const;

    Scheduler sched_;
    Nvic nvic_;
    Trace trace_;
    Summary summary_;
    std::vector<std::function<bool()>> level_;  // by irq slot
    std::vector<WakeSource> wakers_;
    struct Hook {
        void (*call)(Model &);
        Model *model;
    };
    std::vector<Hook> watchers_;
    std::vector<Hook> settlers_;
    std::vector<std::unique_ptr<Model>> models_;
    std::vector<std::function<void()>> finishers_;
    IrqExitObserver irq_exit_observer_ = nullptr;
    std::unique_ptr<RunEnd> run_end_;
    std::uint64_t serial_;  // distinguishes boards created one after another
    Time run_length_ = kNever;
    std::uint64_t nop_remainder_ = 0;
    std::uint64_t hal_calls_ = 0;
    Time hal_ns_ = 0;
    unsigned hal_depth_ = 0;
    bool stale_ = true;  // firmware code may have run since the watchers last looked
    bool take_after_look_ = false;
    std::uint32_t masked_wfi_spins_ = 0;
    std::uint64_t taken_ = 0;
    std::array<IrqStats, kIrqSlots> stats_;
    bool trace_systick_ = false;
    bool ended_ = false;
    const volatile int *stop_flag_ = nullptr;
    volatile std::uint64_t progress_ = 0;
    sigjmp_buf landing_;
};

// Lets virtual time pass until `ticks` milliseconds of the HAL tick have been
// counted since `tickstart` (HAL_Delay, HAL time-outs); halts when the tick can never
// interrupt the waiting context.
void wait_for_ticks(std::uint32_t tickstart, std::uint32_t ticks, const char *waiting_in);

// The board the firmware is running on. Valid only during a run. Inline, as every
// HAL call reaches it, most of them from inside another HAL function.
namespace detail {
extern Board *running_board;
[[noreturn]] void no_board();
}  // namespace detail
inline Board &board() {
    if (!detail::running_board)
        detail::no_board();
    return *detail::running_board;
}
inline bool board_exists() {
    return detail::running_board != nullptr;
}

// First thing in every HAL function of this backend: charges the fixed cost of
// one HAL call (Board::kHalCallClocks) unless it is called from inside another
// HAL function. Does nothing without a running board.
class HalCall {
  public:
    HalCall() {
        if (detail::running_board)
            detail::running_board->hal_enter();
    }
    ~HalCall() {
        if (detail::running_board)
            detail::running_board->hal_leave();
    }
    HalCall(const HalCall &) = delete;
    HalCall &operator=(const HalCall &) = delete;
};

// Around a call from a HAL function into firmware code (MSP hooks, event
// callbacks): the firmware's own HAL calls in there are charged.
class FirmwareCode {
  public:
    FirmwareCode();
    ~FirmwareCode();
    FirmwareCode(const FirmwareCode &) = delete;
    FirmwareCode &operator=(const FirmwareCode &) = delete;

  private:
    unsigned depth_ = 0;
};

}  // namespace sim
