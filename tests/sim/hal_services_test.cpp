// The HAL's smaller services as firmware uses them: timer output channels,
// DMA handle management, tick and NVIC services, core registers through the
// intrinsics, interrupt nesting in the device's tick, and serial reception by DMA
// with the HAL's semantics (the console's one-byte circular buffer, bytes before the
// reception, stop and abort).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

// The console port with its receive DMA channel in `mode`, as the device sets it up.
void start_board_uart3(uint32_t mode) {
    HAL_Init();
    fixture::init_uart(fixture::huart3, USART3, fixture::hdma_rx3, DMA1_Channel3,
                       DMA1_Channel3_IRQn, 10, mode);
}

// PWM and output-compare channels 1 to 6 (channel 5 and 6 on CCMR3), polarity
// and mode as the traced high time shows them, start and stop traced when they
// happen; complementary outputs and the
// main output enable on the advanced timer.
TEST(HalServices, TimerOutputChannels) {
    const struct {
        uint32_t channel, mode, polarity;
        uint64_t high_ns;
    } rows[] = {
        {TIM_CHANNEL_1, TIM_OCMODE_PWM1, TIM_OCPOLARITY_HIGH, 250000},
        {TIM_CHANNEL_2, TIM_OCMODE_PWM2, TIM_OCPOLARITY_HIGH, 750000},
        {TIM_CHANNEL_3, TIM_OCMODE_PWM1, TIM_OCPOLARITY_LOW, 750000},
        {TIM_CHANNEL_4, TIM_OCMODE_PWM2, TIM_OCPOLARITY_LOW, 250000},
        {TIM_CHANNEL_5, TIM_OCMODE_PWM1, TIM_OCPOLARITY_HIGH, 250000},
        {TIM_CHANNEL_6, TIM_OCMODE_PWM1, TIM_OCPOLARITY_HIGH, 250000},
    };
    for (const auto &row : rows) {
        TIM_HandleTypeDef h = {};
        sim::Time started = 0, stopped = 0;
        auto r = run(
            [&] {
                h.Instance = TIM1;
                h.Init.Prescaler = 47;
                h.Init.Period = 999;
                h.Init.RepetitionCounter = 0;
                ASSERT_EQ(HAL_TIM_PWM_Init(&h), HAL_OK);
                TIM_OC_InitTypeDef oc = {};
                oc.OCMode = row.mode;
                oc.Pulse = 250;
                oc.OCPolarity = row.polarity;
                oc.OCFastMode = TIM_OCFAST_ENABLE;
                ASSERT_EQ(HAL_TIM_PWM_ConfigChannel(&h, &oc, row.channel), HAL_OK);
                ASSERT_EQ(HAL_TIM_PWM_Start(&h, row.channel), HAL_OK);
                started = sim::board().now();
                EXPECT_EQ(HAL_TIM_PWM_Start(&h, row.channel), HAL_ERROR);  // already running
                EXPECT_NE(TIM1->BDTR & TIM_BDTR_MOE, 0u);
                EXPECT_EQ(HAL_TIM_GetChannelState(&h, row.channel), HAL_TIM_CHANNEL_STATE_BUSY);
                EXPECT_EQ(HAL_TIM_PWM_GetState(&h), HAL_TIM_STATE_READY);
                ASSERT_EQ(HAL_TIM_PWM_Stop(&h, row.channel), HAL_OK);
                stopped = sim::board().now();
                EXPECT_EQ(TIM1->BDTR & TIM_BDTR_MOE, 0u);
                EXPECT_EQ(TIM1->CR1 & TIM_CR1_CEN, 0u);
                EXPECT_EQ(HAL_TIM_PWM_DeInit(&h), HAL_OK);
                EXPECT_EQ(HAL_TIM_PWM_GetState(&h), HAL_TIM_STATE_RESET);
            },
            1000000);
        const auto pwm = fixture::records(r.trace, "pwm");
        ASSERT_EQ(pwm.size(), 2u) << row.channel;
        EXPECT_EQ(fixture::field(pwm[0], "channel"), static_cast<long long>(row.channel / 4 + 1));
        EXPECT_EQ(fixture::field(pwm[0], "period_ns"), 1000000);
        EXPECT_EQ(fixture::field(pwm[0], "high_ns"), static_cast<long long>(row.high_ns));
        EXPECT_EQ(fixture::field(pwm[0], "t"), static_cast<long long>(started));
        EXPECT_NE(pwm[0].find("\"on\":true"), std::string::npos);
        EXPECT_EQ(fixture::field(pwm[1], "t"), static_cast<long long>(stopped));
        EXPECT_NE(pwm[1].find("\"on\":false"), std::string::npos);
    }
    run(
        [] {
            TIM_HandleTypeDef h = {};
            h.Instance = TIM1;
            h.Init.Period = 99;
            HAL_TIM_OC_Init(&h);
            TIM_OC_InitTypeDef oc = {};
            oc.OCMode = TIM_OCMODE_TOGGLE;
            EXPECT_EQ(HAL_TIM_OC_ConfigChannel(&h, &oc, 0x7u), HAL_ERROR);
            HAL_TIM_OC_ConfigChannel(&h, &oc, TIM_CHANNEL_1);
            EXPECT_EQ(HAL_TIM_OC_Start(&h, 0x30u), HAL_ERROR);
            EXPECT_EQ(HAL_TIM_OC_Start(&h, TIM_CHANNEL_1), HAL_OK);
            EXPECT_EQ(HAL_TIM_OC_GetState(&h), HAL_TIM_STATE_READY);
            EXPECT_EQ(HAL_TIM_OC_Stop(&h, TIM_CHANNEL_1), HAL_OK);
            EXPECT_EQ(HAL_TIMEx_PWMN_Start(&h, TIM_CHANNEL_2), HAL_OK);
            EXPECT_NE(TIM1->CCER & (1u << 6), 0u);  // CC2NE
            EXPECT_NE(TIM1->CR1 & TIM_CR1_CEN, 0u);
            EXPECT_EQ(HAL_TIMEx_PWMN_Stop(&h, TIM_CHANNEL_2), HAL_OK);
            EXPECT_EQ(TIM1->CR1 & TIM_CR1_CEN, 0u);
            EXPECT_EQ(HAL_TIMEx_PWMN_Start(&h, TIM_CHANNEL_4), HAL_ERROR);
            TIM_BreakDeadTimeConfigTypeDef bdt = {};
            bdt.DeadTime = 0x2Au;
            bdt.AutomaticOutput = 1u << 14;  // AOE
            HAL_TIMEx_ConfigBreakDeadTime(&h, &bdt);
            EXPECT_EQ(TIM1->BDTR & 0x40FFu, 0x2Au | (1u << 14));  // DTG, AOE
            TIM_MasterConfigTypeDef master = {};
            master.MasterOutputTrigger = TIM_TRGO_UPDATE;
            master.MasterSlaveMode = TIM_MASTERSLAVEMODE_DISABLE;
            HAL_TIMEx_MasterConfigSynchronization(&h, &master);
            EXPECT_EQ(TIM1->CR2 & TIM_CR2_MMS, TIM_TRGO_UPDATE);
            TIM_ClockConfigTypeDef internal = {};
            internal.ClockSource = TIM_CLOCKSOURCE_INTERNAL;
            EXPECT_EQ(HAL_TIM_ConfigClockSource(&h, &internal), HAL_OK);
            EXPECT_EQ(HAL_TIM_OC_DeInit(&h), HAL_OK);
            EXPECT_EQ(HAL_TIM_GetActiveChannel(&h), HAL_TIM_ACTIVE_CHANNEL_CLEARED);
        },
        1000000);
}

