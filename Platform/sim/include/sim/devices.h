// The board's devices around the microcontroller that the scenario drives: the
// motion sensor on I2C1 fed from a recording, the battery on ADC1, the radio module
// on USART1; and the run's tick accounting.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"
#include "sim/board.h"

namespace sim {

// Motion in the sensor's own frame, at any rate, in counts of its ±4 g and ±500 °/s
// ranges (8192 counts per g, 65.536 counts per degree per second); the sensor model
// scales them to the range the firmware configures.
struct MotionRecording {
    std::string source;
    std::vector<Time> t;                         // since power-on, never decreasing
    std::vector<std::array<std::int16_t, 6>> v;  // ax, ay, az, gx, gy, gz
    bool empty() const { return t.empty(); }
};

// Largest recording file accepted (an hour at 1 kHz is about 150 MB).
constexpr std::uint64_t kMaxRecordingBytes = 512ULL * 1024 * 1024;

// Reads the CSV form (docs/scenario-format.md, "Motion recordings"). False with
// "<name>:<line>: <message>" in `error`.
bool parse_motion_recording(const std::string &text, const std::string &name, MotionRecording &out,
                            std::string &error);
bool load_motion_recording(const std::string &path, MotionRecording &out, std::string &error);

// What a run's devices get from the scenario.
struct DeviceSetup {
    DevicePlan plan;
    MotionRecording motion;  // empty: the wearer stands still
};

// Creates the device models on a fresh board.
void install_devices(Board &b, const DeviceSetup &setup);

// The models, one installer each (devices.cpp calls them).
void install_motion_sensor(Board &b, const DevicePlan &plan, const MotionRecording &motion);
void install_battery(Board &b, const std::vector<BatteryPoint> &battery);
void install_radio(Board &b, const std::vector<RadioEvent> &radio);
void install_tick_accounting(Board &b);
void install_firing_watch(Board &b);

// The radio module's side of USART1: what the device transmits, and what the phone
// sends (scenario bytes), which the module passes on when it can.
void radio_from_device(std::uint8_t byte);
void radio_from_phone(const std::uint8_t *bytes, std::size_t n);

// What the firing summary (firing.cpp) is told: the end of a motion-sensor data read,
// pins of a port (0 = A, 1 = B, ...) that changed with their new levels, and the bytes
// the device sends on the console and on the phone link.
void firing_sensor_read(Time end);
void firing_pins_changed(int port, std::uint32_t changed, std::uint32_t levels);
void firing_console_byte(std::uint8_t byte);
void firing_phone_byte(std::uint8_t byte);
// Whether the first trigger-output edge fell within [from, to].
bool firing_within(Time from, Time to);

}  // namespace sim
