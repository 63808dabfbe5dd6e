// How runs end when the firmware cannot go on: halt detection with its reason and
// time, main returning, and polling loops named from the code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_fw.h"
#include "sim/board.h"
#include "sim/peripherals.h"

using fixture::run;

namespace {

// Firmware that can never go on halts the board with the reason, at the instant it
// got stuck, with a halt or fault record in the trace; status 1.
TEST(Halt, StuckFirmwareHaltsWithItsReasonAndTime) {
    const struct {
        void (*firmware)();
        const char *reason;
        sim::Time from, to;  // end of the run
    } rows[] = {
        // The tick became pending at 1 ms and can never run; the loop falls through WFI
        // a million times (one core clock each) before the halt is declared.
        {[] {
             HAL_Init();
             __disable_irq();
             for (;;) __WFI();
         },
         "masked", 21000000, 22000000},
        {[] { __WFI(); }, "nothing that can raise one", 0, 0},  // no tick, timers or reception
        {[] {
             HAL_NVIC_SetPriority(USART2_IRQn, 3, 0);
             HAL_NVIC_EnableIRQ(USART2_IRQn);
             HAL_NVIC_SetPendingIRQ(USART2_IRQn);
             fixture::idle();
         },
         "USART2", 0, 1000},
        // A delay in a handler the tick cannot pre-empt (equal priority): at its call.
        {[] {
             HAL_Init();
             HAL_NVIC_SetPriority(EXTI0_IRQn, 0, 0);
             HAL_NVIC_EnableIRQ(EXTI0_IRQn);
             fixture::hooks.exti0 = [] { HAL_Delay(10); };
             HAL_Delay(3);
             HAL_NVIC_SetPendingIRQ(EXTI0_IRQn);
             fixture::idle();
         },
         "HAL_Delay", 4000000, 4001000},
        // The chip would take a hard fault, right after the delay.
        {[] {
             HAL_Init();
             HAL_Delay(4);
             volatile uint32_t *nowhere = nullptr;
             *nowhere = 1;
         },
         "invalid memory access", 5000000, 5001000},
    };
    for (const auto &row : rows) {
        auto r = run(row.firmware, 1000000000);
        EXPECT_EQ(r.result.ending, sim::Ending::Halted) << row.reason;
        EXPECT_EQ(sim::exit_status(r.result), sim::kExitHalted);
        EXPECT_NE(r.result.reason.find(row.reason), std::string::npos) << r.result.reason;
        EXPECT_GE(r.result.end_ns, row.from) << row.reason;
        EXPECT_LE(r.result.end_ns, row.to) << row.reason;
        EXPECT_EQ(fixture::records(r.trace, "halt").size(), 1u) << row.reason;
    }
    const auto returned = run([] { HAL_Init(); }, 1000).result;
    EXPECT_EQ(returned.ending, sim::Ending::MainReturned);
    EXPECT_EQ(sim::exit_status(returned), sim::kExitHalted);
}

// A loop that lets no virtual time pass: the hang check (1 s here) halts it and
// names the register and flag it polls; a flag that the firmware's own write sets
// at once (an oscillator's ready flag) or that is already as awaited ends the loop.
TEST(Halt, PollingLoopsThatLetNoTimePass) {
    static volatile uint32_t memory_flag = 0;  // nothing will ever set it
    const struct {
        bool uart;
        void (*loop)();
        const char *halt;  // null: the loop ends and the run completes
    } rows[] = {
        {false,
         [] {
             while (memory_flag == 0u) {
             }
         },
         "loops without letting virtual time pass (a spin loop needs __NOP or __WFI)"},
        {true,
         [] {
             while (!(USART3->ISR & USART_ISR_RXNE)) {
             }
         },
         "polls USART3->ISR ("},
        {false,
         [] {
             while (FLASH->SR & FLASH_SR_BSY) {
             }
         },
         nullptr},
        {false,
         [] {
             RCC->CR |= RCC_CR_HSEON;
             while (!(RCC->CR & RCC_CR_HSERDY)) {
             }
         },
         nullptr},
    };
    for (const auto &row : rows) {
        sim::Time spinning_from = 1;
        auto r = run(
            [&] {
                HAL_Init();
                if (row.uart)
                    fixture::init_uart(fixture::huart3, USART3, fixture::hdma_rx3, DMA1_Channel3,
                                       DMA1_Channel3_IRQn, 10, UART_MODE_TX_RX);
                spinning_from = sim::board().now();
                row.loop();
                fixture::idle();
            },
            1000000000, {}, 1);
        if (!row.halt) {
            EXPECT_EQ(r.result.ending, sim::Ending::Completed) << r.result.reason;
            continue;
        }
        EXPECT_EQ(r.result.ending, sim::Ending::Halted);
        EXPECT_NE(r.result.reason.find(row.halt), std::string::npos) << r.result.reason;
        EXPECT_EQ(r.result.end_ns, spinning_from);
    }
}

// What the hang check says about a polled register, from the code that reads it:
// the compilers' shapes of `reg & FLAG` (a test of memory, or a load followed by a
// test, an and or a bit test), another shape (the register and its value only),
// an unnamed register, and an address outside the registers.
TEST(Halt, PolledRegisterAndFlagsAreNamedFromTheCode) {
#if !defined(__x86_64__)
    GTEST_SKIP() << "the code is decoded on x86-64 hosts only";
#endif
    const struct {
        std::vector<uint8_t> code;
        const volatile void *address;
        const char *expect;
    } rows[] = {
        {{0x8B, 0x05, 0, 0, 0, 0, 0xA8, 0x80}, &USART3->ISR, "USART3->ISR (TXE = 1; reads 0x000000C0)"},
        {{0xF7, 0x05, 0, 0, 0, 0, 0, 0, 1, 0}, &FLASH->SR, "FLASH->SR (BSY = 0; reads 0x00000000)"},
        {{0x8B, 0x02, 0xA9, 0, 0, 2, 0}, &RCC->CR, "RCC->CR (HSERDY = 0; reads"},
        {{0x41, 0x8B, 0x47, 0x1C, 0x83, 0xE0, 0x40}, &USART1->ISR, "USART1->ISR (TC = 1;"},
        {{0x0F, 0xB6, 0x07, 0x0F, 0xBA, 0xE0, 0x00}, &TIM2->SR, "TIM2->SR (UIF = 0;"},
        {{0x8B, 0x07, 0x25, 0, 0, 0, 0x80}, &GPIOA->IDR, "GPIOA->IDR (bit 31 = 0;"},
        {{0x8B, 0x07, 0x85, 0xC0}, &USART3->ISR, "USART3->ISR (reads 0x000000C0)"},
        {{0x90}, &GPIOB->LCKR, "GPIOB register at offset 0x1C (reads"},
    };
    sim::RunConfig cfg;  // registers at their reset values
    cfg.length_ns = 1000;
    std::vector<std::string> got;
    sim::run_firmware(cfg, [] {});
    for (const auto &row : rows)
        got.push_back(sim::describe_register_poll(const_cast<const void *>(row.address),
                                                  row.code.data()));
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].rfind(rows[i].expect, 0), 0u) << got[i];
    EXPECT_EQ(sim::describe_register_poll(&got, rows[0].code.data()), "");
}

}  // namespace