// A stopped timer keeps its count and resumes from it when started again.
TEST(HalServices, TimerBaseWithoutInterruptStopRestartAndTearDown) {
    run(
        [] {
            fixture::init_tim(fixture::htim6, TIM6, 47, 9999, TIM6_DAC_IRQn, 2);
            ASSERT_EQ(HAL_TIM_Base_Start(&fixture::htim6), HAL_OK);
            EXPECT_EQ(HAL_TIM_Base_Start(&fixture::htim6), HAL_ERROR);  // already running
            for (int i = 0; i < 48 * 500; ++i) __NOP();
            EXPECT_EQ(__HAL_TIM_GET_COUNTER(&fixture::htim6), 500u);
            HAL_TIM_Base_Stop(&fixture::htim6);
            EXPECT_EQ(TIM6->CR1 & TIM_CR1_CEN, 0u);
            for (int i = 0; i < 48 * 3000; ++i) __NOP();
            HAL_TIM_Base_Start(&fixture::htim6);
            for (int i = 0; i < 48 * 200; ++i) __NOP();
            EXPECT_EQ(__HAL_TIM_GET_COUNTER(&fixture::htim6), 700u);
            HAL_TIM_Base_Stop(&fixture::htim6);
            EXPECT_EQ(HAL_TIM_Base_GetState(&fixture::htim6), HAL_TIM_STATE_READY);
            EXPECT_EQ(HAL_TIM_Base_DeInit(&fixture::htim6), HAL_OK);
            EXPECT_EQ(HAL_TIM_Base_GetState(&fixture::htim6), HAL_TIM_STATE_RESET);
            TIM_HandleTypeDef other = {};
            other.Instance = reinterpret_cast<TIM_TypeDef *>(&USART2_regs);
            EXPECT_EQ(HAL_TIM_Base_Init(&other), HAL_ERROR);
        },
        10000000);
}

