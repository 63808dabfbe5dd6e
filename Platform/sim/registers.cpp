// The register objects of every peripheral instance (the chip's memory-mapped
// registers are plain objects on the host) and their reset values.
#include <cstring>

#include "sim/peripherals.h"
#include "stm32l4xx.h"

#define PERIPH(type, name, address) type name##_regs{};
#include "stm32l431xx_instances.def"
#undef PERIPH

namespace sim {

void reset_registers() {
#define PERIPH(type, name, address) std::memset((void *)&name##_regs, 0, sizeof(type));
#include "stm32l431xx_instances.def"
#undef PERIPH
    // GPIO reset state: analog mode everywhere except the debug pins (PA13, PA14,
    // PA15, PB3, PB4), which come up as their alternate functions with pulls.
    GPIOA_regs.MODER = 0xABFFFFFFu;
    GPIOA_regs.PUPDR = 0x64000000u;
    GPIOA_regs.OSPEEDR = 0x0C000000u;
    GPIOB_regs.MODER = 0xFFFFFEBFu;
    GPIOB_regs.PUPDR = 0x00000100u;
    GPIOC_regs.MODER = 0xFFFFFFFFu;
    GPIOD_regs.MODER = 0xFFFFFFFFu;
    GPIOE_regs.MODER = 0xFFFFFFFFu;
    GPIOH_regs.MODER = 0x0000000Fu;
    // Basic and general timers: auto-reload register resets to all ones.
    TIM2_regs.ARR = 0xFFFFFFFFu;
    TIM6_regs.ARR = 0xFFFFu;
    TIM7_regs.ARR = 0xFFFFu;
    TIM1_regs.ARR = 0xFFFFu;
    TIM15_regs.ARR = 0xFFFFu;
    TIM16_regs.ARR = 0xFFFFu;
    // Device identity: STM32L43x/L44x (0x435), revision Y (0x1001); 256 KB flash.
    DBGMCU_regs.IDCODE = 0x10016435u;
    FLASHSIZE_regs.SIZE_KB = 256u;
    UID_regs.W[0] = 0x00300041u;
    UID_regs.W[1] = 0x4D4B5011u;
    UID_regs.W[2] = 0x20363943u;
    const_cast<volatile uint32_t &>(SCB_regs.CPUID) = 0x410FC241u;
    // USART transmitter empty and complete after reset.
    USART1_regs.ISR = 0x000000C0u;
    USART2_regs.ISR = 0x000000C0u;
    USART3_regs.ISR = 0x000000C0u;
}

}  // namespace sim
