// Virtual clock and event queue of the simulated board.
//
// Time is a count of nanoseconds since power-on. Nothing advances it except the
// board's own operations that take time on the hardware; events are processed in
// (time, insertion order) order so that equal-time events keep a fixed order and a
// run is reproducible bit for bit.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

using Time = std::uint64_t;  // nanoseconds since power-on
constexpr Time kNever = ~Time{0};

// Receives the events it scheduled. `tag` is whatever the source passed in; sources
// use it as a generation number so that a rescheduled source ignores its stale events
// (cheaper than removing entries from the heap).
class EventSink {
  public:
    virtual void on_event(Time when, std::uint64_t tag) = 0;

  protected:
    ~EventSink() = default;
};

class Scheduler {
  public:
    Time now() const { return now_; }
    void set_now(Time t) { now_ = t; }

    void schedule(Time when, EventSink *sink, std::uint64_t tag);
    bool empty() const { return heap_.empty(); }
    Time next_time() const { return heap_.empty() ? kNever : heap_.front().when; }

    // Removes the earliest event, moves the clock to its time (never backwards) and
    // delivers it.
    void run_next();

    void clear();

  private:
    struct Entry {
        Time when;
        std::uint64_t seq;
        EventSink *sink;
        std::uint64_t tag;
    };
    struct Later {
        bool operator()(const Entry &a, const Entry &b) const {
            return a.when != b.when ? a.when > b.when : a.seq > b.seq;
        }
    };

    Time now_ = 0;
    std::uint64_t seq_ = 0;
    std::vector<Entry> heap_;
};

// Exact integer time arithmetic: `count * num / den` nanoseconds, rounded up, without
// overflow for any realistic run. Used for periods that are not whole nanoseconds
// (one byte at 115200 baud is 86805.5... ns), always from a fixed anchor so that
// rounding never accumulates.
// The product mostly fits in 64 bits (a byte time, a timer period from a recent
// anchor); then one 64-bit division gives the same result as the wide one.
Time scaled_ceil_wide(std::uint64_t count, std::uint64_t num, std::uint64_t den);
inline Time scaled_ceil(std::uint64_t count, std::uint64_t num, std::uint64_t den) {
    std::uint64_t product;
    if (__builtin_mul_overflow(count, num, &product))
        return scaled_ceil_wide(count, num, den);
    return product / den + (product % den != 0);
}

// Whole cycles of a `hz` clock in `dt` nanoseconds: floor(dt * hz / 1e9). Counters
// shown to the firmware are worked out with it after every advance, so the common
// case stays in 64 bits.
inline std::uint64_t clocks_in(Time dt, std::uint64_t hz) {
    std::uint64_t product;
    if (!__builtin_mul_overflow(dt, hz, &product))
        return product / 1000000000u;
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(dt) * hz / 1000000000u);
}

// Moves an anchor forward by `cycles` of a `hz` clock when that is a whole number
// of nanoseconds (10 ms of a 48 MHz clock is), so that times stay small from it;
// otherwise leaves both as they are. Returns whether it moved.
bool rebase_exact(Time &anchor, std::uint64_t &cycles, std::uint64_t hz);

}  // namespace sim
