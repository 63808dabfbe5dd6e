// ADC1 with the battery input, the radio module on USART1, and HAL calls on handles
// that were never initialised.
#include <gtest/gtest.h>

#include "devices_fixture.h"
#include "sim/board.h"

namespace {

using devices::sleep_until;
using sim::Time;
constexpr Time kMs = 1000000;

ADC_HandleTypeDef hadc1;
std::vector<std::pair<Time, uint32_t>> *completions = nullptr;

// ADC1 as the device image sets it up: the asynchronous clock from the second PLL
// (HSE 8 MHz × 8 / 4 = 16 MHz) divided by 2, or HCLK; 12 bits, channel 6 sampled
// for 24.5 cycles, one software-started conversion, end of sequence.
void init_adc(bool async) {
    if (async) {
        RCC_OscInitTypeDef osc = {};
        osc.OscillatorType = RCC_OSCILLATORTYPE_HSE;
        osc.HSEState = RCC_HSE_ON;
        HAL_RCC_OscConfig(&osc);
        RCC_PeriphCLKInitTypeDef clk = {};
        clk.PeriphClockSelection = RCC_PERIPHCLK_ADC;
        clk.AdcClockSelection = RCC_ADCCLKSOURCE_PLLSAI1;
        clk.PLLSAI1.PLLSAI1Source = RCC_PLLSOURCE_HSE;
        clk.PLLSAI1.PLLSAI1M = 1;
        clk.PLLSAI1.PLLSAI1N = 8;
        clk.PLLSAI1.PLLSAI1P = RCC_PLLP_DIV7;
        clk.PLLSAI1.PLLSAI1Q = RCC_PLLQ_DIV2;
        clk.PLLSAI1.PLLSAI1R = RCC_PLLR_DIV4;
        clk.PLLSAI1.PLLSAI1ClockOut = RCC_PLLSAI1_ADC1CLK;
        HAL_RCCEx_PeriphCLKConfig(&clk);
    }
    hadc1 = ADC_HandleTypeDef{};
    hadc1.Instance = ADC1;
    hadc1.Init.ClockPrescaler = async ? ADC_CLOCK_ASYNC_DIV2 : ADC_CLOCK_SYNC_PCLK_DIV1;
    hadc1.Init.Resolution = ADC_RESOLUTION_12B;
    hadc1.Init.DataAlign = ADC_DATAALIGN_RIGHT;
    hadc1.Init.ScanConvMode = ADC_SCAN_DISABLE;
    hadc1.Init.EOCSelection = ADC_EOC_SEQ_CONV;
    hadc1.Init.ContinuousConvMode = DISABLE;
    hadc1.Init.NbrOfConversion = 1;
    hadc1.Init.ExternalTrigConv = ADC_SOFTWARE_START;
    hadc1.Init.Overrun = ADC_OVR_DATA_PRESERVED;
    ASSERT_EQ(HAL_ADC_Init(&hadc1), HAL_OK);
    ADC_ChannelConfTypeDef ch = {};
    ch.Channel = ADC_CHANNEL_6;
    ch.Rank = ADC_REGULAR_RANK_1;
    ch.SamplingTime = ADC_SAMPLETIME_24CYCLES_5;
    ch.SingleDiff = ADC_SINGLE_ENDED;
    ch.OffsetNumber = ADC_OFFSET_NONE;
    ASSERT_EQ(HAL_ADC_ConfigChannel(&hadc1, &ch), HAL_OK);
    HAL_NVIC_SetPriority(ADC1_IRQn, 2, 0);
    HAL_NVIC_EnableIRQ(ADC1_IRQn);
}

void power_radio(bool on) {
    GPIO_InitTypeDef g = {GPIO_PIN_4 | GPIO_PIN_5, GPIO_MODE_OUTPUT_PP, 0, 0, 0};
    HAL_GPIO_Init(GPIOB, &g);
    HAL_GPIO_WritePin(GPIOB, GPIO_PIN_4 | GPIO_PIN_5, on ? GPIO_PIN_SET : GPIO_PIN_RESET);
}

// The scenario's battery counts at the end of each conversion's sampling: steps, and a
// ramp from the value it starts at; polled, and last by the interrupt, whose callback
// runs when the conversion ends. A poll for a conversion never started times out as
// the vendor's does.
TEST(Adc, ConversionsFollowTheBatteryOverTime) {
    struct Row {
        Time at;
        uint32_t counts;
    } const rows[] = {{500 * kMs, 2300},  {1500 * kMs, 2200}, {2500 * kMs, 2100},
                      {2750 * kMs, 2050}, {3500 * kMs, 2000}, {4500 * kMs, 3000}};
    std::vector<uint32_t> got;
    std::vector<std::pair<Time, uint32_t>> done;
    completions = &done;
    Time first = 0, later = 0, poll_took = 0, started = 0;
    HAL_StatusTypeDef poll = HAL_OK;
    sim::DeviceSetup setup;
    setup.plan.battery = {
        {1000 * kMs, 2200, 0, 0}, {2000 * kMs, 2000, 1000 * kMs, 0}, {4000 * kMs, 3000, 0, 0}};
    devices::run(
        [&] {
            HAL_Init();
            init_adc(true);
            poll = HAL_ADC_PollForConversion(&hadc1, 10);
            poll_took = sim::board().now();
            for (const Row &row : rows) {
                sleep_until(row.at);
                const Time t0 = sim::board().now();
                HAL_ADC_Start(&hadc1);
                EXPECT_EQ(HAL_ADC_PollForConversion(&hadc1, 10), HAL_OK);
                (first == 0 ? first : later) = sim::board().now() - t0;
                got.push_back(HAL_ADC_GetValue(&hadc1));
            }
            started = sim::board().now();
            HAL_ADC_Start_IT(&hadc1);
            fixture::idle();
        },
        5000 * kMs, setup);
    completions = nullptr;
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(got.at(i), rows[i].counts) << rows[i].at;
    // 37 cycles of 8 MHz for the conversion, and as long again to power up the
    // first time; a few HAL calls on top.
    EXPECT_GE(first, 2u * 4625);
    EXPECT_LE(first, 2u * 4625 + 1000);
    EXPECT_GE(later, 4625u);
    EXPECT_LE(later, 4625u + 1000);
    EXPECT_EQ(poll, HAL_TIMEOUT);
    EXPECT_GE(poll_took, 10 * kMs);
    EXPECT_LE(poll_took, 12 * kMs);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].second, 3000u);
    EXPECT_GE(done[0].first, started + 4625);  // its own HAL call first
    EXPECT_LE(done[0].first, started + 4625 + 500);
    EXPECT_EQ(hadc1.State & HAL_ADC_STATE_READY, HAL_ADC_STATE_READY);
}

