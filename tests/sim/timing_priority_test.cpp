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
// meanwhile, and the DMA interrupt of a console byte that completes at 10.5 ms, run
// only after the timer interrupt has returned.
TEST(Priorities, SysTickNestsInsideTickAndLowerPriorityWaits) {
    std::vector<std::string> order;
    uint32_t ticks_before = 0, ticks_after = 0;
    sim::Time low_ran_at = 0, tick_start = 0, sent_at = 0, tick_end = 0, rx_at = 0;
    HAL_StatusTypeDef status = HAL_ERROR;
    uint8_t buf[1];
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
            fixture::hooks.rx_cplt = [&](UART_HandleTypeDef *) {
                if (!rx_at)
                    rx_at = sim::board().now();
            };
            fixture::hooks.tim7 = [&] {
                if (!order.empty())
                    return;
                order.push_back("tick begin");
                HAL_NVIC_SetPendingIRQ(EXTI0_IRQn);  // pended at priority 10: must wait
                ticks_before = HAL_GetTick();
                tick_start = sim::board().now();
                status = HAL_UART_Transmit(&fixture::huart3, kHundred, 100, 1000);
                sent_at = sim::board().now();
                ticks_after = HAL_GetTick();
                order.push_back("tick end");
                tick_end = sim::board().now();
            };
            HAL_UART_Receive_DMA(&fixture::huart3, buf, 1);
            fixture::init_tim(fixture::htim7, TIM7, 47, 9999, TIM7_IRQn, 2);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            fixture::idle();
        },
        30000000, {fixture::console_bytes(10413194, "x")});
    EXPECT_EQ(status, HAL_OK);
    EXPECT_NEAR(static_cast<double>(sent_at - tick_start), 8680556 + fixture::kHalCallNs, 1.0);
    const auto tx = fixture::records(r.trace, "uart_tx");
    ASSERT_EQ(tx.size(), 100u);
    // Byte k ends at ceil(k x 86805.55 ns) after the start: no drift.
    const auto end_of = [&](int k) { return static_cast<sim::Time>(fixture::field(tx[k], "t")); };
    EXPECT_EQ(end_of(9) - end_of(0), 868056u - 86806u);
    EXPECT_EQ(end_of(99) - end_of(0), 8680556u - 86806u);
    EXPECT_EQ(r.result.summary.ports().at("USART3").tx, 100u);
    EXPECT_EQ(order, (std::vector<std::string>{"tick begin", "tick end", "low"}));
    EXPECT_EQ(low_ran_at, tick_end);
    // 8.68 ms of transmit starting at 10 ms: ticks 11 to 18 happen inside it.
    EXPECT_EQ(ticks_after - ticks_before, 8u);
    // The trace shows SysTick entered at depth 2, inside TIM7.
    bool nested = false;
    for (const auto &rec : fixture::records(r.trace, "irq_enter"))
        if (rec.find("\"SysTick\"") != std::string::npos && fixture::field(rec, "depth") == 2)
            nested = true;
    EXPECT_TRUE(nested);
    EXPECT_GE(r.result.summary.irqs().at("TIM7").worst_ns, 8680556u);
    // The console byte: taken once the tick returns; the complete callback comes from
    // the handler's second HAL call (the first serves the half transfer).
    EXPECT_EQ(buf[0], 'x');
    const auto dma = fixture::entries(r.trace, "DMA1_Channel3");
    ASSERT_FALSE(dma.empty());
    EXPECT_EQ(dma[0], tick_end);
    EXPECT_NEAR(static_cast<double>(rx_at - dma[0]), 2 * fixture::kHalCallNs, 1.0);
}

}  // namespace
