// The board at its edges, seen from firmware: the vendor's time-out rule, blocking
// reception, the core's and the peripherals' registers written directly, the unusual
// paths of the models (frame formats, DMA errors, low power, clock and power set-up,
// one-pulse timers, generated events) and what the board does not model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_setup.h"
#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

const uint8_t kHundred[100] = {};

// The vendor's time-out rule for blocking transfers: it runs from the call's start;
// Timeout 0 fails at once unless the flag is already there; HAL_MAX_DELAY never fails.
TEST(Fidelity, BlockingTransfersTimeOutFromTheCallsStartAndReceiveReportsOverrun) {
    uint8_t buf[4] = {};
    run(
        [&] {
            HAL_Init();
            ASSERT_EQ(board_setup::console(fixture::huart3), HAL_OK);
            EXPECT_EQ(HAL_UART_Receive(&fixture::huart3, buf, 3, 100), HAL_OK);  // "abc" at 1 ms
            const uint32_t t0 = HAL_GetTick();
            EXPECT_EQ(HAL_UART_Receive(&fixture::huart3, buf, 2, 5), HAL_TIMEOUT);  // only "d"
            EXPECT_EQ(HAL_GetTick() - t0, 6u);
            EXPECT_EQ(fixture::huart3.RxXferCount, 1u);
            HAL_Delay(20);  // "xyz": 'x' waits in the register, 'y' and 'z' overrun
            EXPECT_EQ(HAL_UART_Receive(&fixture::huart3, buf + 2, 2, 10), HAL_TIMEOUT);
            EXPECT_EQ(HAL_UART_GetError(&fixture::huart3), HAL_UART_ERROR_ORE);
            fixture::huart3.RxState = HAL_UART_STATE_BUSY_RX;
            EXPECT_EQ(HAL_UART_Receive(&fixture::huart3, buf, 1, 10), HAL_BUSY);
            // 100 bytes need 8.68 ms of line time.
            const struct {
                uint32_t timeout;
                uint16_t size;
                HAL_StatusTypeDef expect;
                uint64_t sent;  // bytes that left the line before the call returned
                bool off;       // the port switched off: nothing ever leaves
            } rows[] = {
                {0, 1, HAL_TIMEOUT, 0, false},    {0, 100, HAL_TIMEOUT, 0, false},
                {1, 100, HAL_TIMEOUT, 12, false}, {7, 100, HAL_TIMEOUT, 80, false},
                {9, 100, HAL_OK, 100, false},     {HAL_MAX_DELAY, 100, HAL_OK, 100, false},
                {5, 1, HAL_TIMEOUT, 0, true},
            };
            for (const auto &row : rows) {
                HAL_Delay(1);  // what the last call left in the port goes out first
                if (row.off)
                    __HAL_UART_DISABLE(&fixture::huart3);
                const uint64_t before = sim::board().summary().port("USART3").tx;
                EXPECT_EQ(HAL_UART_Transmit(&fixture::huart3, kHundred, row.size, row.timeout),
                          row.expect)
                    << "timeout " << row.timeout << " size " << row.size;
                const uint64_t sent = sim::board().summary().port("USART3").tx - before;
                EXPECT_GE(sent + 2, row.sent) << "timeout " << row.timeout;
                EXPECT_LE(sent, row.sent + 12u) << "timeout " << row.timeout;
                EXPECT_EQ(fixture::huart3.gState, HAL_UART_STATE_READY);
            }
        },
        100000000, {fixture::console_bytes(1000000, "abc"), fixture::console_bytes(3000000, "d"),
                    fixture::console_bytes(20000000, "xyz")});
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 3), "dbx");
}

// Frame formats: line time from start, data, parity and stop bits; the data
// bits the line carries (the parity bit replaces the top one); nine-bit items.
TEST(Fidelity, UnusualFrameFormats) {
    const struct {
        uint32_t word, parity, stop;
        unsigned halfbits;   // per frame
        uint16_t sent_as;    // what 0xFF arrives as on the line
    } rows[] = {
        {UART_WORDLENGTH_7B, UART_PARITY_NONE, UART_STOPBITS_1, 18, 0x7F},
        {UART_WORDLENGTH_7B, UART_PARITY_ODD, UART_STOPBITS_0_5, 17, 0x3F},
        {UART_WORDLENGTH_8B, UART_PARITY_EVEN, UART_STOPBITS_1_5, 21, 0x7F},
        {UART_WORDLENGTH_9B, UART_PARITY_NONE, UART_STOPBITS_2, 24, 0x1FF},
        {UART_WORDLENGTH_9B, UART_PARITY_EVEN, UART_STOPBITS_2, 24, 0xFF},
    };
    for (const auto &row : rows) {
        sim::Time took = 0;
        uint8_t rx[2] = {};
        auto r = run(
            [&] {
                board_setup::console(fixture::huart3);
                fixture::huart3.Init.WordLength = row.word;
                fixture::huart3.Init.Parity = row.parity;
                fixture::huart3.Init.StopBits = row.stop;
                ASSERT_EQ(HAL_UART_Init(&fixture::huart3), HAL_OK);
                static const uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
                const sim::Time t0 = sim::board().now();
                HAL_UART_Transmit(&fixture::huart3, ones, 2, HAL_MAX_DELAY);
                took = sim::board().now() - t0;
                HAL_UART_Receive(&fixture::huart3, rx, 1, 10);
            },
            5000000, {fixture::console_bytes(1000000, "\xC3")});
        const auto tx = fixture::records(r.trace, "uart_tx");
        const unsigned items = 2;  // nine-bit items are 16 bits each: 4 bytes of `ones`
        ASSERT_EQ(tx.size(), items) << row.halfbits;
        EXPECT_EQ(fixture::field(tx[0], "byte"), row.sent_as);
        EXPECT_NEAR(static_cast<double>(took),
                    sim::scaled_ceil(items * row.halfbits, 1000000000u, 2u * 115200u) +
                        fixture::kHalCallNs,
                    1.0);
        EXPECT_EQ(rx[0], 0xC3 & row.sent_as & 0xFF) << row.halfbits;
    }
}

