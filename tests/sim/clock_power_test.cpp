// The clock tree: the board configuration's 48 MHz set-up from the 8 MHz crystal
// with dividers reaching the tick and the timers, and what the chip refuses.
#include <gtest/gtest.h>

#include <vector>

#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

// The board's clock set-up: HSE 8 MHz and LSE on, PLL from HSE with M 1, N 12,
// P 7, Q 2, R 2 (96 MHz VCO, 48 MHz system clock), flash latency 2.
HAL_StatusTypeDef board_clocks(uint32_t ahb_div, uint32_t apb1_div) {
    RCC_OscInitTypeDef osc = {};
    osc.OscillatorType = RCC_OSCILLATORTYPE_HSE | RCC_OSCILLATORTYPE_LSE;
    osc.HSEState = RCC_HSE_ON;
    osc.LSEState = RCC_LSE_ON;
    osc.PLL.PLLState = RCC_PLL_ON;
    osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;
    osc.PLL.PLLM = 1;
    osc.PLL.PLLN = 12;
    osc.PLL.PLLP = RCC_PLLP_DIV7;
    osc.PLL.PLLQ = RCC_PLLQ_DIV2;
    osc.PLL.PLLR = RCC_PLLR_DIV2;
    if (HAL_RCC_OscConfig(&osc) != HAL_OK)
        return HAL_ERROR;
    RCC_ClkInitTypeDef clk = {};
    clk.ClockType =
        RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
    clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
    clk.AHBCLKDivider = ahb_div;
    clk.APB1CLKDivider = apb1_div;
    clk.APB2CLKDivider = RCC_HCLK_DIV1;
    return HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2);
}

TEST(Clock, DividersReachTheTickTheTimersAndTheCore) {
    // AHB / 2: 24 MHz core. The tick is set up again for 1 ms; TIM7 (PSC 47,
    // ARR 9999) counts the 24 MHz APB1 timer clock: 20 ms periods. With APB1 / 2
    // as well the timer clock is twice PCLK1 (24 MHz) and the period stays 20 ms.
    for (uint32_t apb1 : {RCC_HCLK_DIV1, RCC_HCLK_DIV2}) {
        std::vector<sim::Time> at;
        uint32_t ticks = 0;
        sim::Time nops = 0;
        run(
            [&] {
                HAL_Init();
                ASSERT_EQ(board_clocks(RCC_SYSCLK_DIV2, apb1), HAL_OK);
                const sim::Time t0 = sim::board().now();
                for (int i = 0; i < 2400; ++i) __NOP();
                nops = sim::board().now() - t0;
                fixture::hooks.tim7 = [&] { at.push_back(sim::board().now()); };
                fixture::init_tim(fixture::htim7, TIM7, 47, 9999, TIM7_IRQn, 2);
                HAL_TIM_Base_Start_IT(&fixture::htim7);
                const uint32_t start = HAL_GetTick();
                HAL_Delay(49);
                ticks = HAL_GetTick() - start;
                fixture::idle();
            },
            70000000);
        EXPECT_EQ(SystemCoreClock, 24000000u);
        EXPECT_EQ(nops, 100000u);  // 2400 clocks at 24 MHz
        EXPECT_EQ(ticks, 50u);
        ASSERT_GE(at.size(), 2u);
        EXPECT_EQ(at[1] - at[0], 20000000u);
    }
}

TEST(Clock, RefusesWhatTheChipCannotDo) {
    HAL_StatusTypeDef pll_without_input = HAL_OK, switch_to_dead_pll = HAL_OK,
                      stop_feeding_hse = HAL_OK;
    uint32_t still = 0, lock_wait = 0;
    run(
        [&] {
            HAL_Init();
            RCC_OscInitTypeDef osc = {};
            osc.OscillatorType = RCC_OSCILLATORTYPE_NONE;
            osc.PLL.PLLState = RCC_PLL_ON;
            osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;  // the crystal is not running yet
            osc.PLL.PLLM = 1;
            osc.PLL.PLLN = 12;
            osc.PLL.PLLP = RCC_PLLP_DIV7;
            osc.PLL.PLLQ = RCC_PLLQ_DIV2;
            osc.PLL.PLLR = RCC_PLLR_DIV2;
            const uint32_t t0 = HAL_GetTick();
            pll_without_input = HAL_RCC_OscConfig(&osc);
            lock_wait = HAL_GetTick() - t0;
            RCC_ClkInitTypeDef clk = {};
            clk.ClockType = RCC_CLOCKTYPE_SYSCLK;
            clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
            switch_to_dead_pll = HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2);
            still = SystemCoreClock;
            ASSERT_EQ(board_clocks(RCC_SYSCLK_DIV1, RCC_HCLK_DIV1), HAL_OK);
            RCC_OscInitTypeDef off = {};
            off.OscillatorType = RCC_OSCILLATORTYPE_HSE;
            off.HSEState = RCC_HSE_OFF;
            stop_feeding_hse = HAL_RCC_OscConfig(&off);
        },
        10000000);
    EXPECT_EQ(pll_without_input, HAL_TIMEOUT);
    EXPECT_EQ(lock_wait, 3u);  // the HAL's 2 ms lock time-out, passed
    EXPECT_EQ(switch_to_dead_pll, HAL_ERROR);
    EXPECT_EQ(still, 48000000u);
    EXPECT_EQ(stop_feeding_hse, HAL_ERROR);
}

}  // namespace
