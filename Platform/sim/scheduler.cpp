#include "sim/scheduler.h"

#include <algorithm>

namespace sim {

void Scheduler::schedule(Time when, EventSink *sink, std::uint64_t tag) {
    heap_.push_back(Entry{when, seq_++, sink, tag});
    std::push_heap(heap_.begin(), heap_.end(), Later{});
}

void Scheduler::run_next() {
    std::pop_heap(heap_.begin(), heap_.end(), Later{});
    Entry e = heap_.back();
    heap_.pop_back();
    if (e.when > now_)
        now_ = e.when;
    e.sink->on_event(e.when, e.tag);
}

void Scheduler::clear() {
    heap_.clear();
    now_ = 0;
    seq_ = 0;
}

Time scaled_ceil_wide(std::uint64_t count, std::uint64_t num, std::uint64_t den) {
    unsigned __int128 p = static_cast<unsigned __int128>(count) * num;
    return static_cast<Time>((p + den - 1) / den);
}

bool rebase_exact(Time &anchor, std::uint64_t &cycles, std::uint64_t hz) {
    std::uint64_t ns;
    if (hz == 0 || __builtin_mul_overflow(cycles, std::uint64_t{1000000000u}, &ns) || ns % hz != 0)
        return false;
    anchor += ns / hz;
    cycles = 0;
    return true;
}

}  // namespace sim