// Calibration with the ADC disabled takes 116 ADC clock cycles and keeps its
// factor; the factor can only be written while the ADC is enabled and idle.
// De-initialisation returns the ADC to deep power-down.
TEST(Adc, CalibrationAndTearDown) {
    Time took = 0;
    devices::run(
        [&] {
            HAL_Init();
            init_adc(false);
            const Time t0 = sim::board().now();
            EXPECT_EQ(HAL_ADCEx_Calibration_Start(&hadc1, ADC_SINGLE_ENDED), HAL_OK);
            took = sim::board().now() - t0;
            EXPECT_EQ(HAL_ADCEx_Calibration_GetValue(&hadc1, ADC_SINGLE_ENDED), 0x40u);
            EXPECT_EQ(HAL_ADCEx_Calibration_SetValue(&hadc1, ADC_SINGLE_ENDED, 0x55), HAL_ERROR);
            EXPECT_EQ(HAL_ADC_GetError(&hadc1), HAL_ADC_ERROR_INTERNAL);
            HAL_ADC_Start(&hadc1);
            EXPECT_EQ(HAL_ADC_Start(&hadc1), HAL_BUSY);  // converting
            HAL_ADC_PollForConversion(&hadc1, 10);
            EXPECT_EQ(HAL_ADCEx_Calibration_SetValue(&hadc1, ADC_SINGLE_ENDED, 0x1D5), HAL_OK);
            EXPECT_EQ(HAL_ADCEx_Calibration_GetValue(&hadc1, ADC_SINGLE_ENDED), 0x55u);
            // Enabled: calibrating disables it first.
            EXPECT_EQ(HAL_ADCEx_Calibration_Start(&hadc1, ADC_SINGLE_ENDED), HAL_OK);
            EXPECT_EQ(ADC1->CR & ADC_CR_ADEN, 0u);
            EXPECT_EQ(HAL_ADC_DeInit(&hadc1), HAL_OK);
            EXPECT_EQ(HAL_ADC_GetState(&hadc1), HAL_ADC_STATE_RESET);
            EXPECT_EQ(ADC1->CR, ADC_CR_DEEPPWD);
            // Without its regulator the calibration never ends: the vendor's loop gives up.
            EXPECT_EQ(HAL_ADCEx_Calibration_Start(&hadc1, ADC_SINGLE_ENDED), HAL_ERROR);
            EXPECT_EQ(HAL_ADC_Init(nullptr), HAL_ERROR);
            EXPECT_EQ(HAL_ADC_DeInit(nullptr), HAL_ERROR);
        },
        10 * kMs, {});
    // 116 cycles of 48 MHz, 2416.7 ns, and the calls' own cost.
    EXPECT_GE(took, 2417u);
    EXPECT_LE(took, 2417u + 500);
}

