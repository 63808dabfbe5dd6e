// Shared pieces of the device model tests: the run fixture of the simulator tests
// with the scenario's device setup, and the I2C handle as the firmware sets it up.
#pragma once

#include <string>
#include <vector>

#include "../sim/fixture_fw.h"
#include "sim/devices.h"

namespace devices {

extern I2C_HandleTypeDef hi2c1;

// I2C1 as the device image sets it up (timing register 0x00506682 unless told).
void init_i2c(uint32_t timing = 0x00506682u, bool analog_filter = true, uint32_t dnf = 0);

// A run with a device setup and scenario events.
fixture::Run run(std::function<void()> firmware, sim::Time length, sim::DeviceSetup setup,
                 std::vector<sim::ScenarioEvent> events = {});

sim::DeviceFault fault(sim::Time at, sim::DeviceFaultKind kind, std::uint32_t count = 1);

// Sleeps with the system tick, then spins the last part of a millisecond.
void sleep_until(sim::Time t);

// The run ended halted with `fragment` in its reason.
bool halted_with(const fixture::Run &r, const std::string &fragment);

}  // namespace devices