// A channel re-pointed by the firmware behind the HAL's back cannot reach host
// memory: the transfer fails with a transfer error, the channel stops, the HAL
// reports it through the error callback, and the byte waits in the register.
TEST(Fidelity, DmaTransferErrorStopsTheChannelAndReachesTheErrorCallback) {
    static uint8_t buf[2];
    uint32_t uart_error = 0, dma_error = 0;
    auto r = run(
        [&] {
            HAL_Init();
            fixture::init_uart(fixture::huart3, USART3, fixture::hdma_rx3, DMA1_Channel3,
                               DMA1_Channel3_IRQn, 10, DMA_CIRCULAR);
            HAL_UART_Receive_DMA(&fixture::huart3, buf, 2);
            DMA1_Channel3->CMAR = 0x20000000u;
            HAL_Delay(2);
            uart_error = HAL_UART_GetError(&fixture::huart3);
            dma_error = HAL_DMA_GetError(&fixture::hdma_rx3);
            EXPECT_EQ(DMA1_Channel3->CCR & DMA_CCR_EN, 0u);
            EXPECT_TRUE(__HAL_UART_GET_FLAG(&fixture::huart3, UART_FLAG_RXNE));
        },
        5000000, {fixture::console_bytes(500000, "q")});
    EXPECT_EQ(uart_error & HAL_UART_ERROR_DMA, HAL_UART_ERROR_DMA);
    EXPECT_EQ(dma_error, HAL_DMA_ERROR_TE);
    EXPECT_EQ(r.result.summary.irqs().at("DMA1_Channel3").count, 1u);
}

// Direct writes to the core's registers are taken at the next call: an interrupt
// set pending through STIR, PendSV through ICSR, the last word or byte of each range
// the core's watcher compares (device interrupt 95 is bit 31 of the third word),
// and a reset request, which ends the run.
TEST(Fidelity, DirectCoreRegisterWritesAreTaken) {
    std::vector<std::string> order;
    std::vector<int> seen;
    auto r = run(
        [&] {
            HAL_Init();
            HAL_NVIC_SetPriority(PendSV_IRQn, 15, 0);
            fixture::hooks.pendsv = [&] { order.push_back("PendSV"); };
            fixture::hooks.exti0 = [&] {
                order.push_back("exti0");
                SCB->ICSR = SCB_ICSR_PENDSVSET_Msk;  // lower priority: runs after this returns
                __DSB();
                order.push_back("exti0 end");
            };
            NVIC->IP[EXTI0_IRQn] = 3u << 4;
            NVIC->ISER[0] = 1u << EXTI0_IRQn;
            NVIC->STIR = EXTI0_IRQn;
            __DSB();
            order.push_back("main");
            sim::Nvic &n = sim::board().nvic();
            NVIC->IP[95] = 0x50;
            SCB->SHP[11] = 0x70;  // SysTick
            __ISB();
            seen.push_back(n.priority_register(95));
            seen.push_back(n.priority_register(SysTick_IRQn));
            NVIC->ISPR[2] = 1u << 31;  // pending while disabled: nothing runs
            __ISB();
            seen.push_back(n.pending(95));
            NVIC->ICPR[2] = 1u << 31;
            __ISB();
            seen.push_back(n.pending(95));
            NVIC->ISER[2] = 1u << 31;
            __ISB();
            seen.push_back(n.enabled(95));
            NVIC->ICER[2] = 1u << 31;
            __ISB();
            seen.push_back(n.enabled(95));
            SCB->AIRCR = (0x05FAu << 16) | SCB_AIRCR_SYSRESETREQ_Msk;
            __DSB();
            order.push_back("not reached");
        },
        1000000);
    EXPECT_EQ(order, (std::vector<std::string>{"exti0", "exti0 end", "PendSV", "main"}));
    EXPECT_EQ(seen, (std::vector<int>{0x50, 0x70, 1, 0, 1, 0}));
    EXPECT_EQ(r.result.ending, sim::Ending::Reset);
    EXPECT_EQ(sim::exit_status(r.result), sim::kExitCompleted);
}

