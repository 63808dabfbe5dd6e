#include "sim/board.h"

#include <array>
#include <cstdio>

#include "sim/vectors.h"

namespace sim {

Board *detail::running_board = nullptr;

namespace {
Board *&g_board = detail::running_board;
constexpr std::uint32_t kMaskedWfiSpinLimit = 1000000;
}  // namespace

void detail::no_board() {
    std::fprintf(stderr, "sim: HAL called with no simulated board running\n");
    std::abort();
}

FirmwareCode::FirmwareCode() {
    if (g_board)
        depth_ = g_board->enter_firmware_code();
}
FirmwareCode::~FirmwareCode() {
    if (g_board)
        g_board->leave_firmware_code(depth_);
}

class Board::RunEnd final : public EventSink {
  public:
    explicit RunEnd(Board &b) : b_(b) {}
    void on_event(Time, std::uint64_t tag) override {
        if (tag == gen)
            b_.end_run(Ending::Completed, "");
    }
    std::uint64_t gen = 0;

  private:
    Board &b_;
};

Board::Board() : level_(kIrqSlots), run_end_(std::make_unique<RunEnd>(*this)) {
    static std::uint64_t boards_created = 0;
    serial_ = ++boards_created;
    if (g_board) {
        std::fprintf(stderr, "sim: a second simulated board was created while one is running\n");
        std::abort();
    }
    g_board = this;
    stats_.fill(IrqStats{});
}

Board::~Board() {
    models_.clear();
    trace_.close();
    g_board = nullptr;
}

void Board::set_run_length(Time t) {
    run_length_ = t;
    ++run_end_->gen;
    sched_.schedule(t, run_end_.get(), run_end_->gen);
}

void Board::set_level_source(int irq, std::function<bool()> asserted) {
    level_[static_cast<std::size_t>(irq - kFirstIrq)] = std::move(asserted);
}

void Board::advance_to(Time t) {
    run_watchers();
    for (;;) {
        if (sched_.next_time() > t)
            break;
        deliver_due_events();
        if (nvic_.any_pending())
            dispatch();
    }
    if (t > sched_.now())
        sched_.set_now(t);
    if (nvic_.any_pending())
        dispatch();
    run_settlers();
}

void Board::advance_to_next_event(const char *waiting_in) {
    run_watchers();
    if (sched_.empty())
        halt(std::string("nothing can ever happen while waiting in ") + waiting_in);
    deliver_due_events();
    if (nvic_.any_pending())
        dispatch();
    run_settlers();
}

// Everything that happens at one instant happens before any interrupt is taken:
// exceptions that become pending together are then arbitrated by priority, as on
// the core, not by the order in which their sources were scheduled.
void Board::deliver_due_events() {
    if (stop_flag_ && *stop_flag_)
        end_run(Ending::Interrupted, "stopped by a signal");
    const Time at = sched_.next_time();
    do {
        sched_.run_next();
    } while (sched_.next_time() == at);
}

void Board::stall_to(Time t) {
    run_watchers();
    while (sched_.next_time() <= t) deliver_due_events();
    if (t > sched_.now())
        sched_.set_now(t);
    run_settlers();
    take_interrupts();
}

void Board::core_clocks(std::uint32_t n) {
    // One clock of the core is 1e9 / f ns; the remainder is carried so that N
    // clocks take exactly N / f seconds.
    std::uint64_t hz = core_hz();
    nop_remainder_ += 1000000000ull * n;
    Time dt = nop_remainder_ / hz;
    nop_remainder_ %= hz;
    Time t = now() + dt;
    run_watchers();
    if (sched_.next_time() > t && !nvic_.any_pending()) {
        sched_.set_now(t);  // the common case in spin loops: nothing due
        run_settlers();
        return;
    }
    advance_to(t);
}

bool Board::wake_possible() const {
    for (const auto &w : wakers_) {
        if (!nvic_.enabled(w.irq) || !nvic_.would_preempt(w.irq))
            continue;
        if (!w.may_raise())
            continue;
        return true;
    }
    return false;
}

void Board::wait_for_interrupt() {
    if (nvic_.next_to_take(true) != Nvic::kNone) {
        // Already something to wake for: WFI falls straight through.
        if (!nvic_.primask()) {
            dispatch();
            return;
        }
        // Masked: WFI falls through without taking it. A loop around it may be
        // polling something, so the instruction takes a clock; a loop that keeps
        // coming back with the interrupt still pending and still masked for a
        // million rounds is not going anywhere.
        if (++masked_wfi_spins_ >= kMaskedWfiSpinLimit)
            halt("interrupts masked (PRIMASK) forever while waiting for a pending interrupt");
        core_cycle();
        return;
    }
    masked_wfi_spins_ = 0;
    const std::uint64_t taken_before = taken_;
    for (;;) {
        if (!wake_possible()) {
            halt(nvic_.primask() ? "waiting for an interrupt with interrupts masked and nothing "
                                   "that can wake the core"
                                 : "waiting for an interrupt with nothing that can raise one");
        }
        advance_to_next_event("WFI");
        if (taken_ != taken_before || nvic_.next_to_take(true) != Nvic::kNone)
            return;
    }
}

void Board::unmasked() {
    masked_wfi_spins_ = 0;
    take_interrupts();
}

void Board::dispatch() {
    for (;;) {
        const int irq = nvic_.next_to_take(false);
        if (irq == Nvic::kNone)
            return;
        ++taken_;
        const Time entry = now();
        const Time hal_at_entry = hal_ns_;
        nvic_.enter(irq);
        const bool traced = trace_.enabled() && (irq != kSysTickIrq || trace_systick_);
        if (traced) {
            trace_.begin(entry, "irq_enter")
                .field("irq", irq_name(irq))
                .field("prio", nvic_.preempt_priority(irq))
                .field("depth", static_cast<std::uint64_t>(nvic_.depth()))
                .end();
        }
        run_settlers();
        const unsigned hal_depth = enter_firmware_code();
        vector_handler(irq)();
        leave_firmware_code(hal_depth);
        run_watchers();
        nvic_.leave(irq);
        const Time dur = now() - entry;
        const Time hal = hal_ns_ - hal_at_entry;
        if (traced)
            trace_.begin(now(), "irq_exit")
                .field("irq", irq_name(irq))
                .field("dur_ns", dur)
                .field("hal_ns", hal)
                .end();
        IrqStats &s = stats_[static_cast<std::size_t>(irq - kFirstIrq)];
        if (s.count == 0 || dur > s.worst_ns) {
            s.worst_ns = dur;
            s.worst_hal_ns = hal;
            s.worst_at = entry;
        }
        ++s.count;
        if (irq_exit_observer_)
            irq_exit_observer_(irq, entry, dur);
        const auto &lvl = level_[static_cast<std::size_t>(irq - kFirstIrq)];
        if (lvl && lvl())
            nvic_.set_pending(irq);
    }
}

const char *Board::irq_name(int irq) {
    return vector_name(irq);
}

void Board::halt(const std::string &reason) {
    trace_.begin(now(), "halt").field("reason", reason).end();
    end_run(Ending::Halted, reason);
}

void Board::fault(const std::string &what) {
    trace_.begin(now(), "fault").field("what", what).end();
    halt("fault: " + what + " (the chip would spin in its fault handler)");
}

void Board::end_run(Ending ending, const std::string &reason) {
    ended_ = true;
    for (auto &f : finishers_) f();
    for (int s = 0; s < kIrqSlots; ++s) {
        const IrqStats &st = stats_[static_cast<std::size_t>(s)];
        if (st.count)
            summary_.set_irq(vector_name(s + kFirstIrq), st);
    }
    summary_.set_hal_calls(hal_calls_, hal_ns_);
    summary_.finish(now(), ending, reason);
    siglongjmp(landing_, 1);
}

}  // namespace sim
