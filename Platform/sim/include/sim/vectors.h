// The vector table of the simulated chip: exception number to the handler the
// firmware links (or the default handler, which halts the board the way the chip's
// default handler spins forever).
#pragma once

namespace sim {

using VectorHandler = void (*)();
VectorHandler vector_handler(int irq);
const char *vector_name(int irq);  // "TIM7", "SysTick", "DMA1_Channel3", "IRQ 42"

}  // namespace sim