// Each register the peripheral watchers compare, written directly on its own, takes
// effect at the next call. PA5 is an output; each step changes one register.
TEST(Fidelity, DirectPeripheralWritesTakeEffectAtTheNextCall) {
    std::vector<uint32_t> pin, flags;
    uint32_t lsi_ready = 0, held = 0;
    sim::ScenarioEvent hold;  // PA6 held high from the start
    hold.kind = sim::ScenarioEventKind::PinHold;
    hold.port = 'A';
    hold.pin = 6;
    hold.level = 1;
    run(
        [&] {
            HAL_Init();
            __HAL_RCC_GPIOA_CLK_ENABLE();
            GPIO_InitTypeDef out = {};
            out.Pin = GPIO_PIN_5 | GPIO_PIN_6;
            out.Mode = GPIO_MODE_OUTPUT_PP;
            HAL_GPIO_Init(GPIOA, &out);
            held = (GPIOA->IDR >> 6) & 1u;  // held high against its own low output
            void (*const steps[])() = {
                [] { GPIOA->ODR |= 1u << 5; },                                  // 1
                [] { GPIOA->OTYPER |= 1u << 5; },                               // 0: open drain, no pull
                [] { GPIOA->PUPDR |= 1u << 10; },                               // 1: pulled up
                [] { GPIOA->BSRR = 1u << 21; },                                 // 0: driven low
                [] { GPIOA->MODER &= ~(3u << 10); },                            // 1: input, pulled up
                [] { GPIOA->MODER |= 1u << 10; },                               // 0: output again
                [] { GPIOA->BSRR = 1u << 5; },                                  // 1: released
                [] { GPIOA->BRR = 1u << 5; },                                   // 0
            };
            for (auto step : steps) {
                step();
                __ISB();
                pin.push_back((GPIOA->IDR >> 5) & 1u);
            }
            ASSERT_EQ(board_setup::console(fixture::huart3), HAL_OK);
            while (!__HAL_UART_GET_FLAG(&fixture::huart3, UART_FLAG_ORE)) (void)HAL_GetTick();
            flags.push_back(USART3->ISR & (USART_ISR_ORE | USART_ISR_RXNE));
            USART3->ICR = USART_ICR_ORECF;
            __ISB();
            flags.push_back(USART3->ISR & (USART_ISR_ORE | USART_ISR_RXNE));
            USART3->RQR = USART_RQR_RXFRQ;
            __ISB();
            flags.push_back(USART3->ISR & (USART_ISR_ORE | USART_ISR_RXNE));
            RCC->CSR |= RCC_CSR_LSION;
            __ISB();
            lsi_ready = RCC->CSR & RCC_CSR_LSIRDY;
        },
        10000000, {hold, fixture::console_bytes(2000000, "kk")});
    EXPECT_EQ(held, 1u);
    EXPECT_EQ(pin, (std::vector<uint32_t>{1, 0, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(flags, (std::vector<uint32_t>{USART_ISR_ORE | USART_ISR_RXNE, USART_ISR_RXNE, 0}));
    EXPECT_NE(lsi_ready, 0u);
}

// A TIM1 time base as the HAL sets it up, then `bits` set in `reg` directly.
void timer(uint32_t counter_mode, uint32_t repetitions, volatile uint32_t *reg = nullptr,
           uint32_t bits = 0) {
    TIM_HandleTypeDef h = {};
    h.Instance = TIM1;
    h.Init.Period = 999;
    h.Init.CounterMode = counter_mode;
    h.Init.RepetitionCounter = repetitions;
    HAL_TIM_Base_Init(&h);
    if (reg)
        *reg |= bits;
}

// The calendar set on a fresh handle (a halted call leaves its handle locked).
void set_time(uint8_t hours, uint8_t minutes, uint32_t format) {
    static RTC_HandleTypeDef h;
    h = RTC_HandleTypeDef{};
    h.Instance = RTC;
    RTC_TimeTypeDef t = {};
    t.Hours = hours;
    t.Minutes = minutes;
    HAL_RTC_SetTime(&h, &t, format);
}
void set_date(uint8_t weekday, uint8_t month, uint8_t day, uint32_t format) {
    static RTC_HandleTypeDef h;
    h = RTC_HandleTypeDef{};
    h.Instance = RTC;
    RTC_DateTypeDef d = {weekday, month, day, 24};
    HAL_RTC_SetDate(&h, &d, format);
}

// What the board cannot do halts it naming what was asked, instead of doing
// nothing: calls, register bits and modes that are not modelled, invalid values.
TEST(Fidelity, WhatIsNotModelledHaltsNamingIt) {
    static uint8_t b[4];
    static QSPI_HandleTypeDef q;
    static QSPI_CommandTypeDef c;
    static QSPI_AutoPollingTypeDef poll;
    static QSPI_MemoryMappedTypeDef mapped;
    static RTC_HandleTypeDef rtc;
    rtc.Instance = RTC;  // a null one faults first (another test)
    static RTC_AlarmTypeDef alarm;
    static ADC_HandleTypeDef adc;
    static I2C_HandleTypeDef i2c;
    const struct {
        void (*write)();
        const char *name;
    } rows[] = {
        {[] { HAL_UART_Transmit_IT(&fixture::huart3, b, 1); }, "HAL_UART_Transmit_IT"},
        {[] { HAL_UART_Receive_IT(&fixture::huart3, b, 1); }, "HAL_UART_Receive_IT"},
        {[] { HAL_UART_Transmit_DMA(&fixture::huart3, b, 1); }, "HAL_UART_Transmit_DMA"},
        {[] { HAL_UART_DMAPause(&fixture::huart3); }, "HAL_UART_DMAPause"},
        {[] { HAL_UART_DMAResume(&fixture::huart3); }, "HAL_UART_DMAResume"},
        {[] { HAL_HalfDuplex_Init(&fixture::huart3); }, "HAL_HalfDuplex_Init"},
        {[] { HAL_DMA_Start(&fixture::hdma_rx3, 0, 0, 1); }, "HAL_DMA_Start"},
        {[] { HAL_DMA_Start_IT(&fixture::hdma_rx3, 0, 0, 1); }, "HAL_DMA_Start_IT"},
        {[] { HAL_DMA_PollForTransfer(&fixture::hdma_rx3, HAL_DMA_FULL_TRANSFER, 1); },
         "HAL_DMA_PollForTransfer"},
        {[] {
             TIM_ClockConfigTypeDef clock = {TIM_CLOCKSOURCE_ETRMODE2, 0, 0, 0};
             fixture::htim7.Instance = TIM7;
             HAL_TIM_ConfigClockSource(&fixture::htim7, &clock);
         },
         "external timer clock"},
        {[] { __BKPT(3); }, "BKPT 3"},
        {[] { HAL_QSPI_Command_IT(&q, &c); }, "HAL_QSPI_Command_IT"},
        {[] { HAL_QSPI_Transmit_IT(&q, b); }, "HAL_QSPI_Transmit_IT"},
        {[] { HAL_QSPI_Receive_IT(&q, b); }, "HAL_QSPI_Receive_IT"},
        {[] { HAL_QSPI_Transmit_DMA(&q, b); }, "HAL_QSPI_Transmit_DMA"},
        {[] { HAL_QSPI_Receive_DMA(&q, b); }, "HAL_QSPI_Receive_DMA"},
        {[] { HAL_QSPI_AutoPolling(&q, &c, &poll, 1); }, "HAL_QSPI_AutoPolling"},
        {[] { HAL_QSPI_AutoPolling_IT(&q, &c, &poll); }, "HAL_QSPI_AutoPolling_IT"},
        {[] { HAL_QSPI_MemoryMapped(&q, &c, &mapped); }, "memory-mapped"},
        {[] { HAL_QSPI_Abort_IT(&q); }, "HAL_QSPI_Abort_IT"},
        {[] { HAL_ADC_PollForEvent(&adc, ADC_FLAG_AWD1, 1); }, "HAL_ADC_PollForEvent"},
        {[] { HAL_ADC_Start_DMA(&adc, nullptr, 1); }, "HAL_ADC_Start_DMA"},
        {[] { HAL_ADC_Stop_DMA(&adc); }, "HAL_ADC_Stop_DMA"},
        {[] { HAL_ADCEx_InjectedStart(&adc); }, "HAL_ADCEx_InjectedStart"},
        {[] { HAL_ADCEx_InjectedStop(&adc); }, "HAL_ADCEx_InjectedStop"},
        {[] { HAL_ADCEx_InjectedStart_IT(&adc); }, "HAL_ADCEx_InjectedStart_IT"},
        {[] { HAL_ADCEx_InjectedStop_IT(&adc); }, "HAL_ADCEx_InjectedStop_IT"},
        {[] { HAL_ADCEx_InjectedGetValue(&adc, 1u); }, "HAL_ADCEx_InjectedGetValue"},
        {[] { HAL_ADCEx_RegularStop(&adc); }, "HAL_ADCEx_RegularStop"},
        {[] { HAL_ADCEx_RegularStop_IT(&adc); }, "HAL_ADCEx_RegularStop_IT"},
        {[] { HAL_I2C_Slave_Transmit(&i2c, b, 1, 1); }, "HAL_I2C_Slave_Transmit"},
        {[] { HAL_I2C_Slave_Receive(&i2c, b, 1, 1); }, "HAL_I2C_Slave_Receive"},
        {[] { HAL_I2C_Master_Transmit_IT(&i2c, 0xD0, b, 1); }, "HAL_I2C_Master_Transmit_IT"},
        {[] { HAL_I2C_Master_Receive_IT(&i2c, 0xD0, b, 1); }, "HAL_I2C_Master_Receive_IT"},
        {[] { HAL_I2C_Mem_Write_IT(&i2c, 0xD0, 0x20, 1, b, 1); }, "HAL_I2C_Mem_Write_IT"},
        {[] { HAL_I2C_Mem_Read_IT(&i2c, 0xD0, 0x0B, 1, b, 1); }, "HAL_I2C_Mem_Read_IT"},
        {[] { HAL_I2CEx_EnableWakeUp(&i2c); }, "HAL_I2CEx_EnableWakeUp"},
        {[] { HAL_I2CEx_DisableWakeUp(&i2c); }, "HAL_I2CEx_DisableWakeUp"},
        {[] { HAL_I2CEx_EnableFastModePlus(I2C_FASTMODEPLUS_PB6); }, "FastModePlus"},
        {[] { HAL_RTC_SetAlarm(&rtc, &alarm, RTC_FORMAT_BIN); }, "RTC alarms"},
        {[] { HAL_RTC_SetAlarm_IT(&rtc, &alarm, RTC_FORMAT_BIN); }, "RTC alarms"},
        {[] { HAL_RTC_DeactivateAlarm(&rtc, RTC_ALARM_A); }, "RTC alarms"},
        {[] { HAL_RTC_AlarmIRQHandler(&rtc); }, "RTC alarms"},
        {[] { HAL_RTCEx_SetWakeUpTimer_IT(&rtc, 1, 0); }, "wake-up timer"},
        {[] { HAL_RTCEx_DeactivateWakeUpTimer(&rtc); }, "wake-up timer"},
        {[] { HAL_RTCEx_WakeUpTimerIRQHandler(&rtc); }, "wake-up timer"},
        {[] { HAL_RTCEx_BKUPRead(&rtc, 32); }, "backup register 32"},
        {[] { HAL_RTCEx_BKUPWrite(&rtc, 32, 1); }, "backup register 32"},
        {[] { set_time(24, 0, RTC_FORMAT_BIN); }, "the hours"},
        {[] { set_time(23, 60, RTC_FORMAT_BIN); }, "the minutes or seconds"},
        {[] { set_time(0x1A, 0, RTC_FORMAT_BCD); }, "a BCD digit"},
        {[] { set_date(RTC_WEEKDAY_MONDAY, 2, 30, RTC_FORMAT_BIN); }, "the date"},
        {[] { set_date(RTC_WEEKDAY_MONDAY, 0x0C, 1, RTC_FORMAT_BCD); }, "a BCD digit"},
        {[] { set_date(0, 1, 1, RTC_FORMAT_BIN); }, "the week day"},
        {[] {
             HAL_PWR_EnableBkUpAccess();
             RCC->BDCR |= RCC_RTCCLKSOURCE_LSI | RCC_BDCR_RTCEN;
             set_time(0, 0, RTC_FORMAT_BIN);
         },
         "RTC clock other than the LSE"},
        {[] { SCB->VTOR = 0x08004000u; }, "SCB->VTOR"},
        {[] { SCB->ICSR = 1u << 31; }, "NMIPENDSET"},
        {[] { HAL_PWR_EnableSleepOnExit(); }, "SLEEPONEXIT"},
        {[] { SCB->AIRCR = (0x05FAu << 16) | 1u; }, "VECTRESET"},
        {[] {
             __HAL_RCC_USART3_CLK_ENABLE();
             USART3->CR1 |= USART_CR1_RXNEIE;
         },
         "RXNEIE"},
        {[] {
             __HAL_RCC_USART3_CLK_ENABLE();
             USART3->TDR = 'x';
         },
         "USART3 TDR written directly"},
        {[] {
             GPIO_InitTypeDef in = {GPIO_PIN_0, GPIO_MODE_IT_FALLING, GPIO_NOPULL, 0, 0};
             HAL_GPIO_Init(GPIOB, &in);
         },
         "EXTI"},
        {[] { HAL_PWR_EnterSTOPMode(PWR_MAINREGULATOR_ON, PWR_STOPENTRY_WFI); }, "stop mode"},
        {[] { HAL_PWREx_EnterSTOP0Mode(PWR_STOPENTRY_WFI); }, "stop mode"},
        {[] { HAL_PWREx_EnterSTOP1Mode(PWR_STOPENTRY_WFE); }, "stop mode"},
        {[] { HAL_PWREx_EnterSTOP2Mode(PWR_STOPENTRY_WFI); }, "stop mode"},
        {[] { timer(TIM_COUNTERMODE_DOWN, 0); }, "TIM1 CR1 DIR"},
        {[] { timer(TIM_COUNTERMODE_CENTERALIGNED1, 0); }, "TIM1 CR1 CMS"},
        {[] { timer(TIM_COUNTERMODE_UP, 3); }, "TIM1 RCR"},
        {[] { timer(TIM_COUNTERMODE_UP, 0, &TIM1->DIER, TIM_DIER_UDE); }, "TIM1 DIER DMA requests"},
        {[] { timer(TIM_COUNTERMODE_UP, 0, &TIM1->SMCR, 4u); }, "TIM1 SMCR SMS"},  // reset mode
        {[] { timer(TIM_COUNTERMODE_UP, 0, &TIM1->DIER, TIM_DIER_TIE); }, "TIM1 DIER TIE"},
        {[] {
             TIM_HandleTypeDef h = {};
             h.Instance = TIM2;
             h.Init.Period = 999;
             HAL_TIM_PWM_Init(&h);
             HAL_TIM_PWM_Start_IT(&h, TIM_CHANNEL_2);
         },
         "TIM2 DIER CC2IE"},
        {[] {
             PWR->CR1 = (PWR->CR1 & ~PWR_CR1_LPMS) | 1u;  // stop 1
             SCB->SCR |= SCB_SCR_SLEEPDEEP_Msk;
             __WFI();
         },
         "stop mode"},
    };
    for (const auto &row : rows) {
        auto r = run(
            [&] {
                row.write();
                __NOP();
            },
            1000000);
        EXPECT_EQ(r.result.ending, sim::Ending::Halted) << row.name;
        EXPECT_NE(r.result.reason.find(row.name), std::string::npos) << r.result.reason;
    }
}

TEST(Fidelity, LowPowerModes) {
    // Sleep waits for the next interrupt; standby and shutdown, by HAL call or by
    // SLEEPDEEP and WFI, end the power cycle.
    sim::Time woke = 0;
    run(
        [&] {
            HAL_Init();
            HAL_PWR_EnterSLEEPMode(PWR_MAINREGULATOR_ON, PWR_SLEEPENTRY_WFI);
            woke = sim::board().now();
            HAL_PWR_EnterSLEEPMode(PWR_LOWPOWERREGULATOR_ON, PWR_SLEEPENTRY_WFE);
        },
        5000000);
    EXPECT_GT(woke, 1000000u);
    EXPECT_LT(woke, 1001000u);
    const struct {
        void (*enter)();
        const char *mode;
    } rows[] = {
        {[] { HAL_PWREx_EnterSHUTDOWNMode(); }, "shutdown"},
        {[] {
             PWR->CR1 = (PWR->CR1 & ~PWR_CR1_LPMS) | PWR_CR1_LPMS_STANDBY;
             SCB->SCR |= SCB_SCR_SLEEPDEEP_Msk;
             __WFI();
         },
         "standby"},
        {[] {
             PWR->CR1 = (PWR->CR1 & ~PWR_CR1_LPMS) | PWR_CR1_LPMS_SHUTDOWN;
             SCB->SCR |= SCB_SCR_SLEEPDEEP_Msk;
             __WFE();
         },
         "shutdown"},
    };
    for (const auto &row : rows) {
        auto r = run(row.enter, 1000000);
        EXPECT_EQ(r.result.ending, sim::Ending::Standby) << row.mode;
        const auto lp = fixture::records(r.trace, "low_power");
        ASSERT_EQ(lp.size(), 1u);
        EXPECT_NE(lp[0].find(row.mode), std::string::npos) << lp[0];
    }
}

// Voltage scaling refuses a range the system clock is too fast for; the power
// controller's set-up calls write the vendor's bits.
TEST(Fidelity, PowerRegisterSetUp) {
    run(
        [] {
            // Range 2 allows at most 26 MHz.
            EXPECT_EQ(HAL_PWREx_ControlVoltageScaling(PWR_REGULATOR_VOLTAGE_SCALE2), HAL_ERROR);
            RCC_OscInitTypeDef osc = {};
            osc.OscillatorType = RCC_OSCILLATORTYPE_HSI;
            osc.HSIState = RCC_HSI_ON;
            HAL_RCC_OscConfig(&osc);
            RCC_ClkInitTypeDef clk = {};
            clk.ClockType = RCC_CLOCKTYPE_SYSCLK;
            clk.SYSCLKSource = RCC_SYSCLKSOURCE_HSI;
            HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_0);
            EXPECT_EQ(HAL_PWREx_ControlVoltageScaling(PWR_REGULATOR_VOLTAGE_SCALE2), HAL_OK);
            EXPECT_EQ(HAL_PWREx_ControlVoltageScaling(0x12345u), HAL_ERROR);
            EXPECT_EQ(HAL_PWREx_GetVoltageRange(), PWR_REGULATOR_VOLTAGE_SCALE2);
            static PWR_PVDTypeDef pvd = {PWR_PVDLEVEL_4, PWR_PVD_MODE_NORMAL};
            const struct {
                void (*set)(), (*clear)();
                volatile uint32_t *reg;
                uint32_t bits;
            } rows[] = {
                {HAL_PWR_EnableBkUpAccess, HAL_PWR_DisableBkUpAccess, &PWR->CR1, PWR_CR1_DBP},
                {[] { HAL_PWR_EnableWakeUpPin(PWR_WAKEUP_PIN2_LOW); },
                 [] { HAL_PWR_DisableWakeUpPin(PWR_WAKEUP_PIN2); }, &PWR->CR3, PWR_CR3_EWUP2},
                {[] { HAL_PWREx_EnableGPIOPullUp(PWR_GPIO_A, PWR_GPIO_BIT_12); },
                 [] { HAL_PWREx_DisableGPIOPullUp(PWR_GPIO_A, PWR_GPIO_BIT_12); }, &PWR->PUCRA,
                 PWR_GPIO_BIT_12},
                {[] { HAL_PWREx_EnableGPIOPullDown(PWR_GPIO_B, PWR_GPIO_BIT_0); },
                 [] { HAL_PWREx_DisableGPIOPullDown(PWR_GPIO_B, PWR_GPIO_BIT_0); }, &PWR->PDCRB,
                 PWR_GPIO_BIT_0},
                {HAL_PWREx_EnablePullUpPullDownConfig, HAL_PWREx_DisablePullUpPullDownConfig,
                 &PWR->CR3, PWR_CR3_APC},
                {HAL_PWREx_EnableSRAM2ContentRetention, HAL_PWREx_DisableSRAM2ContentRetention,
                 &PWR->CR3, PWR_CR3_RRS},
                {HAL_PWREx_EnableInternalWakeUpLine, HAL_PWREx_DisableInternalWakeUpLine,
                 &PWR->CR3, PWR_CR3_EIWUL},
                {[] { HAL_PWREx_EnableBatteryCharging(PWR_CR4_VBRS); },
                 HAL_PWREx_DisableBatteryCharging, &PWR->CR4, PWR_CR4_VBE},
                {[] {
                     HAL_PWR_ConfigPVD(&pvd);
                     HAL_PWR_EnablePVD();
                 },
                 HAL_PWR_DisablePVD, &PWR->CR2, PWR_CR2_PVDE},
                {[] { (void)HAL_PWREx_EnableLowPowerRunMode(); },
                 [] { (void)HAL_PWREx_DisableLowPowerRunMode(); }, &PWR->CR1, PWR_CR1_LPR},
                {HAL_PWR_EnableSEVOnPend, HAL_PWR_DisableSEVOnPend, &SCB->SCR,
                 SCB_SCR_SEVONPEND_Msk},
            };
            for (const auto &row : rows) {
                row.set();
                EXPECT_EQ(*row.reg & row.bits, row.bits) << row.bits;
                row.clear();
                EXPECT_EQ(*row.reg & row.bits, 0u) << row.bits;
            }
            EXPECT_EQ(PWR->CR2 & PWR_CR2_PLS, PWR_PVDLEVEL_4);
            EXPECT_EQ(HAL_PWREx_EnableGPIOPullUp(0x99u, 1u), HAL_ERROR);
            const struct {
                uint32_t port;
                volatile uint32_t *up;
            } ports[] = {{PWR_GPIO_C, &PWR->PUCRC}, {PWR_GPIO_D, &PWR->PUCRD},
                         {PWR_GPIO_E, &PWR->PUCRE}, {PWR_GPIO_H, &PWR->PUCRH}};
            for (const auto &p : ports) {
                EXPECT_EQ(HAL_PWREx_EnableGPIOPullUp(p.port, PWR_GPIO_BIT_3), HAL_OK);
                EXPECT_EQ(*p.up, PWR_GPIO_BIT_3) << p.port;
            }
            // One pull replaces the other; pins without a pull keep their bits clear.
            HAL_PWREx_EnableGPIOPullDown(PWR_GPIO_A, 0xFFFFu);
            HAL_PWREx_EnableGPIOPullUp(PWR_GPIO_A, PWR_GPIO_BIT_5 | PWR_GPIO_BIT_14);
            HAL_PWREx_EnableGPIOPullDown(PWR_GPIO_B, PWR_GPIO_BIT_4);
            HAL_PWREx_EnableGPIOPullDown(PWR_GPIO_H, 0xFFFFu);
            HAL_PWREx_EnableGPIOPullUp(PWR_GPIO_H, PWR_GPIO_BIT_1);
            // PA13 and PA15 get no pull-down; PA14 gets no pull-up but loses its pull-down.
            EXPECT_EQ(PWR->PDCRA, 0x1FDFu);
            EXPECT_EQ(PWR->PUCRA, PWR_GPIO_BIT_5);
            EXPECT_EQ(PWR->PDCRB, 0u);
            EXPECT_EQ(PWR->PDCRH, PWR_GPIO_BIT_0 | PWR_GPIO_BIT_3);
            EXPECT_EQ(PWR->PUCRH, PWR_GPIO_BIT_1);
            HAL_PWR_DeInit();
            EXPECT_EQ(PWR->CR3, 0x00008000u);
        },
        1000000);
}

// System clock from each source, and what the buses, timers and UART see.
TEST(Fidelity, ClockSources) {
    const struct {
        const char *name;
        uint32_t osc_type, source, msi_range, pll_source, ahb;
        uint32_t sysclk, hclk;
    } rows[] = {
        {"HSI", RCC_OSCILLATORTYPE_HSI, RCC_SYSCLKSOURCE_HSI, 0, 0, RCC_SYSCLK_DIV1, 16000000,
         16000000},
        {"HSE", RCC_OSCILLATORTYPE_HSE, RCC_SYSCLKSOURCE_HSE, 0, 0, RCC_SYSCLK_DIV4, 8000000,
         2000000},
        {"MSI 4 MHz", RCC_OSCILLATORTYPE_MSI, RCC_SYSCLKSOURCE_MSI, RCC_MSIRANGE_6, 0,
         RCC_SYSCLK_DIV1, 4000000, 4000000},
        {"PLL from MSI", RCC_OSCILLATORTYPE_MSI, RCC_SYSCLKSOURCE_PLLCLK, RCC_MSIRANGE_6,
         RCC_PLLSOURCE_MSI, RCC_SYSCLK_DIV1, 32000000, 32000000},
        {"PLL from HSI", RCC_OSCILLATORTYPE_HSI, RCC_SYSCLKSOURCE_PLLCLK, 0, RCC_PLLSOURCE_HSI,
         RCC_SYSCLK_DIV2, 64000000, 32000000},
    };
    for (const auto &row : rows) {
        run(
            [&] {
                HAL_Init();
                RCC_OscInitTypeDef osc = {};
                osc.OscillatorType = row.osc_type;
                osc.HSIState = RCC_HSI_ON;
                osc.HSEState = RCC_HSE_ON;
                osc.MSIState = RCC_MSI_ON;
                osc.MSIClockRange = row.msi_range;
                if (row.pll_source) {
                    osc.PLL.PLLState = RCC_PLL_ON;
                    osc.PLL.PLLSource = row.pll_source;
                    osc.PLL.PLLM = 1;
                    osc.PLL.PLLN = 16;
                    osc.PLL.PLLP = RCC_PLLP_DIV7;
                    osc.PLL.PLLQ = RCC_PLLQ_DIV2;
                    osc.PLL.PLLR = row.pll_source == RCC_PLLSOURCE_MSI ? RCC_PLLR_DIV2 : RCC_PLLR_DIV4;
                }
                ASSERT_EQ(HAL_RCC_OscConfig(&osc), HAL_OK) << row.name;
                RCC_ClkInitTypeDef clk = {};
                clk.ClockType = RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 |
                                RCC_CLOCKTYPE_PCLK2;
                clk.SYSCLKSource = row.source;
                clk.AHBCLKDivider = row.ahb;
                clk.APB1CLKDivider = RCC_HCLK_DIV1;
                clk.APB2CLKDivider = RCC_HCLK_DIV2;
                ASSERT_EQ(HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_3), HAL_OK) << row.name;
                EXPECT_EQ(HAL_RCC_GetSysClockFreq(), row.sysclk) << row.name;
                EXPECT_EQ(HAL_RCC_GetHCLKFreq(), row.hclk) << row.name;
                EXPECT_EQ(HAL_RCC_GetPCLK2Freq(), row.hclk / 2) << row.name;
                RCC_OscInitTypeDef back = {};
                uint32_t latency = 0;
                HAL_RCC_GetOscConfig(&back);
                HAL_RCC_GetClockConfig(&clk, &latency);
                EXPECT_EQ(clk.SYSCLKSource, row.source) << row.name;
                EXPECT_EQ(latency, FLASH_LATENCY_3) << row.name;
                EXPECT_EQ(back.PLL.PLLState, row.pll_source ? RCC_PLL_ON : RCC_PLL_OFF) << row.name;
                fixture::huart1.Instance = USART1;
                fixture::huart1.Init.BaudRate = 9600;
                fixture::huart1.Init.Mode = UART_MODE_TX_RX;
                HAL_UART_Init(&fixture::huart1);
                EXPECT_EQ(USART1->BRR, (row.hclk / 2 + 4800) / 9600) << row.name;  // on PCLK2
            },
            10000000);
    }
}

// On the way to the board's 48 MHz set-up (board_setup.h), what the chip refuses.
TEST(Fidelity, ClockSetUpRefusesWhatTheChipCannotDo) {
    run(
        [] {
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
            EXPECT_EQ(HAL_RCC_OscConfig(&osc), HAL_TIMEOUT);
            EXPECT_EQ(HAL_GetTick() - t0, 3u);  // the HAL's 2 ms lock time-out, passed
            RCC_ClkInitTypeDef clk = {};
            clk.ClockType = RCC_CLOCKTYPE_SYSCLK;
            clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
            EXPECT_EQ(HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2), HAL_ERROR);
            ASSERT_EQ(board_setup::clocks(), HAL_OK);
            RCC_OscInitTypeDef off = {};  // the crystal feeds the running PLL
            off.OscillatorType = RCC_OSCILLATORTYPE_HSE;
            off.HSEState = RCC_HSE_OFF;
            EXPECT_EQ(HAL_RCC_OscConfig(&off), HAL_ERROR);
        },
        10000000);
}

