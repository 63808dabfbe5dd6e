// DMA1 of the simulated chip, for peripheral-to-memory streams: a peripheral that
// has a data item ready requests its channel, the channel stores it at the next
// memory position, counts CNDTR down and raises its half-transfer and
// transfer-complete flags; circular channels reload, normal ones stop at zero.
//
// Memory addresses are host pointers, which do not fit the chip's 32-bit address
// registers: the HAL functions of this backend hand the real pointer to the model,
// and CMAR/CPAR show only its low 32 bits.
#pragma once

#include <cstdint>

#include "sim/board.h"

namespace sim {

void install_dma(Board &b);

// Starts a channel (1..7) from the HAL with full host pointers.
void dma_start(int channel, volatile void *periph, void *memory, std::uint32_t count);

// A peripheral asks channel `channel` to take `byte` with request line `request`
// (the CSELR selection the peripheral is wired to). False when the channel is not
// enabled for it, is not peripheral-to-memory, or has nothing left to transfer: the
// byte is then not taken.
bool dma_request_rx(int channel, std::uint32_t request, std::uint8_t byte);

// Whether a channel is enabled and still has room (so a byte could be taken).
bool dma_rx_ready(int channel, std::uint32_t request);

int dma_channel_number(const void *channel_regs);  // 1..7, 0 if not a DMA1 channel

}  // namespace sim

#include "stm32l4xx_hal.h"

namespace sim {

// The vendor's HAL_DMA_Start_IT, with host pointers (used by the UART functions).
HAL_StatusTypeDef dma_start_it(DMA_HandleTypeDef *hdma, volatile void *periph, void *memory,
                               std::uint32_t count);

}  // namespace sim