TEST(HalServices, DmaHandleManagement) {
    static uint8_t buf[4];
    static int aborts;  // the DMA callbacks are plain functions
    aborts = 0;
    run(
        [&] {
            HAL_Init();
            fixture::init_uart(fixture::huart1, USART1, fixture::hdma_rx1, DMA1_Channel5,
                               DMA1_Channel5_IRQn, 1, DMA_NORMAL);
            DMA_HandleTypeDef &h = fixture::hdma_rx1;
            EXPECT_EQ(h.ChannelIndex, 16u);  // channel 5: flags at bit 16
            EXPECT_EQ((DMA1_CSELR->CSELR >> 16) & 0xFu, 2u);
            EXPECT_EQ(HAL_DMA_RegisterCallback(&h, HAL_DMA_XFER_ABORT_CB_ID,
                                               [](DMA_HandleTypeDef *) { ++aborts; }),
                      HAL_OK);
            EXPECT_EQ(HAL_DMA_RegisterCallback(&h, HAL_DMA_XFER_ALL_CB_ID, nullptr), HAL_ERROR);
            ASSERT_EQ(HAL_UART_Receive_DMA(&fixture::huart1, buf, 4), HAL_OK);
            EXPECT_EQ(HAL_DMA_GetState(&h), HAL_DMA_STATE_BUSY);
            EXPECT_EQ(HAL_DMA_RegisterCallback(&h, HAL_DMA_XFER_CPLT_CB_ID, nullptr), HAL_ERROR);
            h.XferAbortCallback = [](DMA_HandleTypeDef *) { ++aborts; };
            EXPECT_EQ(HAL_DMA_Abort_IT(&h), HAL_OK);
            EXPECT_EQ(HAL_DMA_Abort_IT(&h), HAL_ERROR);  // nothing left to abort
            EXPECT_EQ(HAL_DMA_UnRegisterCallback(&h, HAL_DMA_XFER_ALL_CB_ID), HAL_OK);
            EXPECT_EQ(h.XferAbortCallback, nullptr);
            EXPECT_EQ(HAL_DMA_DeInit(&h), HAL_OK);
            EXPECT_EQ(DMA1_Channel5->CCR, 0u);
            EXPECT_EQ(HAL_DMA_GetState(&h), HAL_DMA_STATE_RESET);
            DMA_HandleTypeDef none = {};
            EXPECT_EQ(HAL_DMA_Init(&none), HAL_ERROR);
            EXPECT_EQ(HAL_DMA_DeInit(&none), HAL_ERROR);
        },
        1000000);
    EXPECT_EQ(aborts, 1);
}

