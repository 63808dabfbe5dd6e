// End-of-run summary: what people read after a run, also written as the last trace
// record. Peripheral models add their own lines (firing time, sensor-to-trigger
// delay, ...) through `note`, so the summary grows without changing this file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/scheduler.h"

namespace sim {

enum class Ending {
    Completed,     // the scenario's run length was reached
    Halted,        // the firmware can never run again (reason says why)
    MainReturned,  // the firmware's main returned (the chip would fall into a loop)
    PowerCut,      // a power cut in the scenario ended the run
    Reset,         // the firmware asked for a system reset (ends this power cycle)
    Standby,       // the firmware entered standby or shutdown (ends this power cycle)
    Interrupted,   // the simulator was asked to stop (SIGINT, SIGTERM) before the end
};

const char *ending_name(Ending e);

struct IrqStats {
    std::uint64_t count = 0;
    Time worst_ns = 0;      // entry to exit, nested handlers included
    Time worst_hal_ns = 0;  // of which the fixed cost of HAL calls (Board::kHalCallClocks)
    Time worst_at = 0;  // entry time of the worst one
};

struct PortStats {
    std::uint64_t tx = 0;
    std::uint64_t rx = 0;    // delivered to a running reception
    std::uint64_t lost = 0;  // arrived with no reception running, or not enabled
};

class Summary {
  public:
    void set_irq(const std::string &name, const IrqStats &s) { irqs_[name] = s; }
    PortStats &port(const std::string &name) { return ports_[name]; }
    void set_hal_calls(std::uint64_t calls, Time ns) {
        hal_calls_ = calls;
        hal_ns_ = ns;
    }
    std::uint64_t hal_calls() const { return hal_calls_; }
    Time hal_ns() const { return hal_ns_; }

    // A named line added by a peripheral model; the last value for a key wins and the
    // order of first appearance is kept.
    void note(const std::string &key, const std::string &value);

    void finish(Time end, Ending ending, const std::string &reason);

    Time run_length() const { return end_; }
    Ending ending() const { return ending_; }
    const std::string &reason() const { return reason_; }
    const std::map<std::string, IrqStats> &irqs() const { return irqs_; }
    const std::map<std::string, PortStats> &ports() const { return ports_; }
    const std::vector<std::pair<std::string, std::string>> &notes() const { return notes_; }

    std::string text() const;  // human-readable, several lines
    std::string json() const;  // one JSON object without the time stamp prefix

  private:
    std::map<std::string, IrqStats> irqs_;
    std::map<std::string, PortStats> ports_;
    std::vector<std::pair<std::string, std::string>> notes_;
    std::uint64_t hal_calls_ = 0;
    Time hal_ns_ = 0;
    Time end_ = 0;
    Ending ending_ = Ending::Completed;
    std::string reason_;
};

// "12.345678901 s" style rendering used by the summary and the docs.
std::string format_seconds(Time ns);

}  // namespace sim