TEST(Fidelity, PeripheralClockSelections) {
    run(
        [] {
            HAL_Init();
            RCC_OscInitTypeDef osc = {};
            osc.OscillatorType =
                RCC_OSCILLATORTYPE_HSI | RCC_OSCILLATORTYPE_LSE | RCC_OSCILLATORTYPE_LSI |
                RCC_OSCILLATORTYPE_HSE | RCC_OSCILLATORTYPE_HSI48;
            osc.HSIState = RCC_HSI_ON;
            osc.LSEState = RCC_LSE_ON;
            osc.LSIState = RCC_LSI_ON;
            osc.HSEState = RCC_HSE_ON;
            osc.HSI48State = RCC_HSI48_ON;
            ASSERT_EQ(HAL_RCC_OscConfig(&osc), HAL_OK);
            RCC_PeriphCLKInitTypeDef p = {};
            p.PeriphClockSelection = RCC_PERIPHCLK_USART3 | RCC_PERIPHCLK_USART2 |
                                     RCC_PERIPHCLK_I2C1 | RCC_PERIPHCLK_RTC | RCC_PERIPHCLK_ADC |
                                     RCC_PERIPHCLK_I2C2 | RCC_PERIPHCLK_I2C3 |
                                     RCC_PERIPHCLK_USART1 | RCC_PERIPHCLK_LPUART1;
            p.Usart3ClockSelection = RCC_USART3CLKSOURCE_HSI;
            p.Usart2ClockSelection = RCC_USART2CLKSOURCE_SYSCLK;
            p.I2c1ClockSelection = RCC_I2C1CLKSOURCE_HSI;
            p.RTCClockSelection = RCC_RTCCLKSOURCE_LSE;
            p.AdcClockSelection = RCC_ADCCLKSOURCE_SYSCLK;
            ASSERT_EQ(HAL_RCCEx_PeriphCLKConfig(&p), HAL_OK);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_USART3), 16000000u);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_USART2), 48000000u);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_RTC), 32768u);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_ADC), 48000000u);
            RCC_PeriphCLKInitTypeDef back = {};
            HAL_RCCEx_GetPeriphCLKConfig(&back);
            EXPECT_EQ(back.Usart3ClockSelection, RCC_USART3CLKSOURCE_HSI);
            EXPECT_EQ(back.RTCClockSelection, RCC_RTCCLKSOURCE_LSE);
            // A change of RTC clock resets the backup domain (LSE set-up kept).
            p.PeriphClockSelection = RCC_PERIPHCLK_RTC;
            p.RTCClockSelection = RCC_RTCCLKSOURCE_LSI;
            HAL_RCCEx_PeriphCLKConfig(&p);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_RTC), 32000u);
            p.RTCClockSelection = RCC_RTCCLKSOURCE_HSE_DIV32;
            HAL_RCCEx_PeriphCLKConfig(&p);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_RTC), 8000000u / 32u);
            osc.OscillatorType = RCC_OSCILLATORTYPE_LSE | RCC_OSCILLATORTYPE_LSI |
                                 RCC_OSCILLATORTYPE_HSI48 | RCC_OSCILLATORTYPE_HSI;
            osc.LSEState = RCC_LSE_OFF;
            osc.LSIState = RCC_LSI_OFF;
            osc.HSI48State = RCC_HSI48_OFF;
            osc.HSIState = RCC_HSI_OFF;
            HAL_RCC_OscConfig(&osc);
            p.PeriphClockSelection = RCC_PERIPHCLK_I2C1;
            p.I2c1ClockSelection = RCC_I2C1CLKSOURCE_HSI;
            HAL_RCCEx_PeriphCLKConfig(&p);
            EXPECT_EQ(HAL_RCCEx_GetPeriphCLKFreq(RCC_PERIPHCLK_I2C1), 0u);  // HSI now off
            HAL_RCC_MCOConfig(0u, 1u << RCC_CFGR_MCOSEL_Pos, 0u);  // system clock out
            EXPECT_EQ(RCC->CFGR & RCC_CFGR_MCOSEL, 1u << RCC_CFGR_MCOSEL_Pos);
            EXPECT_EQ(HAL_RCCEx_DisablePLLSAI1(), HAL_OK);
            EXPECT_EQ(HAL_RCC_DeInit(), HAL_OK);
            EXPECT_EQ(SystemCoreClock, 4000000u);
        },
        10000000);
}