// Conversions the board does not model halt naming them, at the call that asks: one
// setting of the initialisation, of a channel and of a register each (the others: a
// trigger, a sequence, oversampling, ranks, offsets, differential inputs).
TEST(Adc, WhatIsNotModelledHaltsNamingIt) {
    struct Row {
        const char *what;
        void (*change)();
    } const rows[] = {
        {"continuous conversions",
         [] {
             hadc1.Init.ContinuousConvMode = ENABLE;
             HAL_ADC_Init(&hadc1);
         }},
        {"a channel other than 6",
         [] {
             const ADC_ChannelConfTypeDef c = {
                 ADC_CHANNEL_5,    ADC_REGULAR_RANK_1, ADC_SAMPLETIME_24CYCLES_5,
                 ADC_SINGLE_ENDED, ADC_OFFSET_NONE,    0};
             HAL_ADC_ConfigChannel(&hadc1, &c);
         }},
        {"DMA transfers", [] { ADC1->CFGR |= ADC_CFGR_DMAEN; }},
    };
    for (const Row &row : rows) {
        auto r = devices::run(
            [&] {
                init_adc(false);
                row.change();
                HAL_ADC_Start(&hadc1);
            },
            kMs, {});
        EXPECT_TRUE(devices::halted_with(r, row.what)) << row.what << ": " << r.result.reason;
    }
}

// The radio module between USART1 and the phone: it passes bytes both ways only
// while powered, answers its own commands, and does what the scenario says when
// silent or babbling (absent, or held in reset: the device image's boot test).
TEST(Radio, ModesPinsAndCommands) {
    struct Row {
        const char *what;
        std::vector<sim::RadioEvent> radio;
        bool powered;
        std::string device_sends;
        std::string phone_gets;
        std::string device_gets;  // "*" for anything of at least 50 bytes
    } const rows[] = {
        {"module unpowered", {}, false, "Q=0;1;0,93,004,\n", "", ""},
        {"module silent", {{0, sim::RadioMode::Silent, 0, 0}}, true, "Q=1\n", "", ""},
        {"commands to the module",
         {},
         true,
         "AT+SHOW\rQ=1\nAT+DATA=1\rAT\rATX\r",
         "Q=1\n",
         "~~x+NAME=BLE-SERIAL\r\n+BAUD=115200\r\n+DATA=0\r\nOK\r\nOK\r\nOK\r\nERROR\r\n"},
        {"babbling", {{10 * kMs, sim::RadioMode::Babble, 1000, 0}}, true, "Q=1\n", "Q=1\n", "*"},
    };
    for (const Row &row : rows) {
        static uint8_t buf[256];
        std::size_t received = 0;
        sim::DeviceSetup setup;
        setup.plan.radio = row.radio;
        auto r = devices::run(
            [&] {
                HAL_Init();
                power_radio(row.powered);
                fixture::init_uart(fixture::huart1, USART1, fixture::hdma_rx1, DMA1_Channel5,
                                   DMA1_Channel5_IRQn, 0, DMA_NORMAL);
                HAL_UART_Receive_DMA(&fixture::huart1, buf, sizeof buf);
                sleep_until(60 * kMs);
                HAL_UART_Transmit(&fixture::huart1,
                                  reinterpret_cast<const uint8_t *>(row.device_sends.data()),
                                  static_cast<uint16_t>(row.device_sends.size()), 100);
                sleep_until(110 * kMs);
                received = sizeof buf - __HAL_DMA_GET_COUNTER(&fixture::hdma_rx1);
                fixture::idle();
            },
            120 * kMs, setup, {fixture::phone_bytes(50 * kMs, "~~x")});
        EXPECT_EQ(r.phone, row.phone_gets) << row.what;
        if (row.device_gets == "*") {
            EXPECT_GE(received, 50u) << row.what;
        } else {
            EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), received), row.device_gets)
                << row.what;
        }
    }
}

