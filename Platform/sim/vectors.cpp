// Vector table of the simulated STM32L431. Every handler is a weak symbol here; the
// firmware's own definitions (its stm32l4xx_it.cpp) replace them at link time. The
// defaults behave like the chip's default handler, which spins forever: the board
// halts and says which interrupt had no handler.
#include "sim/vectors.h"

#include <cstdio>
#include <string>

#include "sim/board.h"

// Exception number, vector name (the handler is <name>_IRQHandler or <name>_Handler).
#define SIM_CORE_VECTORS(X) \
    X(-14, NMI)             \
    X(-13, HardFault)       \
    X(-12, MemManage)       \
    X(-11, BusFault)        \
    X(-10, UsageFault)      \
    X(-5, SVC)              \
    X(-4, DebugMon)         \
    X(-2, PendSV)           \
    X(-1, SysTick)

#define SIM_DEVICE_VECTORS(X) \
    X(0, WWDG)                \
    X(1, PVD_PVM)             \
    X(2, TAMP_STAMP)          \
    X(3, RTC_WKUP)            \
    X(4, FLASH)               \
    X(5, RCC)                 \
    X(6, EXTI0)               \
    X(7, EXTI1)               \
    X(8, EXTI2)               \
    X(9, EXTI3)               \
    X(10, EXTI4)              \
    X(11, DMA1_Channel1)      \
    X(12, DMA1_Channel2)      \
    X(13, DMA1_Channel3)      \
    X(14, DMA1_Channel4)      \
    X(15, DMA1_Channel5)      \
    X(16, DMA1_Channel6)      \
    X(17, DMA1_Channel7)      \
    X(18, ADC1)               \
    X(19, CAN1_TX)            \
    X(20, CAN1_RX0)           \
    X(21, CAN1_RX1)           \
    X(22, CAN1_SCE)           \
    X(23, EXTI9_5)            \
    X(24, TIM1_BRK_TIM15)     \
    X(25, TIM1_UP_TIM16)      \
    X(26, TIM1_TRG_COM)       \
    X(27, TIM1_CC)            \
    X(28, TIM2)               \
    X(31, I2C1_EV)            \
    X(32, I2C1_ER)            \
    X(33, I2C2_EV)            \
    X(34, I2C2_ER)            \
    X(35, SPI1)               \
    X(36, SPI2)               \
    X(37, USART1)             \
    X(38, USART2)             \
    X(39, USART3)             \
    X(40, EXTI15_10)          \
    X(41, RTC_Alarm)          \
    X(49, SDMMC1)             \
    X(51, SPI3)               \
    X(54, TIM6_DAC)           \
    X(55, TIM7)               \
    X(56, DMA2_Channel1)      \
    X(57, DMA2_Channel2)      \
    X(58, DMA2_Channel3)      \
    X(59, DMA2_Channel4)      \
    X(60, DMA2_Channel5)      \
    X(64, COMP)               \
    X(65, LPTIM1)             \
    X(66, LPTIM2)             \
    X(68, DMA2_Channel6)      \
    X(69, DMA2_Channel7)      \
    X(70, LPUART1)            \
    X(71, QUADSPI)            \
    X(72, I2C3_EV)            \
    X(73, I2C3_ER)            \
    X(74, SAI1)               \
    X(76, SWPMI1)             \
    X(77, TSC)                \
    X(80, RNG)                \
    X(81, FPU)                \
    X(82, CRS)

namespace {
[[noreturn]] void default_handler(const char *name) {
    sim::board().halt(std::string("interrupt ") + name +
                      " taken with no handler (default handler spins forever)");
}
}  // namespace

#define SIM_DEFINE_CORE(num, name)                               \
    extern "C" __attribute__((weak)) void name##_Handler(void) { \
        default_handler(#name);                                  \
    }
#define SIM_DEFINE_DEVICE(num, name)                                \
    extern "C" __attribute__((weak)) void name##_IRQHandler(void) { \
        default_handler(#name);                                     \
    }
SIM_CORE_VECTORS(SIM_DEFINE_CORE)
SIM_DEVICE_VECTORS(SIM_DEFINE_DEVICE)

namespace sim {

namespace {
struct Vector {
    VectorHandler handler = nullptr;
    const char *name = nullptr;
};

struct Table {
    Vector v[kIrqSlots];
    char unnamed[kIrqSlots][12];
    Table() {
#define SIM_FILL_CORE(num, name) v[(num)-kFirstIrq] = Vector{&name##_Handler, #name};
#define SIM_FILL_DEVICE(num, name) v[(num)-kFirstIrq] = Vector{&name##_IRQHandler, #name};
        SIM_CORE_VECTORS(SIM_FILL_CORE)
        SIM_DEVICE_VECTORS(SIM_FILL_DEVICE)
        for (int s = 0; s < kIrqSlots; ++s) {
            if (!v[s].name) {
                std::snprintf(unnamed[s], sizeof unnamed[s], "IRQ %d", s + kFirstIrq);
                v[s].name = unnamed[s];
            }
        }
    }
};

const Table &table() {
    static const Table t;
    return t;
}

[[noreturn]] void reserved_vector() {
    board().halt("a reserved interrupt vector was taken");
}
}  // namespace

VectorHandler vector_handler(int irq) {
    VectorHandler h = table().v[irq - kFirstIrq].handler;
    return h ? h : &reserved_vector;
}

const char *vector_name(int irq) {
    return table().v[irq - kFirstIrq].name;
}

}  // namespace sim