// One-pulse mode: one update, then the counter stops. Generated update events
// reload and restart the counter and set the flag unless URS says otherwise.
TEST(Fidelity, OnePulseTimerAndGeneratedEvents) {
    sim::Time start = 0, generated_at = 0;
    HAL_StatusTypeDef busy = HAL_OK;
    uint32_t cen_after = 1;
    auto r = run(
        [&] {
            fixture::init_tim(fixture::htim6, TIM6, 47, 999, TIM6_DAC_IRQn, 2);
            TIM6->CR1 |= TIM_CR1_OPM;
            HAL_TIM_Base_Start_IT(&fixture::htim6);
            start = sim::board().now();
            for (int i = 0; i < 48 * 3000; ++i) __NOP();
            cen_after = TIM6->CR1 & TIM_CR1_CEN;
            fixture::init_tim(fixture::htim7, TIM7, 47, 9999, TIM7_IRQn, 2);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            busy = HAL_TIM_GenerateEvent(&fixture::htim7, TIM_EVENTSOURCE_UPDATE);  // started: busy
            fixture::htim7.State = HAL_TIM_STATE_READY;
            HAL_TIM_GenerateEvent(&fixture::htim7, TIM_EVENTSOURCE_UPDATE);  // UIF: interrupt now
            generated_at = sim::board().now();
            TIM7->CR1 |= TIM_CR1_URS;
            HAL_TIM_GenerateEvent(&fixture::htim7, TIM_EVENTSOURCE_UPDATE);  // restart, no flag
            fixture::idle();
        },
        30000000);
    const auto tim6 = fixture::entries(r.trace, "TIM6_DAC");
    ASSERT_EQ(tim6.size(), 1u);
    EXPECT_EQ(tim6[0] - start, 1000000u);
    EXPECT_EQ(cen_after, 0u);
    EXPECT_EQ(busy, HAL_BUSY);
    const auto tim7 = fixture::entries(r.trace, "TIM7");
    ASSERT_GE(tim7.size(), 2u);
    EXPECT_LT(tim7[0], generated_at);  // taken inside the generating call
    EXPECT_GE(tim7[1] - generated_at, 10000000u);  // the count restarted at the last event
    EXPECT_LT(tim7[1] - generated_at, 10001000u);
}

}  // namespace
