// Entry points of the peripheral models that the runner and the console use to
// feed the scenario's inputs into the board.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

class Board;

enum class SerialPort { Phone, Console };  // USART1, USART3

// Bytes put on a port's receive line at the current time; they arrive one by one at
// the port's line rate, after any bytes still on their way.
void serial_inject(SerialPort port, const std::uint8_t *bytes, std::size_t n);

// An external signal drives an input pin (port 'A', 'B', 'C' or 'H').
void pin_drive(char port, unsigned pin, unsigned level);
// A pin is held at `level` against everything, the firmware's own output too (a
// short, a stuck line), or let go with kRelease (scenario.h).
void pin_hold(char port, unsigned pin, unsigned level);

// Creates the models of the core peripherals on a fresh board (SysTick, GPIO,
// basic timers, UARTs with DMA) and resets the register objects to their reset
// values.
void install_core_models(Board &b);
// The core's registers written directly by the firmware (SCB, NVIC).
void install_core_registers(Board &b);
// WFI with SLEEPDEEP: stop, standby or shutdown as PWR_CR1 selects; never returns.
[[noreturn]] void enter_deep_sleep();

}  // namespace sim
