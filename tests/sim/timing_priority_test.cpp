// Line time and interrupt nesting in the device's tick, observed from firmware
// running on the board.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

const uint8_t kHundred[100] = {};

// The tick of the device: a priority-2 timer interrupt that transmits 100 bytes at
// 115200 8N1, 100 x 10 / 115200 s = 8 680 555.6 ns; the board rounds the end of each
// byte up to the next nanosecond from the start of the transmission, so the line is
// busy for 8 680 556 ns (the call itself costs one HAL call more, counted apart).
// SysTick (priority 0) keeps counting inside it; a priority-10 interrupt pended
// meanwhile runs only after the timer interrupt has returned.
TEST(Priorities, SysTickNestsInsideTickAndLowerPriorityWaits) {
    std::vector<std::string> order;
    uint32_t ticks_before = 0, ticks_after = 0;
    sim::Time low_ran_at = 0, tick_start = 0, sent_at = 0, tick_end = 0;
    auto r = run(
        [&] {
            HAL_Init();
            fixture::init_uart(fixture::huart3, USART3, fixture::hdma_rx3, DMA1_Channel3,
                               DMA1_Channel3_IRQn, 10, DMA_CIRCULAR);
            HAL_NVIC_SetPriority(EXTI0_IRQn, 10, 0);
            HAL_NVIC_EnableIRQ(EXTI0_IRQn);
            fixture::hooks.exti0 = [&] {
                order.push_back("low");
                low_ran_at = sim::board().now();
            };
            fixture::hooks.tim7 = [&] {
                if (!order.empty())
                    return;
                order.push_back("tick begin");
                HAL_NVIC_SetPendingIRQ(EXTI0_IRQn);  // pended at priority 10: must wait
                ticks_before = HAL_GetTick();
                tick_start = sim::board().now();
                EXPECT_EQ(HAL_UART_Transmit(&fixture::huart3, kHundred, 100, 1000), HAL_OK);
                sent_at = sim::board().now();
                ticks_after = HAL_GetTick();
                order.push_back("tick end");
                tick_end = sim::board().now();
            };
            fixture::init_tim(fixture::htim7, TIM7, 47, 9999, TIM7_IRQn, 2);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            fixture::idle();
        },
        30000000);
    EXPECT_NEAR(static_cast<double>(sent_at - tick_start), 8680556 + fixture::kHalCallNs, 1.0);
    EXPECT_EQ(order, (std::vector<std::string>{"tick begin", "tick end", "low"}));
    EXPECT_EQ(low_ran_at, tick_end);
    // 8.68 ms of transmit starting at 10 ms: ticks 11 to 18 happen inside it.
    EXPECT_EQ(ticks_after - ticks_before, 8u);
    EXPECT_GE(r.result.summary.irqs().at("TIM7").worst_ns, 8680556u);
}

}  // namespace
