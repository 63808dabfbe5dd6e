// The CMSIS system layer of the simulated chip. The clock tree is not modelled
// yet: the core runs at the board's 48 MHz from power-on, which is where the
// firmware puts it first thing (the chip would start on its 4 MHz MSI).
#include "stm32l4xx.h"

extern "C" {

uint32_t SystemCoreClock = 48000000u;
const uint8_t AHBPrescTable[16] = {0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 1u, 2u, 3u, 4u, 6u, 7u, 8u, 9u};
const uint8_t APBPrescTable[8] = {0u, 0u, 0u, 0u, 1u, 2u, 3u, 4u};
const uint32_t MSIRangeTable[12] = {100000u,  200000u,  400000u,   800000u,   1000000u,  2000000u,
                                    4000000u, 8000000u, 16000000u, 24000000u, 32000000u, 48000000u};

void SystemInit(void) {}
void SystemCoreClockUpdate(void) {}

}  // extern "C"
