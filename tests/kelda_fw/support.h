// The device image's simulator executable run as a program on scenarios, with what
// its tests read back: the console, the phone link, the summary, the trace (JSON
// lines) and the flash decoder's view of the board afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "program_runs.h"

namespace kfw {

namespace fs = std::filesystem;
using programs::scratch;     // a scratch folder of the test, emptied
using Time = std::uint64_t;  // nanoseconds of virtual time
constexpr Time kMs = 1000000;
constexpr Time kS = 1000000000;

// A scenario of format 3: the run length, the calendar sent at 500 ms as the service
// PC sends it at a first power-up, then `body` (more directives and events).
std::string scenario(const std::string &length, const std::string &body = "");
// A bundled motion recording by file name (scenarios/recordings/).
std::string recording(const std::string &name);

struct Record {
    Time t;
    std::string type;
    std::string line;
    long long num(const char *key) const;  // an integer field
    std::string str(const char *key) const;
};

struct Result {
    int status = -1;
    std::string console, phone, summary;
    std::vector<Record> trace;
    std::vector<Time> ticks;  // entry times of the tick (TIM7); tick n (from 1) at ticks[n - 1]
    fs::path board;

    std::vector<const Record *> of(const std::string &type) const;
    // Times at which the pin (e.g. "PA9") changed to `level`, by the firmware.
    std::vector<Time> edges(const std::string &pin, int level) const;
    // The tick number running at time t (0 before the first).
    std::size_t tick_at(Time t) const;
    // The summary line that starts with `key`: (without the key).
    std::string note(const std::string &key) const;
    // The tick of the first external-flash program or erase at `from` or later with
    // its address in [lo, hi); 0 when there is none.
    std::size_t first_flash_tick(long long lo, long long hi, Time from) const;
};

// Runs the image on `board` (a fresh one when it does not exist yet) with the scenario
// text; `trace` false leaves the trace out (long runs).
Result run(const fs::path &board, const std::string &scenario_text, bool trace = true);

// The flash decoder's CSV rows of the board (sensor-data blocks first..last too).
struct Row {
    std::vector<std::string> f;
    const std::string &at(const std::vector<std::string> &header, const char *column) const;
};
struct Decoded {
    std::vector<std::string> header;
    std::vector<Row> rows;
    std::vector<const Row *> log(const char *name) const;
    long long value(const Row &r, const char *column) const;
};
Decoded decode(const fs::path &board, int first_block, int last_block);
// The runs of stamps missing from the decoded sample log (stamps count 0..1000 round).
std::vector<long long> stamp_gaps(const Decoded &f);

// The console's bytes with the time each left the device (from the trace).
struct Console {
    std::string text;
    std::vector<Time> at;
};
Console console_of(const Result &r);

using programs::lines;  // the console's lines (CR LF ends)
std::size_t count(const std::string &text, const std::string &what);
// How many of the times fall in [from, to).
std::size_t between(const std::vector<Time> &times, Time from, Time to);

}  // namespace kfw
