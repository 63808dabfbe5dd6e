// Clock tree of the simulated chip, computed from the RCC registers: system clock
// from MSI, HSI (16 MHz), HSE (the board's 8 MHz crystal) or the main PLL, then the
// AHB and APB prescalers. Oscillators are ready as soon as they are switched on
// (start-up and lock times are not modelled).
//
// Power-on state: the chip starts on its MSI oscillator at 4 MHz; the simulated
// chip starts on the MSI at 48 MHz (range 11) instead, so that firmware that never
// configures its clocks (the demo, test fixtures) runs at the board's 48 MHz, and
// firmware that does configure them ends up where it asks.
#pragma once

#include <cstdint>

namespace sim {

std::uint32_t rcc_sysclk_hz();
std::uint32_t rcc_hclk_hz();
std::uint32_t rcc_pclk1_hz();
std::uint32_t rcc_pclk2_hz();
// Clock of the timers on APB1 (apb = 1) or APB2 (apb = 2): the bus clock, doubled
// when the bus prescaler divides.
std::uint32_t rcc_timer_hz(int apb);
void rcc_reset_registers();

// Which instances of a peripheral the firmware can have written, for the register
// watchers: those whose clock has been on (bit `RccEnable::bit` of the enable
// register) or that a HAL call set up. Writes to a peripheral without its clock do
// nothing on the chip, so the others need no look. Cheap while the enable
// registers stay as they are: the RCC watcher, the first to look, counts their
// changes.
enum class RccBus { Ahb2, Apb1, Apb2 };
extern std::uint32_t rcc_enable_changes;
struct RccEnable {
    RccBus bus;
    std::uint32_t bit;
};
class InstancesInUse {
  public:
    InstancesInUse(const RccEnable *enables, int count) : enables_(enables), count_(count) {}
    std::uint32_t mask() {
        if (seen_changes_ != rcc_enable_changes)
            rescan();
        return mask_;
    }
    void add(int i) { mask_ |= 1u << i; }

  private:
    void rescan();
    const RccEnable *enables_;
    int count_;
    std::uint32_t mask_ = 0;
    std::uint32_t seen_changes_ = ~std::uint32_t{0};
};

class Board;
// Ready flags of oscillators the firmware switches by writing the registers.
void install_rcc(Board &b);

}  // namespace sim
