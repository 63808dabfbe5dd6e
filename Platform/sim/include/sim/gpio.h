// GPIO ports of the simulated chip. A pin's level is resolved from its mode, its
// output register, its pull and whatever the scenario drives onto it:
//   output push-pull     the output register bit (an external drive is overpowered)
//   output open-drain    0 when the output bit is 0, else as an input
//   input, alternate     the external level when driven, else the pull: up reads 1,
//                        down reads 0, and a floating pin without pull reads 0
//   analog               0 (the input buffer is off)
// A pin the scenario holds (pin_hold: a short, a stuck line) reads the held level in
// every mode but analog, the firmware's own output notwithstanding.
// Every change of a resolved level is traced, with who caused it.
#pragma once

#include <cstdint>

#include "sim/board.h"
#include "stm32l4xx.h"

namespace sim {

void install_gpio(Board &b);
// Port letter of a register block, or 0 for anything else.
char gpio_port_letter(const GPIO_TypeDef *port);
GPIO_TypeDef *gpio_port(char letter);
// Recomputes the port's input register after a mode, output or drive change and
// traces the pins whose level changed.
void gpio_refresh(GPIO_TypeDef *port, const char *cause);
// Level the scenario drives onto a pin (the pin stays driven for the rest of the run).
void gpio_drive(char letter, unsigned pin, unsigned level);
// Resolved level of a pin, as IDR shows it.
unsigned gpio_level(char letter, unsigned pin);

}  // namespace sim