TEST(HalServices, TickAndInterruptControllerServices) {
    run(
        [&] {
            EXPECT_EQ(HAL_GetTickPrio(), 16u);  // not set up yet
            HAL_Init();
            EXPECT_EQ(HAL_GetTickPrio(), TICK_INT_PRIORITY);
            EXPECT_EQ(HAL_NVIC_GetPriorityGrouping(), NVIC_PRIORITYGROUP_4);
            HAL_NVIC_SetPriority(TIM7_IRQn, 6, 0);
            uint32_t pre = 0, sub = 0;
            HAL_NVIC_GetPriority(TIM7_IRQn, NVIC_PRIORITYGROUP_4, &pre, &sub);
            EXPECT_EQ(pre, 6u);
            HAL_NVIC_SetPendingIRQ(TIM7_IRQn);  // disabled: stays pending
            EXPECT_EQ(HAL_NVIC_GetPendingIRQ(TIM7_IRQn), 1u);
            HAL_NVIC_ClearPendingIRQ(TIM7_IRQn);
            EXPECT_EQ(HAL_NVIC_GetPendingIRQ(TIM7_IRQn), 0u);
            EXPECT_EQ(HAL_NVIC_GetActive(TIM7_IRQn), 0u);
            HAL_NVIC_EnableIRQ(TIM7_IRQn);
            EXPECT_EQ(NVIC_GetEnableIRQ(TIM7_IRQn), 1u);
            HAL_NVIC_DisableIRQ(TIM7_IRQn);
            EXPECT_EQ(NVIC_GetEnableIRQ(TIM7_IRQn), 0u);
            // A 10 ms tick: HAL_Delay counts in its steps.
            EXPECT_EQ(HAL_SetTickFreq(HAL_TICK_FREQ_10HZ), HAL_OK);
            EXPECT_EQ(HAL_GetTickFreq(), HAL_TICK_FREQ_10HZ);
            const uint32_t t0 = HAL_GetTick();
            HAL_Delay(250);
            EXPECT_EQ(HAL_GetTick() - t0, 400u);  // 250 + one tick of 100, in 100s
            HAL_SetTickFreq(HAL_TICK_FREQ_1KHZ);
            HAL_SuspendTick();
            const uint32_t frozen = HAL_GetTick();
            for (int i = 0; i < 48 * 3000; ++i) __NOP();
            EXPECT_EQ(HAL_GetTick(), frozen);
            HAL_ResumeTick();
            HAL_SYSTICK_CLKSourceConfig(SYSTICK_CLKSOURCE_HCLK_DIV8);
            EXPECT_EQ(SysTick->CTRL & SysTick_CTRL_CLKSOURCE_Msk, 0u);
            HAL_SYSTICK_CLKSourceConfig(SYSTICK_CLKSOURCE_HCLK);
            HAL_SYSTICK_IRQHandler();
            EXPECT_EQ(HAL_GetDEVID(), 0x435u);  // STM32L43x/L44x
            EXPECT_EQ(HAL_GetREVID(), 0x1001u);
            EXPECT_EQ(HAL_GetHalVersion(), 0x010D0500u);
            const volatile uint32_t *uid = reinterpret_cast<const volatile uint32_t *>(UID_BASE);
            EXPECT_EQ(HAL_GetUIDw0(), uid[0]);
            EXPECT_EQ(HAL_GetUIDw1(), uid[1]);
            EXPECT_EQ(HAL_GetUIDw2(), uid[2]);
            HAL_NVIC_SystemReset();
        },
        1000000000);
}

