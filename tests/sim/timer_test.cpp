// Basic timer periods, auto-reload semantics, stop and restart, and the counter as
// firmware reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

// Update times of TIM7 counted from its start (its interrupt entries in the
// trace), up to `length` after the start. `on_tick` gets the number of the update.
std::vector<sim::Time> tim7_times(std::function<void(std::size_t)> on_tick, uint32_t psc,
                                  uint32_t arr, bool preload, sim::Time length) {
    sim::Time start = 0;
    std::size_t updates = 0;
    auto r = run(
        [&] {
            fixture::hooks.tim7 = [&] {
                if (on_tick)
                    on_tick(++updates);
            };
            fixture::init_tim(fixture::htim7, TIM7, psc, arr, TIM7_IRQn, 2, preload);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            start = sim::board().now();
            fixture::idle();
        },
        length + 100000);
    std::vector<sim::Time> at;
    for (const sim::Time t : fixture::entries(r.trace, "TIM7"))
        if (t - start < length)
            at.push_back(t - start);
    return at;
}

TEST(Timer, PeriodIsPrescalerTimesReloadAndAPreloadedChangeWaits) {
    // (47 + 1) (9999 + 1) / 48 MHz = 10 ms; the first period starts at the start. A
    // preloaded reload value written during the period that began at 10 ms applies
    // from the update at 20 ms: that period keeps its 10 ms.
    const auto at = tim7_times(
        [](std::size_t update) {
            if (update == 1)
                __HAL_TIM_SET_AUTORELOAD(&fixture::htim7, 4999);  // 5 ms from now on
        },
        47, 9999, true, 30000000);
    EXPECT_EQ(at, (std::vector<sim::Time>{10000000, 20000000, 25000000}));
    // An uneven period: (2 + 1) (6 + 1) / 48 MHz = 437.5 ns. Each update is
    // rounded up on its own from the exact start, so rounding never accumulates.
    const auto fine = tim7_times(nullptr, 2, 6, true, 2000);
    EXPECT_EQ(fine, (std::vector<sim::Time>{438, 875, 1313, 1750}));
}

// Time is measured in core clocks here (48 NOPs are 1 us, no system tick runs),
// so the counter is where the firmware expects it; only the two update handlers'
// HAL calls add a little.
void spin_us(unsigned us) {
    for (unsigned i = 0; i < 48u * us; ++i) __NOP();
}

TEST(Timer, ImmediateReloadChangeActsOnTheRunningPeriod) {
    sim::Time start = 0;
    auto r = run(
        [&] {
            fixture::init_tim(fixture::htim7, TIM7, 47, 9999, TIM7_IRQn, 2, false);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            start = sim::board().now();
            spin_us(3000);                                    // counter at 3000
            __HAL_TIM_SET_AUTORELOAD(&fixture::htim7, 3999);  // still ahead: update at 4 ms
            spin_us(6000);  // updates at 4 and 8 ms; counter at 1000 at 9 ms
            __HAL_TIM_SET_AUTORELOAD(&fixture::htim7, 999);  // behind: run to 65535 and wrap first
            fixture::idle();
        },
        80000000);
    const auto at = fixture::entries(r.trace, "TIM7");
    ASSERT_GE(at.size(), 4u);
    EXPECT_EQ(at[0] - start, 4000000u);
    EXPECT_EQ(at[1] - start, 8000000u);
    EXPECT_EQ(at[2] - start, 9000000u + 65536000u);
    EXPECT_EQ(at[3] - at[2], 1000000u);
}

// The counter as read directly after every call matches the time since its anchor,
// while it ticks more slowly than the calls come, after a direct write of the
// counter, and after updates that change the prescaler of a stopped timer.
TEST(Timer, CounterIsExactAtEveryCallThroughCountingChanges) {
    std::vector<std::string> wrong;
    run(
        [&] {
            static TIM_HandleTypeDef h = {};
            h.Instance = TIM2;  // 32 bits, 48 MHz
            h.Init.Prescaler = 47;
            h.Init.Period = 0xFFFFFFFFu;
            HAL_TIM_Base_Init(&h);
            HAL_TIM_Base_Start(&h);
            sim::Time t0 = sim::board().now();
            uint64_t c0 = 0, per_tick_clocks = 48;
            auto follow = [&](const char *phase, int calls) {
                for (int k = 0; k < calls; ++k) {
                    (void)HAL_GetTick();  // 8 core clocks
                    const uint64_t clocks = (sim::board().now() - t0) * 48u / 1000u;
                    const uint64_t expected = c0 + clocks / per_tick_clocks;
                    if (TIM2->CNT != expected && wrong.size() < 5)
                        wrong.push_back(std::string(phase) + " call " + std::to_string(k) + ": " +
                                        std::to_string(TIM2->CNT) + " for " +
                                        std::to_string(expected));
                }
            };
            follow("1 MHz", 200);
            // An interrupt pended in the same stretch as the write must not undo it.
            int exti0_runs = 0;
            static int *runs = nullptr;
            runs = &exti0_runs;
            fixture::hooks.exti0 = [] { ++*runs; };
            HAL_NVIC_EnableIRQ(EXTI0_IRQn);
            TIM2->CNT = 5000;
            NVIC->STIR = EXTI0_IRQn;
            t0 = sim::board().now();
            c0 = 5000;
            __DSB();
            if (exti0_runs != 1)
                wrong.push_back("EXTI0 ran " + std::to_string(exti0_runs) + " times");
            follow("after the write", 200);
            // A new prescaler through an update of the stopped timer: 1 kHz, then
            // 48 MHz (its count moves long before the slow one's next tick), then 1 MHz.
            const struct {
                uint32_t psc;
                const char *phase;
                int calls;
            } steps[] = {{47999, "1 kHz", 50}, {0, "48 MHz", 50}, {47, "1 MHz again", 200}};
            for (const auto &step : steps) {
                HAL_TIM_Base_Stop(&h);
                TIM2->PSC = step.psc;
                HAL_TIM_GenerateEvent(&h, TIM_EGR_UG);
                HAL_TIM_Base_Start(&h);
                t0 = sim::board().now();
                c0 = 0;
                per_tick_clocks = step.psc + 1u;
                follow(step.phase, step.calls);
            }
        },
        10000000);
    EXPECT_TRUE(wrong.empty()) << wrong.front();
}

}  // namespace
