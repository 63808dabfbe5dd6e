// Entry points of the peripheral models that the runner and the console use to
// feed the scenario's inputs into the board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// The pages that hold the register blocks, one block at the start of each page.
struct RegisterArena {
    unsigned char *begin;
    std::size_t size;
    std::size_t page;
};
RegisterArena register_arena();
// What a firmware loop that reads `address` (a register) and lets no virtual time
// pass is waiting for, e.g. "USART3->ISR (TXE, now 0; reads 0x00000000)". `pc` is
// where the read was made; the flags tested are named when the code there can be
// read, else the register and its value.
std::string describe_register_poll(const void *address, const void *pc);

// Creates the models of the core peripherals on a fresh board (SysTick, GPIO,
// basic timers, UARTs with DMA) and resets the register objects to their reset
// values.
void install_core_models(Board &b);
// The core's registers written directly by the firmware (SCB, NVIC).
void install_core_registers(Board &b);
// WFI with SLEEPDEEP: stop, standby or shutdown as PWR_CR1 selects; never returns.
[[noreturn]] void enter_deep_sleep();

}  // namespace sim
