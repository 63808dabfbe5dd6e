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

// The newest format version this parser reads; versions 1 and 2 are read too. A
// file declaring another version is refused with a message naming them.
constexpr std::uint32_t kScenarioVersion = 3;

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
    PinHold,       // a pin is held at a level against everything, or let go (version 3)
};

// Name used in messages and traces: "console", "phone", "pin", "hold".
const char *scenario_event_kind_name(ScenarioEventKind kind);

struct ScenarioEvent {
    std::uint64_t at_ns = 0;  // virtual time since reset, < Scenario::length_ns
    ScenarioEventKind kind = ScenarioEventKind::ConsoleBytes;
    std::vector<std::uint8_t> bytes;  // ConsoleBytes, PhoneBytes: never empty
    char port = 0;                    // PinLevel: 'A', 'B', 'C' or 'H'
    std::uint8_t pin = 0;             // PinLevel: 0..15
    std::uint8_t level = 0;           // PinLevel: 0 (low) or 1 (high); PinHold: also kRelease
    std::uint32_t line = 0;           // line in the file it came from, for messages
};

constexpr std::uint8_t kRelease = 2;  // PinHold: the pin is let go

// ---- Storage faults and power cuts (format version 2) ----

// A program or erase of one of the board's two flash memories: what faults act on,
// what power cuts count.
enum class StorageOp : std::uint8_t {
    NorProgram,       // external NOR page program
    NorErase,         // external NOR 4, 32 or 64 KB erase
    IntflashProgram,  // internal flash double-word program
    IntflashErase,    // internal flash page erase
};
constexpr int kStorageOpKinds = 4;
const char *storage_op_name(StorageOp op);  // "nor-program", ...

enum class FaultKind : std::uint8_t {
    NorProgram,       // NOR page programs take their time and change nothing
    NorErase,         // NOR erases take their time and change nothing
    NorStuckBusy,     // the NOR chip's BUSY bit stays set
    NorMissing,       // no NOR chip answers: reads see 0x00, writes go nowhere
    IntflashProgram,  // internal flash programs fail with a write-protection error
    IntflashErase,    // internal flash page erases fail with a write-protection error
};
const char *fault_kind_name(FaultKind kind);  // "nor-program", ..., "nor-missing"

struct FaultEvent {
    std::uint64_t at_ns = 0;  // from this time on
    FaultKind kind = FaultKind::NorProgram;
    // Operation faults: how many of the next operations fail; kFaultAlways for every
    // one until an 'off' event; 0 ends the fault ('off'). State faults (stuck busy,
    // missing chip): non-zero on, 0 off.
    std::uint32_t count = 1;
    std::uint32_t line = 0;
};
constexpr std::uint32_t kFaultAlways = 0xFFFFFFFFu;

// Where the power fails: at a time, or as the n-th operation of a kind (counted from
// this power-up) has run a given fraction of its duration.
struct PowerCut {
    bool set = false;
    bool timed = true;
    std::uint64_t at_ns = 0;         // timed cut
    std::uint8_t ops = 0;            // counted cut: bit (1 << StorageOp) for each kind counted
    std::uint32_t nth = 0;           // counted cut: 1 = the first such operation
    std::uint32_t fraction_ppm = 0;  // counted cut: share of the operation done, 0 .. 999999
    std::uint32_t line = 0;
};

struct StoragePlan {
    std::vector<FaultEvent> faults;  // sorted by at_ns, file order kept at equal times
    PowerCut cut;
    std::uint64_t seed = 0;       // seeds the cells left half-done by a cut
    bool maximum_timing = false;  // flash busy times: datasheet maxima instead of typical
    std::uint16_t flash_size_register = 256;  // factory flash size in KB; 0xFFFF = unprogrammed
};

// ---- The board's devices (format version 3) ----

// Faults of the motion sensor and of its bus (I2C1).
enum class DeviceFaultKind : std::uint8_t {
    I2cNack,      // the sensor does not acknowledge its address
    I2cStuck,     // a device holds the bus's data line low: the bus stays busy
    SensorReset,  // the sensor resets itself to its power-on state
};
const char *device_fault_name(DeviceFaultKind kind);  // "i2c-nack", ...

struct DeviceFault {
    std::uint64_t at_ns = 0;
    DeviceFaultKind kind = DeviceFaultKind::I2cNack;
    // I2cNack: the next `count` transfers (kFaultAlways until 'off'); I2cStuck: non-zero
    // on, 0 off; SensorReset: 1.
    std::uint32_t count = 1;
    std::uint32_t line = 0;
};

// Battery sense input (ADC1 channel 6) in ADC counts, from this time on: a step, or a
// straight ramp from the value at `at_ns` to `counts` over `ramp_ns`.
struct BatteryPoint {
    std::uint64_t at_ns = 0;
    std::uint16_t counts = 0;  // 0..4095
    std::uint64_t ramp_ns = 0;
    std::uint32_t line = 0;
};
constexpr std::uint16_t kBatteryDefaultCounts = 2300;  // a full battery until the scenario says

// What the radio module on USART1 does from this time on.
enum class RadioMode : std::uint8_t {
    Pipe,    // passes bytes between the device and the phone (the default)
    Absent,  // no module on the board
    Silent,  // powered, but passes nothing either way
    Babble,  // sends random bytes to the device without pause
};
const char *radio_mode_name(RadioMode mode);  // "pipe", ...

struct RadioEvent {
    std::uint64_t at_ns = 0;
    RadioMode mode = RadioMode::Pipe;
    std::uint32_t bytes_per_second = 0;  // Babble: 0 = as fast as the line allows
    std::uint32_t line = 0;
};

// How a motion recording's samples become the sensor's samples at its output data
// rate: the latest recorded sample at or before each of the sensor's sampling
// instants, or a straight line between the two around it.
enum class Resampling : std::uint8_t { Hold, Linear };

struct MotionSource {
    std::string path;  // empty: no recording (the wearer stands still)
    Resampling resampling = Resampling::Hold;
    std::uint32_t line = 0;
};

struct DevicePlan {
    MotionSource motion;
    std::vector<BatteryPoint> battery;  // sorted by at_ns, file order kept
    std::vector<DeviceFault> faults;    // sorted by at_ns, file order kept
    std::vector<RadioEvent> radio;      // sorted by at_ns, file order kept
};

struct Scenario {
    std::uint32_t version = 0;    // 1, 2 or 3 after a successful load
    std::uint64_t length_ns = 0;  // run length, 1 ns .. kMaxScenarioLengthNs
    // Sorted by at_ns; events at the same instant keep their file order.
    std::vector<ScenarioEvent> events;
    StoragePlan storage;  // empty for version 1
    DevicePlan devices;   // empty before version 3
    std::string source;   // path or name given to the loader
};

// Reads and checks a scenario file. On success fills `out` and returns true. A
// relative motion recording path is taken from the scenario file's directory.
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
