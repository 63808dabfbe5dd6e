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
class Board;
// Ready flags of oscillators the firmware switches by writing the registers.
void install_rcc(Board &b);

}  // namespace sim
