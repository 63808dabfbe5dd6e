#include "devices_fixture.h"

#include "sim/board.h"

namespace devices {

I2C_HandleTypeDef hi2c1;

void init_i2c(uint32_t timing, bool analog_filter, uint32_t dnf) {
    hi2c1 = I2C_HandleTypeDef{};
    hi2c1.Instance = I2C1;
    hi2c1.Init.Timing = timing;
    hi2c1.Init.AddressingMode = I2C_ADDRESSINGMODE_7BIT;
    HAL_I2C_Init(&hi2c1);
    HAL_I2CEx_ConfigAnalogFilter(
        &hi2c1, analog_filter ? I2C_ANALOGFILTER_ENABLE : I2C_ANALOGFILTER_DISABLE);
    HAL_I2CEx_ConfigDigitalFilter(&hi2c1, dnf);
}

fixture::Run run(std::function<void()> firmware, sim::Time length, sim::DeviceSetup setup,
                 std::vector<sim::ScenarioEvent> events) {
    sim::RunConfig cfg;
    cfg.length_ns = length;
    cfg.events = std::move(events);
    cfg.devices = std::move(setup);
    return fixture::run(std::move(firmware), std::move(cfg));
}

sim::DeviceFault fault(sim::Time at, sim::DeviceFaultKind kind, std::uint32_t count) {
    sim::DeviceFault f;
    f.at_ns = at;
    f.kind = kind;
    f.count = count;
    return f;
}

void sleep_until(sim::Time t) {
    while (sim::board().now() + 1000000 < t) __WFI();
    while (sim::board().now() < t) __NOP();
}

bool halted_with(const fixture::Run &r, const std::string &fragment) {
    return r.result.ending == sim::Ending::Halted &&
           r.result.reason.find(fragment) != std::string::npos;
}

}  // namespace devices