TEST(HalServices, CoreRegistersThroughTheIntrinsics) {
    std::vector<uint32_t> ipsr;
    run(
        [&] {
            HAL_Init();
            HAL_NVIC_SetPriority(EXTI0_IRQn, 8, 0);
            HAL_NVIC_EnableIRQ(EXTI0_IRQn);
            fixture::hooks.exti0 = [&] { ipsr.push_back(__get_IPSR()); };
            ipsr.push_back(__get_IPSR());
            __set_PRIMASK(1);
            EXPECT_EQ(__get_PRIMASK(), 1u);
            NVIC_SetPendingIRQ(EXTI0_IRQn);
            EXPECT_TRUE(ipsr.size() == 1u);  // masked
            __set_PRIMASK(0);
            EXPECT_EQ(ipsr.size(), 2u);
            __set_BASEPRI(4u << 4);  // masks priority 4 and below
            EXPECT_EQ(__get_BASEPRI(), 4u << 4);
            NVIC_SetPendingIRQ(EXTI0_IRQn);
            EXPECT_EQ(ipsr.size(), 2u);
            __set_BASEPRI(0);
            EXPECT_EQ(ipsr.size(), 3u);
            __disable_fault_irq();
            NVIC_SetPendingIRQ(EXTI0_IRQn);
            EXPECT_EQ(ipsr.size(), 3u);
            __enable_fault_irq();
            EXPECT_EQ(ipsr.size(), 4u);
            __SEV();
            __DMB();
            EXPECT_EQ(NVIC_GetPriority(EXTI0_IRQn), 8u);
            NVIC_ClearPendingIRQ(EXTI0_IRQn);
            // Numbers outside the table are ignored, as the core ignores them.
            NVIC_EnableIRQ(static_cast<IRQn_Type>(-30));
            NVIC_SetPriority(static_cast<IRQn_Type>(200), 1);
            EXPECT_EQ(NVIC_GetPriority(static_cast<IRQn_Type>(200)), 0u);
        },
        1000000);
    EXPECT_EQ(ipsr, (std::vector<uint32_t>{0, 16 + EXTI0_IRQn, 16 + EXTI0_IRQn, 16 + EXTI0_IRQn}));
}

TEST(HalServices, UartStateAndTearDown) {
    run(
        [] {
            start_board_uart3(DMA_CIRCULAR);
            static uint8_t byte;
            HAL_UART_Receive_DMA(&fixture::huart3, &byte, 1);
            EXPECT_EQ(HAL_UART_GetState(&fixture::huart3), HAL_UART_STATE_BUSY_RX);
            HAL_UART_IRQHandler(&fixture::huart3);
            EXPECT_EQ(HAL_UART_DeInit(&fixture::huart3), HAL_OK);
            EXPECT_EQ(USART3->CR1, 0u);
            EXPECT_EQ(HAL_UART_GetState(&fixture::huart3), HAL_UART_STATE_RESET);
            UART_HandleTypeDef none = {};
            EXPECT_EQ(HAL_UART_Init(&none), HAL_ERROR);
            EXPECT_EQ(HAL_UART_DeInit(&none), HAL_ERROR);
            fixture::huart3.Init.BaudRate = 0;
            EXPECT_EQ(HAL_UART_Init(&fixture::huart3), HAL_ERROR);
            fixture::huart3.Init.BaudRate = 1;  // below what the kernel clock can divide
            EXPECT_EQ(HAL_UART_Init(&fixture::huart3), HAL_ERROR);
        },
        1000000);
}

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
    sim::Time tick_start = 0, sent_at = 0;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            HAL_NVIC_SetPriority(EXTI0_IRQn, 10, 0);
            HAL_NVIC_EnableIRQ(EXTI0_IRQn);
            fixture::hooks.exti0 = [&] { order.push_back("low"); };
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
            };
            fixture::init_tim(fixture::htim7, TIM7, 47, 9999, TIM7_IRQn, 2);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            fixture::idle();
        },
        30000000);
    EXPECT_NEAR(static_cast<double>(sent_at - tick_start), 8680556 + fixture::kHalCallNs, 1.0);
    EXPECT_EQ(order, (std::vector<std::string>{"tick begin", "tick end", "low"}));
    // 8.68 ms of transmit starting at 10 ms: ticks 11 to 18 happen inside it.
    EXPECT_EQ(ticks_after - ticks_before, 8u);
    EXPECT_GE(r.result.summary.irqs().at("TIM7").worst_ns, 8680556u);
}

