#include "sim/run.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/time.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "board_dir.h"
#include "sim/board.h"
#include "sim/peripherals.h"
#include "sim/storage.h"

namespace sim {

namespace {

// Replays the scenario's timed inputs against virtual time.
class ScenarioFeed final : public EventSink {
  public:
    ScenarioFeed(Board &b, const std::vector<ScenarioEvent> &events) : board_(b), events_(events) {
        for (const auto &e : events_) {
            if (e.kind == ScenarioEventKind::PhoneBytes)
                ++board_.scenario_serial_pending[0];
            if (e.kind == ScenarioEventKind::ConsoleBytes)
                ++board_.scenario_serial_pending[1];
        }
        if (!events_.empty())
            board_.sched().schedule(events_[0].at_ns, this, 0);
    }
    void on_event(Time, std::uint64_t index) override {
        const ScenarioEvent &e = events_[index];
        if (e.kind == ScenarioEventKind::PhoneBytes)
            --board_.scenario_serial_pending[0];
        if (e.kind == ScenarioEventKind::ConsoleBytes)
            --board_.scenario_serial_pending[1];
        switch (e.kind) {
            case ScenarioEventKind::ConsoleBytes:
                serial_inject(SerialPort::Console, e.bytes.data(), e.bytes.size());
                break;
            case ScenarioEventKind::PhoneBytes:
                radio_from_phone(e.bytes.data(), e.bytes.size());
                break;
            case ScenarioEventKind::PinLevel:
                pin_drive(e.port, e.pin, e.level);
                break;
            case ScenarioEventKind::PinHold:
                pin_hold(e.port, e.pin, e.level);
                break;
        }
        if (index + 1 < events_.size())
            board_.sched().schedule(events_[index + 1].at_ns, this, index + 1);
    }

  private:
    Board &board_;
    const std::vector<ScenarioEvent> &events_;
};

// Firmware faults arrive as signals; they end the run like the chip's spinning
// fault handlers would, with the summary and the trace intact. The handler runs
// on its own stack so that a stack overflow is caught too.
// abort() (a failed assert, std::terminate) raises SIGABRT: on the chip the C
// library's abort ends in a loop that spins for ever, which the board halts on.
const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kFaultSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];

void on_fault(int sig) {
    const char *what = sig == SIGSEGV  ? "invalid memory access"
                       : sig == SIGBUS ? "bus error"
                       : sig == SIGFPE ? "arithmetic trap (integer division by zero)"
                       : sig == SIGABRT
                           ? "abort() was called (a failed assertion or std::terminate)"
                           : "illegal instruction";
    if (!board_exists()) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    board().fault(what);
}

// A stop request (Ctrl-C at the terminal, a kill) ends the run at the next event
// instead of killing the process, so the summary and the trace are still written.
volatile sig_atomic_t g_stop_requested = 0;
void on_stop(int) {
    g_stop_requested = 1;
}

class StopGuard {
  public:
    StopGuard() {
        g_stop_requested = 0;
        struct sigaction sa {};
        sa.sa_handler = on_stop;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &old_int_);
        sigaction(SIGTERM, &sa, &old_term_);
    }
    ~StopGuard() {
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
    }
    StopGuard(const StopGuard &) = delete;
    StopGuard &operator=(const StopGuard &) = delete;

  private:
    struct sigaction old_int_ {};
    struct sigaction old_term_ {};
};

// Firmware that spins without calling anything that takes time never lets virtual
// time move, and the process would run for ever. A wall-clock check every 100 ms
// notices that the board has made no progress for the configured time and halts it
// with a reason. Only a run that is hung can trip it, so it does not disturb
// determinism. The same check ends a run whose stop was requested while the
// firmware spins (the stop flag is otherwise looked at whenever time moves).
constexpr unsigned kAlarmsPerSecond = 10;
std::uint64_t g_last_progress = 0;
unsigned g_still_alarms = 0;
unsigned g_hang_alarms = 0;  // 0: no hang check

void on_alarm(int) {
    if (!board_exists() || board().ended())
        return;
    const std::uint64_t p = board().progress();
    if (p != g_last_progress) {
        g_last_progress = p;
        g_still_alarms = 0;
        return;
    }
    ++g_still_alarms;
    if (g_stop_requested)
        board().end_run(Ending::Interrupted, "stopped by a signal");
    if (g_hang_alarms != 0 && g_still_alarms >= g_hang_alarms)
        board().halt(
            "the firmware loops without letting virtual time pass (a spin loop needs __NOP or "
            "__WFI)");
}

class AlarmGuard {
  public:
    explicit AlarmGuard(unsigned hang_seconds) {
        g_last_progress = ~std::uint64_t{0};
        g_still_alarms = 0;
        g_hang_alarms = hang_seconds * kAlarmsPerSecond;
        struct sigaction sa {};
        sa.sa_handler = on_alarm;
        sa.sa_flags = SA_RESTART | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGALRM, &sa, &old_);
        const itimerval every{{0, 1000000 / kAlarmsPerSecond}, {0, 1000000 / kAlarmsPerSecond}};
        setitimer(ITIMER_REAL, &every, &old_timer_);
    }
    ~AlarmGuard() {
        itimerval off{{0, 0}, {0, 0}};
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &old_, nullptr);
    }
    AlarmGuard(const AlarmGuard &) = delete;
    AlarmGuard &operator=(const AlarmGuard &) = delete;

  private:
    struct sigaction old_ {};
    itimerval old_timer_{};
};