// A call on a handle that was never set up faults where the vendor's code first
// reaches the peripheral; one the vendor answers from the handle's state alone
// answers the same here.
TEST(Handles, NeverInitialisedHandlesFaultWhereTheVendorsCodeWould) {
    static struct {
        UART_HandleTypeDef uart;
        TIM_HandleTypeDef tim;
        I2C_HandleTypeDef i2c;
        DMA_HandleTypeDef dma;
        QSPI_HandleTypeDef qspi;
        RTC_HandleTypeDef rtc;
    } h;
    struct Row {
        const char *call;
        std::function<int()> run;
        int status;  // -1: the run faults naming the call
    } const rows[] = {
        {"HAL_TIM_Base_Stop_IT", [] { return int(HAL_TIM_Base_Stop_IT(&h.tim)); }, -1},
        {"HAL_UART_AbortReceive", [] { return int(HAL_UART_AbortReceive(&h.uart)); }, -1},
        {"HAL_ADC_Start", [] { return int(HAL_ADC_Start(&hadc1)); }, -1},
        {"HAL_I2C_Init", [] { return int(HAL_I2C_Init(&h.i2c)); }, -1},
        {"HAL_QSPI_GetFifoThreshold", [] { return int(HAL_QSPI_GetFifoThreshold(&h.qspi)); }, -1},
        {"HAL_RTCEx_BKUPRead", [] { return int(HAL_RTCEx_BKUPRead(&h.rtc, 0)); }, -1},
        // Answered from the handle's state, as on the chip.
        {"HAL_UART_Transmit",
         [] { return int(HAL_UART_Transmit(&h.uart, (const uint8_t *)"x", 1, 1)); }, HAL_BUSY},
        {"HAL_TIM_Base_Start_IT", [] { return int(HAL_TIM_Base_Start_IT(&h.tim)); }, HAL_ERROR},
        {"HAL_DMA_Abort", [] { return int(HAL_DMA_Abort(&h.dma)); }, HAL_ERROR},
    };
    for (const Row &row : rows) {
        h = {};
        hadc1 = {};
        int status = -2;
        auto r = devices::run([&] { status = row.run(); }, kMs, {});
        if (row.status < 0) {
            EXPECT_TRUE(devices::halted_with(
                r, std::string(row.call) + " on a handle that was never initialised"))
                << row.call << ": " << r.result.reason;
            EXPECT_EQ(fixture::records(r.trace, "fault").size(), 1u) << row.call;
        } else {
            EXPECT_EQ(status, row.status) << row.call;
        }
    }
}

}  // namespace

extern "C" {
void ADC1_IRQHandler(void) {
    HAL_ADC_IRQHandler(&hadc1);
}
void HAL_ADC_ConvCpltCallback(ADC_HandleTypeDef *h) {
    if (completions)
        completions->emplace_back(sim::board().now(), HAL_ADC_GetValue(h));
}
}