TEST(UartDma, OneByteCircularBufferGivesHalfThenCompleteForEveryByte) {
    // The console's set-up: a 1-byte circular buffer. Half transfer and transfer
    // complete coincide; the HAL's handler serves one per entry, so the channel
    // interrupt runs twice per byte.
    static uint8_t byte;
    std::string got, kinds;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            fixture::hooks.rx_half = [&](UART_HandleTypeDef *) { kinds += 'H'; };
            fixture::hooks.rx_cplt = [&](UART_HandleTypeDef *) {
                kinds += 'C';
                got += static_cast<char>(byte);
                // The firmware re-arms after every byte; the running circular
                // reception makes the HAL refuse, and reception goes on.
                EXPECT_EQ(HAL_UART_Receive_DMA(&fixture::huart3, &byte, 1), HAL_BUSY);
            };
            HAL_UART_Receive_DMA(&fixture::huart3, &byte, 1);
            fixture::idle();
        },
        5000000, {fixture::console_bytes(100000, "ok\r")});
    EXPECT_EQ(got, "ok\r");
    EXPECT_EQ(kinds, "HCHCHC");
    EXPECT_EQ(r.result.summary.irqs().at("DMA1_Channel3").count, 6u);
}

// Bytes before a reception starts: the first waits in the receive register and
// the DMA takes it as soon as the reception starts; the next ones overrun. A stop
// and an abort leave the port and its channel ready for the next reception.
TEST(UartDma, ByteWaitingBeforeReceptionIsTakenFirstAndStopAndAbortEndReception) {
    static uint8_t buf[8];
    int completes = 0;
    HAL_StatusTypeDef abort = HAL_ERROR, restart = HAL_ERROR;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            fixture::hooks.rx_cplt = [&](UART_HandleTypeDef *) { ++completes; };
            HAL_Delay(2);  // "ab" arrives meanwhile: 'a' waits, 'b' overruns
            HAL_UART_Receive_DMA(&fixture::huart3, buf, 2);  // 'a' taken at once
            HAL_Delay(2);  // "cd": 'c' completes the buffer, 'd' wraps to its start
            HAL_UART_DMAStop(&fixture::huart3);
            EXPECT_EQ(fixture::huart3.RxState, HAL_UART_STATE_READY);
            HAL_Delay(2);  // "ef": 'e' waits, 'f' overruns
            EXPECT_TRUE(__HAL_UART_GET_FLAG(&fixture::huart3, UART_FLAG_ORE));
            abort = HAL_UART_Abort(&fixture::huart3);  // and 'e' is discarded
            EXPECT_FALSE(__HAL_UART_GET_FLAG(&fixture::huart3, UART_FLAG_RXNE));
            EXPECT_EQ(fixture::huart3.gState, HAL_UART_STATE_READY);
            EXPECT_EQ(USART3->CR3 & USART_CR3_DMAR, 0u);
            EXPECT_EQ(DMA1_Channel3->CCR & DMA_CCR_EN, 0u);
            EXPECT_EQ(HAL_DMA_Abort(&fixture::hdma_rx3), HAL_ERROR);  // nothing to abort
            EXPECT_EQ(HAL_DMA_GetError(&fixture::hdma_rx3), HAL_DMA_ERROR_NO_XFER);
            restart = HAL_UART_Receive_DMA(&fixture::huart3, buf + 4, 2);
            fixture::idle();
        },
        20000000,
        {fixture::console_bytes(500000, "ab"), fixture::console_bytes(3500000, "cd"),
         fixture::console_bytes(6500000, "ef"), fixture::console_bytes(12000000, "gh")});
    EXPECT_EQ(abort, HAL_OK);
    EXPECT_EQ(restart, HAL_OK);
    EXPECT_EQ(completes, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 2), "dc");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf + 4), 2), "gh");
    EXPECT_EQ(r.result.summary.ports().at("USART3").lost, 2u);
}

}  // namespace
