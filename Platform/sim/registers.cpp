// The register objects of every peripheral instance (the chip's memory-mapped
// registers are plain objects on the host) and their reset values.
//
// Each register block has a page of its own in one arena: the hang check can then
// protect the arena and learn from the fault which register a firmware loop that
// lets no time pass is reading. The `<name>_regs` symbols the device header
// declares are placed at their pages by the assembler.
#include <cstring>

#include "sim/peripherals.h"
#include "stm32l4xx.h"

namespace {
constexpr std::size_t kPage = 4096;
constexpr std::size_t kBlocks = 0
#define PERIPH(type, name, address) +1
#include "stm32l431xx_instances.def"
#undef PERIPH
    ;
#define PERIPH(type, name, address) static_assert(sizeof(type) <= kPage, #name " fits its page");
#include "stm32l431xx_instances.def"
#undef PERIPH
}  // namespace

extern "C" {
__attribute__((used)) alignas(kPage) unsigned char sim_register_arena[kBlocks * kPage];
}

// Block k (counted from 1 in the order of the list) at page k - 1.
static_assert(__COUNTER__ == 0, "the page numbers below count from here");
#define SIM_STR2(x) #x
#define SIM_STR(x) SIM_STR2(x)
#define PERIPH(type, name, address)          \
    asm(".globl " #name "_regs\n.set " #name \
        "_regs, sim_register_arena+(" SIM_STR(__COUNTER__) "-1)*4096");
#include "stm32l431xx_instances.def"
#undef PERIPH

namespace sim {

RegisterArena register_arena() {
    return RegisterArena{sim_register_arena, sizeof sim_register_arena, kPage};
}

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
