// Scenario files: the timed inputs of one simulated run.
//
// A scenario is a line-oriented text file (format described in
// docs/scenario-format.md). This module reads it into a plain record that the
// simulator replays against virtual time. It has no other dependencies and
// never touches the board directory.
//
// Contract with the simulator's main(): call load_scenario() BEFORE
// BoardDir::open(), and stop on failure, so that a bad scenario changes
// nothing in the board directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// The one version this parser reads. A file declaring another version is
// refused with a message naming both.
constexpr std::uint32_t kScenarioVersion = 1;

// Longest run a scenario may ask for: one year of virtual time (365 days).
// Longer runs are certainly a typing mistake, and this bound keeps every
// sum of times far away from 64-bit overflow.
constexpr std::uint64_t kMaxScenarioLengthNs = 365ULL * 24 * 3600 * 1000000000ULL;

// Largest scenario file accepted, so that a wrong path (a disk image, a
// recording) fails quickly with a message instead of filling memory.
constexpr std::uint64_t kMaxScenarioFileBytes = 16ULL * 1024 * 1024;

enum class ScenarioEventKind : std::uint8_t {
    ConsoleBytes,  // bytes arriving on the console port (USART3 receive line)
    PhoneBytes,    // bytes arriving from the radio module (USART1 receive line)
    PinLevel,      // an external signal drives an input pin to a level
};

// Name used in messages and traces: "console", "phone", "pin".
const char *scenario_event_kind_name(ScenarioEventKind kind);

struct ScenarioEvent {
    std::uint64_t at_ns = 0;  // virtual time since reset, < Scenario::length_ns
    ScenarioEventKind kind = ScenarioEventKind::ConsoleBytes;
    std::vector<std::uint8_t> bytes;  // ConsoleBytes, PhoneBytes: never empty
    char port = 0;                    // PinLevel: 'A', 'B', 'C' or 'H'
    std::uint8_t pin = 0;             // PinLevel: 0..15
    std::uint8_t level = 0;           // PinLevel: 0 (low) or 1 (high)
    std::uint32_t line = 0;           // line in the file it came from, for messages
};

struct Scenario {
    std::uint32_t version = 0;    // always kScenarioVersion after a successful load
    std::uint64_t length_ns = 0;  // run length, 1 ns .. kMaxScenarioLengthNs
    // Sorted by at_ns; events at the same instant keep their file order.
    std::vector<ScenarioEvent> events;
    std::string source;  // path or name given to the loader
};

// Reads and checks a scenario file. On success fills `out` and returns true.
// On failure returns false, leaves `out` unchanged and sets `error` to
// "<path>:<line>: <message>", or "<path>: <message>" when the fault concerns
// the whole file (it cannot be read, it lacks a version or length line).
bool load_scenario(const std::string &path, Scenario &out, std::string &error);

// Same as load_scenario, on text already in memory; `name` stands in for the
// path in messages and in Scenario::source.
bool parse_scenario(const std::string &text, const std::string &name, Scenario &out,
                    std::string &error);

// Parses a duration as written in scenarios: a decimal number with an optional
// fraction and an optional unit ns, us, ms or s (no unit means ms), e.g.
// "250", "1.5s", "20us". Refuses negative values, fractions finer than 1 ns,
// and values above kMaxScenarioLengthNs. `error` gets a message without
// position.
bool parse_scenario_time(const std::string &text, std::uint64_t &ns, std::string &error);

// Formats a time the way scenarios write it: a whole number in the largest
// unit that keeps it exact ("2s", "1500ms", "20us", "7ns", "0ms");
// parse_scenario_time reads it back to the same value.
std::string format_scenario_time(std::uint64_t ns);

}  // namespace sim