class FaultGuard {
  public:
    FaultGuard() : stack_(1u << 16) {
        stack_t ss{};
        ss.ss_sp = stack_.data();
        ss.ss_size = stack_.size();
        sigaltstack(&ss, &old_stack_);
        struct sigaction sa {};
        sa.sa_handler = on_fault;
        sa.sa_flags = SA_ONSTACK | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        for (std::size_t i = 0; i < kFaultSignalCount; ++i)
            sigaction(kFaultSignals[i], &sa, &old_[i]);
    }
    ~FaultGuard() {
        for (std::size_t i = 0; i < kFaultSignalCount; ++i)
            sigaction(kFaultSignals[i], &old_[i], nullptr);
        sigaltstack(&old_stack_, nullptr);
    }
    FaultGuard(const FaultGuard &) = delete;
    FaultGuard &operator=(const FaultGuard &) = delete;

  private:
    std::vector<char> stack_;
    stack_t old_stack_{};
    struct sigaction old_[kFaultSignalCount];
};

// Kept out of run_firmware's frame so that nothing with a destructor lives between
// setjmp and the longjmp that ends the run.
void enter_firmware(Board &b, FirmwareEntry entry) {
    if (b.console)
        b.console->wait_for_client();
    entry();
    b.end_run(Ending::MainReturned, "the firmware's main returned");
}

}  // namespace

RunResult run_firmware(const RunConfig &cfg, FirmwareEntry entry) {
    RunResult result;
    BoardDir memory_board;  // outlives the board's models that use it
    Board b;
    Console console(b);
    b.console = &console;
    std::string error;
    bool ok = true;
    if (!cfg.trace_path.empty()) {
        ok = b.trace().open_file(cfg.trace_path, error);
    } else if (cfg.trace_capture) {
        b.trace().open_string(cfg.trace_capture);
    }
    if (ok)
        ok = console.open(cfg.console, error);
    if (!ok) {
        result.setup_failed = true;
        result.reason = error;
        return result;
    }
    b.trace_systick(cfg.trace_systick);
    install_core_models(b);
    BoardDir *dir = cfg.board_dir;
    if (dir == nullptr) {
        if (!memory_board.open_in_memory(error)) {
            result.setup_failed = true;
            result.reason = error;
            return result;
        }
        dir = &memory_board;
    }
    if (!install_storage(b, *dir, cfg.storage, cfg.unpowered_ns, error)) {
        result.setup_failed = true;
        result.reason = error;
        return result;
    }
    install_devices(b, cfg.devices);
    console.set_input_handler(
        [](const std::uint8_t *p, std::size_t n) { serial_inject(SerialPort::Console, p, n); });
    b.set_run_length(cfg.length_ns);
    ScenarioFeed feed(b, cfg.events);
    // What the scenario does at the instant of reset (pins held at a level, bytes
    // already on their way) is there before the firmware's first instruction.
    b.deliver_events_at_reset();

    FaultGuard guard;
    StopGuard stop_guard;
    AlarmGuard alarm_guard(cfg.hang_seconds);
    b.set_stop_flag(&g_stop_requested);
    if (sigsetjmp(b.landing(), 1) == 0) {
        enter_firmware(b, entry);
    }
    // Power goes (or stays, for standby and reset); what the board keeps is saved.
    if (!storage_power_off(b, b.summary().ending(), error))
        result.state_error = error;
    const Summary &s = b.summary();
    console.close();  // drains a pseudo-terminal and adds its line to the summary
    b.trace()
        .begin(b.now(), "end")
        .field("ended", ending_name(s.ending()))
        .field("reason", s.reason())
        .end();
    {
        std::string line = "{\"t\":" + std::to_string(b.now()) +
                           ",\"type\":\"summary\",\"summary\":" + s.json() + "}\n";
        b.trace().flush();
        b.trace().raw_line(line);
    }
    b.trace().close();
    result.output_error = b.trace().error();
    if (!console.error().empty())
        result.output_error += (result.output_error.empty() ? "" : "\n") + console.error();
    result.ending = s.ending();
    result.reason = s.reason();
    result.end_ns = b.now();
    result.summary = s;
    return result;
}

int exit_status(const RunResult &r) {
    if (r.setup_failed)
        return kExitBadInput;
    if (!r.output_error.empty())
        return kExitOutputFailed;
    if (!r.state_error.empty())
        return kExitInternalError;
    switch (r.ending) {
        case Ending::PowerCut:
            return kExitPowerCut;
        case Ending::Completed:
        case Ending::Reset:
        case Ending::Standby:
            return kExitCompleted;
        case Ending::Halted:
        case Ending::MainReturned:
            return kExitHalted;
        case Ending::Interrupted:
            return kExitInterrupted;
    }
    return kExitInternalError;
}

}  // namespace sim
