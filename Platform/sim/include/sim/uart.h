// USART1..3 of the simulated chip: blocking transmission timed by the line rate
// (start bit, data bits, parity, stop bits at the configured baud rate) and
// reception at the line rate into the receive DMA channel the port is wired to.
#pragma once

#include "sim/board.h"

namespace sim {

void install_uarts(Board &b);

}  // namespace sim
