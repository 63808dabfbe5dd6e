// The data-logging image: start-up, the 10 ms tick, the main loop, battery and
// indicators, and the board's peripheral set-up.
//
// The tick does all time-critical work in this order: read and stamp the sample,
// detect and fire, then log. The firing therefore never waits for the flash, and the
// logging never waits for the chip either: it does at most one chip operation per
// tick, only while the chip is idle.
#include "main.h"

#include <cstring>

#include "FallDetector.h"
#include "SensorDataTransfer.h"
#include "exflash.h"
#include "flash.h"
#include "gyro.h"
#include "hs_uart5.h"
#include "myQueue.h"
#include "sys_buzzer.h"
#include "sys_error_handler.h"
#include "w25q_mem.h"

DMA_HandleTypeDef hdma_usart1_rx, hdma_usart1_tx, hdma_usart3_rx, hdma_usart3_tx;
I2C_HandleTypeDef hi2c1, hi2c2;
ADC_HandleTypeDef hadc1;
TIM_HandleTypeDef htim7;
RTC_HandleTypeDef hrtc;

volatile uint32_t timer7_10ms_counter = 0;
bool bSensorReadToggle = true;
uint32_t seqNum = 0;
FALL_DETECTOR __fall_detector;
sensorData sData;
SensorData_TypeDef __sensordata;
volatile bool g_bTriggerON = false;
volatile uint32_t __write_last_trigger_data_time = 0;
volatile uint8_t __last_trigger_type = 0;
volatile uint8_t __trigger_type_for_seqNum = 0;
volatile uint32_t g_battAdcVal = 0;
volatile uint32_t adcValArr[4];
volatile uint32_t adcValArrIndex = 0;
uint32_t __battery_check_time_limit = 0;
volatile bool low_batt_status = false;
volatile bool stanby_batt_status = false;
bool show_low_batt = false;
uint32_t low_batt_hit_counter = 0, standby_hit_counter = 0;
int32_t nBattBlinkingCount = 0, nHeartbitCount = 0;
bool bt_Android_connected = false;
volatile bool bt_Android_conn_2 = false;
int32_t bt_Android_conn_2_count = 0;
uint32_t BT_seqNum = 0;
uint32_t tmepCount = 0;
bool IsFlash = false;
int32_t g_HCLK = 48000;
const char *VersionInfo = "Ver0320_20230331";
MyQueue uartTransQ;
uint8_t Rx_data[6];

namespace {

constexpr uint32_t kBatteryFloor = 2080;  // below: standby pending
constexpr uint32_t kBatteryLow = 2220;    // 2081..2219: the low band
constexpr uint32_t kCalendarMark = 0x32F2;
// A service input must stay low this many check ticks (1 s) before its mode starts:
// both modes end sampling for good, so a single noisy reading must not start them.
constexpr uint32_t kServiceHeldChecks = 50;

uint32_t __readback_held = 0, __erase_held = 0;

void pin(GPIO_TypeDef *port, uint16_t p, bool high) {
    HAL_GPIO_WritePin(port, p, high ? GPIO_PIN_SET : GPIO_PIN_RESET);
}

void leds(bool status, bool heartbeat) {
    pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, status);
    pin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, heartbeat);
}

// ---- peripheral set-up. In this image a failing HAL set-up is not checked: start-up
// goes on, and the self-tests below show what does not work. ----

void SystemClock_Config__HSE_48MHz(void) {
    HAL_PWR_EnableBkUpAccess();
    __HAL_RCC_LSEDRIVE_CONFIG(RCC_LSEDRIVE_LOW);
    // HSE 8 MHz / M 1 x N 12 = 96 MHz VCO; / R 2 = 48 MHz system clock.
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
    HAL_RCC_OscConfig(&osc);
    RCC_ClkInitTypeDef clk = {};
    clk.ClockType =
        RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
    clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
    clk.AHBCLKDivider = RCC_SYSCLK_DIV1;
    clk.APB1CLKDivider = RCC_HCLK_DIV1;
    clk.APB2CLKDivider = RCC_HCLK_DIV1;
    HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2);
    // ADC clock: HSE / M 1 x N 8 = 64 MHz; / R 4 = 16 MHz.
    RCC_PeriphCLKInitTypeDef periph = {};
    periph.PeriphClockSelection = RCC_PERIPHCLK_RTC | RCC_PERIPHCLK_USART1 | RCC_PERIPHCLK_USART3 |
                                  RCC_PERIPHCLK_I2C1 | RCC_PERIPHCLK_I2C2 | RCC_PERIPHCLK_ADC;
    periph.Usart1ClockSelection = RCC_USART1CLKSOURCE_PCLK2;
    periph.Usart3ClockSelection = RCC_USART3CLKSOURCE_PCLK1;
    periph.I2c1ClockSelection = RCC_I2C1CLKSOURCE_PCLK1;
    periph.I2c2ClockSelection = RCC_I2C2CLKSOURCE_PCLK1;
    periph.AdcClockSelection = RCC_ADCCLKSOURCE_PLLSAI1;
    periph.RTCClockSelection = RCC_RTCCLKSOURCE_LSE;
    periph.PLLSAI1.PLLSAI1Source = RCC_PLLSOURCE_HSE;
    periph.PLLSAI1.PLLSAI1M = 1;
    periph.PLLSAI1.PLLSAI1N = 8;
    periph.PLLSAI1.PLLSAI1P = RCC_PLLP_DIV7;
    periph.PLLSAI1.PLLSAI1Q = RCC_PLLQ_DIV2;
    periph.PLLSAI1.PLLSAI1R = RCC_PLLR_DIV4;
    periph.PLLSAI1.PLLSAI1ClockOut = RCC_PLLSAI1_ADC1CLK;
    HAL_RCCEx_PeriphCLKConfig(&periph);
    HAL_PWREx_ControlVoltageScaling(PWR_REGULATOR_VOLTAGE_SCALE1);
}

void output(GPIO_TypeDef *port, uint32_t pins) {
    GPIO_InitTypeDef g = {};
    g.Pin = pins;
    g.Mode = GPIO_MODE_OUTPUT_PP;
    g.Pull = GPIO_PULLDOWN;
    g.Speed = GPIO_SPEED_FREQ_LOW;
    HAL_GPIO_Init(port, &g);
}

void input(GPIO_TypeDef *port, uint32_t pins, uint32_t pull) {
    GPIO_InitTypeDef g = {};
    g.Pin = pins;
    g.Mode = GPIO_MODE_INPUT;
    g.Pull = pull;
    HAL_GPIO_Init(port, &g);
}

void i2c_init(I2C_HandleTypeDef *h, I2C_TypeDef *instance) {
    h->Instance = instance;
    h->Init.Timing = 0x00506682;
    h->Init.OwnAddress1 = 0;
    h->Init.AddressingMode = I2C_ADDRESSINGMODE_7BIT;
    h->Init.DualAddressMode = I2C_DUALADDRESS_DISABLE;
    h->Init.OwnAddress2 = 0;
    h->Init.OwnAddress2Masks = I2C_OA2_NOMASK;
    h->Init.GeneralCallMode = I2C_GENERALCALL_DISABLE;
    h->Init.NoStretchMode = I2C_NOSTRETCH_DISABLE;
    HAL_I2C_Init(h);
    HAL_I2CEx_ConfigAnalogFilter(h, I2C_ANALOGFILTER_ENABLE);
    HAL_I2CEx_ConfigDigitalFilter(h, 0);
}

void uart_init(UART_HandleTypeDef *h, USART_TypeDef *instance) {
    h->Instance = instance;
    h->Init.BaudRate = 115200;
    h->Init.WordLength = UART_WORDLENGTH_8B;
    h->Init.StopBits = UART_STOPBITS_1;
    h->Init.Parity = UART_PARITY_NONE;
    h->Init.Mode = UART_MODE_TX_RX;
    h->Init.HwFlowCtl = UART_HWCONTROL_NONE;
    h->Init.OverSampling = UART_OVERSAMPLING_8;
    h->Init.OneBitSampling = UART_ONE_BIT_SAMPLE_DISABLE;
    h->AdvancedInit.AdvFeatureInit = UART_ADVFEATURE_NO_INIT;
    HAL_UART_Init(h);
}

// ---- the calendar at the first power-up ----

bool calendar_valid(const uint8_t *b) {
    static const uint8_t days[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (b[0] < 22 || b[0] > 99 || b[1] < 1 || b[1] > 12 || b[2] < 1 || b[2] > days[b[1] - 1])
        return false;
    if (b[1] == 2 && b[2] == 29 && b[0] % 4 != 0)
        return false;
    return b[3] <= 23 && b[4] <= 59 && b[5] <= 59;
}

void console_flush() {
    HAL_UART_AbortReceive(&huart3);
    __HAL_UART_CLEAR_FLAG(&huart3, UART_CLEAR_OREF);
    __HAL_UART_FLUSH_DRREGISTER(&huart3);
}

// Waits for six bytes that make a calendar time (year 22..99, a date that exists, a
// time of day) and then stops the reception, so that the console's receiver is free
// for the read-back requests. A reception that stops part-way (a byte lost or stray)
// is dropped after a second; a time that is not valid is refused and asked for again.
void receive_calendar() {
    constexpr uint32_t kPollMs = 250;
    constexpr uint32_t kPartialMs = 1000;
    constexpr uint32_t kPromptEvery = 8;  // polls: every 2 s
    uint32_t polls = 0, partial_since = 0;
    bool armed = false, partial = false;
    for (;;) {
        if (!armed) {
            console_flush();
            std::memset(Rx_data, 0, sizeof Rx_data);
            HAL_UART_Receive_DMA(&huart3, Rx_data, sizeof Rx_data);
            armed = true;
            partial = false;
        }
        leds(true, true);
        const uint32_t left = __HAL_DMA_GET_COUNTER(huart3.hdmarx);
        if (huart3.RxState == HAL_UART_STATE_READY) {
            armed = false;
            if (calendar_valid(Rx_data))
                return;
            UART5_Printf("setting_time refused : %d %d %d %d %d %d \r\n", Rx_data[0], Rx_data[1],
                         Rx_data[2], Rx_data[3], Rx_data[4], Rx_data[5]);
            continue;
        }
        if (left != 0 && left < sizeof Rx_data) {
            if (!partial) {
                partial = true;
                partial_since = HAL_GetTick();
            } else if (HAL_GetTick() - partial_since >= kPartialMs) {
                armed = false;
            }
        } else if (polls % kPromptEvery == 0) {
            UART5_Printf("setting_time ? (6 bytes: year month day hour minute second)\r\n");
        }
        ++polls;
        HAL_Delay(kPollMs);
    }
}

void MX_RTC_Init(void) {
    hrtc.Instance = RTC;
    hrtc.Init.HourFormat = RTC_HOURFORMAT_24;
    hrtc.Init.AsynchPrediv = 127;
    hrtc.Init.SynchPrediv = 255;
    hrtc.Init.OutPut = RTC_OUTPUT_DISABLE;
    hrtc.Init.OutPutRemap = RTC_OUTPUT_REMAP_NONE;
    hrtc.Init.OutPutPolarity = RTC_OUTPUT_POLARITY_HIGH;
    hrtc.Init.OutPutType = RTC_OUTPUT_TYPE_OPENDRAIN;
    // The handle is set up on every start (the calendar is read through it later);
    // the HAL leaves a calendar that is already running alone.
    HAL_RTC_Init(&hrtc);
    if (HAL_RTCEx_BKUPRead(&hrtc, RTC_BKP_DR0) == kCalendarMark)
        return;
    receive_calendar();
    leds(false, false);
    RTC_TimeTypeDef t = {};
    t.Hours = D2B(Rx_data[3]);
    t.Minutes = D2B(Rx_data[4]);
    t.Seconds = D2B(Rx_data[5]);
    t.DayLightSaving = RTC_DAYLIGHTSAVING_NONE;
    t.StoreOperation = RTC_STOREOPERATION_RESET;
    HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BCD);
    RTC_DateTypeDef d = {};
    d.WeekDay = RTC_WEEKDAY_MONDAY;
    d.Month = D2B(Rx_data[1]);
    d.Date = D2B(Rx_data[2]);
    d.Year = D2B(Rx_data[0]);
    HAL_RTC_SetDate(&hrtc, &d, RTC_FORMAT_BCD);
    HAL_RTCEx_BKUPWrite(&hrtc, RTC_BKP_DR0, kCalendarMark);
    getDnT();
    dnt_.value = 0;
    UART5_Printf("setting_time : %02d-%02d-%02d %02d:%02d:%02d  \r\n", B2D(dnt_.year),
                 B2D(dnt_.month), B2D(dnt_.day), B2D(dnt_.hours), B2D(dnt_.minutes),
                 B2D(dnt_.seconds));
}

void MX_GPIO_Init(void) {
    __HAL_RCC_GPIOA_CLK_ENABLE();
    __HAL_RCC_GPIOB_CLK_ENABLE();
    __HAL_RCC_GPIOC_CLK_ENABLE();
    __HAL_RCC_GPIOH_CLK_ENABLE();
    HAL_GPIO_WritePin(
        GPIOA,
        GPIO_PIN_4 | GPIO_PIN_5 | GPIO_PIN_8 | GPIO_PIN_9 | GPIO_PIN_10 | GPIO_PIN_11 | GPIO_PIN_12,
        GPIO_PIN_RESET);
    HAL_GPIO_WritePin(GPIOB, GPIO_PIN_4 | GPIO_PIN_5 | GPIO_PIN_15, GPIO_PIN_RESET);
    input(GPIOA, ACT_DETECT1_Pin | ACT_DETECT2_Pin, GPIO_NOPULL);
    input(READBACK_GPIO_Port, READBACK_Pin, GPIO_PULLUP);
    input(SNAPSHOT_ERASE_GPIO_Port, SNAPSHOT_ERASE_Pin, GPIO_PULLUP);
    output(GPIOA, GPIO_PIN_8 | GPIO_PIN_9 | GPIO_PIN_10 | GPIO_PIN_11);
    output(GPIOB, GPIO_PIN_4 | GPIO_PIN_5 | GPIO_PIN_15);
}

void MX_ADC1_Init(void) {
    hadc1.Instance = ADC1;
    hadc1.Init.ClockPrescaler = ADC_CLOCK_ASYNC_DIV2;
    hadc1.Init.Resolution = ADC_RESOLUTION_12B;
    hadc1.Init.DataAlign = ADC_DATAALIGN_RIGHT;
    hadc1.Init.ScanConvMode = ADC_SCAN_DISABLE;
    hadc1.Init.EOCSelection = ADC_EOC_SEQ_CONV;
    hadc1.Init.LowPowerAutoWait = DISABLE;
    hadc1.Init.ContinuousConvMode = DISABLE;
    hadc1.Init.NbrOfConversion = 1;
    hadc1.Init.DiscontinuousConvMode = DISABLE;
    hadc1.Init.ExternalTrigConv = ADC_SOFTWARE_START;
    hadc1.Init.ExternalTrigConvEdge = ADC_EXTERNALTRIGCONVEDGE_NONE;
    hadc1.Init.DMAContinuousRequests = DISABLE;
    hadc1.Init.Overrun = ADC_OVR_DATA_PRESERVED;
    hadc1.Init.OversamplingMode = DISABLE;
    HAL_ADC_Init(&hadc1);
    ADC_ChannelConfTypeDef channel = {};
    channel.Channel = ADC_CHANNEL_6;
    channel.Rank = ADC_REGULAR_RANK_1;
    channel.SamplingTime = ADC_SAMPLETIME_24CYCLES_5;
    channel.SingleDiff = ADC_SINGLE_ENDED;
    channel.OffsetNumber = ADC_OFFSET_NONE;
    channel.Offset = 0;
    HAL_ADC_ConfigChannel(&hadc1, &channel);
}

void MX_I2C1_Init(void) {
    i2c_init(&hi2c1, I2C1);
}

void MX_I2C2_Init(void) {
    i2c_init(&hi2c2, I2C2);
}

void MX_TIM7_Init(void) {
    htim7.Instance = TIM7;
    htim7.Init.Prescaler = static_cast<uint32_t>(g_HCLK / 1000 - 1);  // 1 MHz
    htim7.Init.CounterMode = TIM_COUNTERMODE_UP;
    htim7.Init.Period = 9999;  // 10 ms
    htim7.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_ENABLE;
    HAL_TIM_Base_Init(&htim7);
    TIM_MasterConfigTypeDef master = {};
    master.MasterOutputTrigger = TIM_TRGO_RESET;
    master.MasterSlaveMode = TIM_MASTERSLAVEMODE_DISABLE;
    HAL_TIMEx_MasterConfigSynchronization(&htim7, &master);
}

void MX_QUADSPI_Init(void) {
    hqspi.Instance = QUADSPI;
    hqspi.Init.ClockPrescaler = 255;
    hqspi.Init.FifoThreshold = 1;
    hqspi.Init.SampleShifting = QSPI_SAMPLE_SHIFTING_NONE;
    hqspi.Init.FlashSize = 25;
    hqspi.Init.ChipSelectHighTime = QSPI_CS_HIGH_TIME_1_CYCLE;
    hqspi.Init.ClockMode = QSPI_CLOCK_MODE_0;
    hqspi.Init.FlashID = QSPI_FLASH_ID_1;
    hqspi.Init.DualFlash = QSPI_DUALFLASH_DISABLE;
    HAL_QSPI_Init(&hqspi);
}

void MX_DMA_Init(void) {
    __HAL_RCC_DMA1_CLK_ENABLE();
    HAL_NVIC_SetPriority(DMA1_Channel2_IRQn, 5, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel2_IRQn);
    HAL_NVIC_SetPriority(DMA1_Channel3_IRQn, 10, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel3_IRQn);
    HAL_NVIC_SetPriority(DMA1_Channel4_IRQn, 3, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel4_IRQn);
    HAL_NVIC_SetPriority(DMA1_Channel5_IRQn, 0, 0);
    HAL_NVIC_EnableIRQ(DMA1_Channel5_IRQn);
}

void MX_USART1_UART_Init(void) {
    uart_init(&huart1, USART1);
}

void MX_USART3_UART_Init(void) {
    uart_init(&huart3, USART3);
}

// The pins as the device leaves them in standby, with the external flash asleep.
void MX_GPIO_standby(void) {
    W25Q_Sleep();
    GPIO_InitTypeDef g = {};
    g.Pin = GPIO_PIN_0 | GPIO_PIN_1 | GPIO_PIN_6 | GPIO_PIN_7;
    g.Mode = GPIO_MODE_INPUT;
    g.Pull = GPIO_PULLDOWN;
    HAL_GPIO_Init(GPIOB, &g);
    g.Pin = GPIO_PIN_13 | GPIO_PIN_14;
    g.Mode = GPIO_MODE_AF_OD;
    g.Alternate = 0;
    HAL_GPIO_Init(GPIOB, &g);
    g.Pin = GPIO_PIN_6 | GPIO_PIN_7;
    HAL_GPIO_Init(GPIOA, &g);
    g.Pin = GPIO_PIN_2;
    g.Speed = GPIO_SPEED_FREQ_HIGH;
    HAL_GPIO_Init(GPIOA, &g);
    g.Pin = GPIO_PIN_3 | GPIO_PIN_1;
    g.Speed = GPIO_SPEED_FREQ_LOW;
    HAL_GPIO_Init(GPIOA, &g);
    g.Pin = GPIO_PIN_13 | GPIO_PIN_14;
    HAL_GPIO_Init(GPIOA, &g);
}

// ---- self-test failure loops: the device must be reset ----

[[noreturn]] void external_memory_fails() {
    for (;;) {
        leds(true, false);
        HAL_Delay(495);
        leds(false, false);
        HAL_Delay(495);
        leds(true, true);
        HAL_Delay(495);
        leds(false, false);
        HAL_Delay(495);
        UART5_Printf("External Memory is not OK!!!! c=%lu \r\n",
                     static_cast<unsigned long>(tmepCount));
        ++tmepCount;
    }
}

[[noreturn]] void gyro_fails() {
    for (;;) {
        pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, true);
        HAL_Delay(100);
        pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, false);
        HAL_Delay(100);
        HAL_Delay(495);
        leds(true, false);
        HAL_Delay(495);
        leds(false, true);
        HAL_Delay(495);
        leds(false, false);
        HAL_Delay(495);
        UART5_Printf("Gyro sensor detect fail!!!! c=%lu \r\n",
                     static_cast<unsigned long>(tmepCount));
        ++tmepCount;
    }
}

void blink(uint16_t p, uint32_t gap_ms) {
    pin(GPIOA, p, true);
    HAL_Delay(100);
    pin(GPIOA, p, false);
    HAL_Delay(100);
    HAL_Delay(gap_ms);
}

[[noreturn]] void actuator_fails() {
    UART5_Printf("Actuator detect fail!!!! c=%lu \r\n", static_cast<unsigned long>(tmepCount));
    ++tmepCount;
    for (;;) {
        blink(LED_STATUS_Pin, 500);
        blink(LED_STATUS_Pin, 500);
        for (int i = 0; i < 2; ++i) {
            leds(true, false);
            HAL_Delay(495);
            leds(false, true);
            HAL_Delay(495);
        }
        leds(false, false);
        HAL_Delay(495);
        UART5_Printf("Actuator detect fail!!!! c=%lu \r\n", static_cast<unsigned long>(tmepCount));
        ++tmepCount;
    }
}

[[noreturn]] void radio_fails() {
    pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, true);
    for (;;) {
        UART5_Printf("BT is NOT ready for use!!!! c=%lu \r\n",
                     static_cast<unsigned long>(tmepCount));
        ++tmepCount;
    }
}

bool reads_high(GPIO_TypeDef *port, uint16_t p) {
    return HAL_GPIO_ReadPin(port, p) == GPIO_PIN_SET;
}

// Powers the radio module up and checks that it answers.
void radio_power_up() {
    pin(RF_MOD_PWR_EN_GPIO_Port, RF_MOD_PWR_EN_Pin, true);
    HAL_Delay(100);
    pin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, true);
    HAL_Delay(10);
    pin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, false);
    HAL_Delay(100);
    pin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, true);
    HAL_Delay(10);
    if (!reads_high(RF_MOD_PWR_EN_GPIO_Port, RF_MOD_PWR_EN_Pin) ||
        !reads_high(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin) || !RF_ModuleAnswers())
        radio_fails();
}

// ---- the tick's duties ----

void stamp() {
    if (seqNum >= 1001)
        seqNum = 0;
    if (low_batt_status)
        seqNum = 7777;
    if (stanby_batt_status)
        seqNum = 5555;
    if (__trigger_type_for_seqNum != 0) {
        seqNum = 1234;
        __trigger_type_for_seqNum = 0;
    }
}

void sensor_tick() {
    stamp();
    const bool ok = ReadSensorData2(&sData) == 0;
    __sensordata = SensorData_TypeDef{static_cast<int16_t>(seqNum & 0xFFFF),
                                      sData.accX,
                                      sData.accY,
                                      sData.accZ,
                                      sData.gyroX,
                                      sData.gyroY,
                                      sData.gyroZ};
    Flash_Append_SensorData(&__sensordata);
    ++seqNum;
    // A sample the sensor did not give never reaches the detector: zeros or −32768
    // would read as a free fall or a violent rotation.
    if (ok) {
        const FALL_DETECTOR_SENSOR_DATA s = {sData.accX,  sData.accY,  sData.accZ,
                                             sData.gyroX, sData.gyroY, sData.gyroZ};
        const int result = FallDetectorWork(&__fall_detector, &s);
        if (result >= 1 && !g_bTriggerON)
            trigger_process_start(static_cast<uint8_t>(result));
    }
}

bool held_low(GPIO_TypeDef *port, uint16_t p, uint32_t &count) {
    count = HAL_GPIO_ReadPin(port, p) == GPIO_PIN_RESET ? count + 1 : 0;
    return count >= kServiceHeldChecks;
}

void check_tick() {
    if (held_low(READBACK_GPIO_Port, READBACK_Pin, __readback_held))
        sData_ReadBack();
    if (held_low(SNAPSHOT_ERASE_GPIO_Port, SNAPSHOT_ERASE_Pin, __erase_held))
        Flash_EraseMode();
    if (g_bTriggerON)
        trigger_process_pulse();
}

void phone_status() {
    const uint32_t now = timer7_10ms_counter;
    if (bt_Android_connected) {
        if (now % 6000 == 0)
            RF_SendStatus(false);
        return;
    }
    if (now % 450 != 0)
        return;
    RF_SendStatus(false);
    if (bt_Android_conn_2 && bt_Android_conn_2_count++ >= 5)
        bt_Android_connected = true;
}

[[noreturn]] void enter_standby() {
    UART5_Printf("Enter Standby mode!!!!! \r\n");
    pin(RF_MOD_PWR_EN_GPIO_Port, RF_MOD_PWR_EN_Pin, false);
    pin(RF_MOD_RESET_GPIO_Port, RF_MOD_RESET_Pin, false);
    Logger_StopSampling();
    Gyro_SleepMode();
    HAL_PWR_DisableSleepOnExit();
    HAL_PWR_DisableBkUpAccess();
    HAL_PWR_DisablePVD();
    HAL_PWR_DisableSEVOnPend();
    MX_GPIO_standby();
    HAL_PWR_EnterSTANDBYMode();
    for (;;) __WFI();
}

void battery_check() {
    const uint32_t now = timer7_10ms_counter;
    if (now < __battery_check_time_limit)
        return;
    __battery_check_time_limit = now + 500;
    HAL_ADC_Start_IT(&hadc1);
    g_battAdcVal = (adcValArr[0] + adcValArr[1] + adcValArr[2] + adcValArr[3]) / 4;
    const uint32_t v = g_battAdcVal;
    if (v < kBatteryFloor || stanby_batt_status) {
        low_batt_status = true;
        stanby_batt_status = true;
        if (standby_hit_counter >= 51)
            enter_standby();
        UART5_Printf("standby hit count=%lu \r\n", static_cast<unsigned long>(standby_hit_counter));
    } else if (v > kBatteryFloor && v < kBatteryLow) {
        if (++low_batt_hit_counter >= 11)
            low_batt_status = true;
    } else {
        low_batt_hit_counter = 0;
        low_batt_status = false;
    }
    if (stanby_batt_status)
        ++standby_hit_counter;
}

// The LEDs, until a firing (the post-firing pulse owns them then). A sensor that has
// stopped giving samples shows instead of the heartbeat: the status LED half a second
// on, half a second off.
void indicators() {
    if (g_bTriggerON)
        return;
    pin(TRIGGER_OUT1_GPIO_Port, TRIGGER_OUT1_Pin, false);
    pin(TRIGGER_OUT2_GPIO_Port, TRIGGER_OUT2_Pin, false);
    pin(TRIGGER_OUT3_GPIO_Port, TRIGGER_OUT3_Pin, false);
    leds(false, false);
    if (Gyro_Fault()) {
        pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, timer7_10ms_counter % 100 < 50);
    } else if (low_batt_status || show_low_batt) {
        show_low_batt = true;
        if (nBattBlinkingCount >= 95) {
            pin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, true);
            if (stanby_batt_status)
                pin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, true);
            if (nBattBlinkingCount > 99)
                nBattBlinkingCount = 0;
        }
        ++nBattBlinkingCount;
    } else {
        if (nHeartbitCount >= 95) {
            pin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, true);
            if (nHeartbitCount > 99)
                nHeartbitCount = 0;
        }
        ++nHeartbitCount;
    }
}

void wait_twice() {
    __WFI();
    __WFI();
}

}  // namespace

uint8_t D2B(uint8_t v) {
    return static_cast<uint8_t>(v % 10 + 16 * (v / 10));
}

uint8_t B2D(uint8_t v) {
    return logger_b2d(v);
}

void SystemClock_Config(void) {
    SystemClock_Config__HSE_48MHz();
    g_HCLK = static_cast<int32_t>(HAL_RCC_GetHCLKFreq() / 1000u);
    HAL_SYSTICK_Config(HAL_RCC_GetHCLKFreq() / 1000u);
    HAL_SYSTICK_CLKSourceConfig(SYSTICK_CLKSOURCE_HCLK);
    HAL_NVIC_SetPriority(SysTick_IRQn, 0, 0);
}

// The board's shared modules (the buzzer) report a failing set-up here; in this image
// start-up goes on.
void sys_error_handler(const char *, int) {}

void Logger_StopSampling(void) {
    HAL_TIM_Base_Stop_IT(&htim7);
    sData_Flush(2000);
}

void HAL_ADC_ConvCpltCallback(ADC_HandleTypeDef *hadc) {
    adcValArr[adcValArrIndex % 4] = HAL_ADC_GetValue(hadc);
    adcValArrIndex = adcValArrIndex + 1;
}

void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *htim) {
    if (htim->Instance != TIM7)
        return;
    timer7_10ms_counter = timer7_10ms_counter + 1;
    const bool sampled = bSensorReadToggle;
    if (sampled)
        sensor_tick();
    else
        check_tick();
    bSensorReadToggle = !bSensorReadToggle;
    phone_status();
    battery_check();
    indicators();
    // The log last: what came before in this tick never waits for the flash.
    if (sampled)
        sData_WriteSafe(&__sensordata);
    else
        sData_Service();
}

int main(void) {
    HAL_Init();
    SystemClock_Config();
    MX_GPIO_Init();
    MX_ADC1_Init();
    MX_I2C1_Init();
    MX_I2C2_Init();
    MX_TIM7_Init();
    MX_QUADSPI_Init();
    MX_DMA_Init();
    MX_USART1_UART_Init();
    MX_USART3_UART_Init();
    MX_RTC_Init();

    W25Q_Init();
    uint8_t id = 0;
    W25Q_ReadID(&id);
    IsFlash = id != 0;

    HAL_ADC_Start(&hadc1);
    HAL_ADC_PollForConversion(&hadc1, 100);
    uint32_t seed = HAL_ADC_GetValue(&hadc1);
    if (seed < kBatteryFloor)
        seed = kBatteryFloor;
    for (volatile uint32_t &slot : adcValArr) slot = seed;
    // The mean starts at the seed too: the first status line and a firing within the
    // first evaluation report the battery, not 0.
    g_battAdcVal = seed;

    if (!IsFlash)
        external_memory_fails();
    HAL_ADC_Start_IT(&hadc1);
    if (GyroInit() == 0)
        gyro_fails();
    DnT_Init();
    sData_Init();
    if (reads_high(ACT_DETECT1_GPIO_Port, ACT_DETECT1_Pin) ||
        reads_high(ACT_DETECT2_GPIO_Port, ACT_DETECT2_Pin))
        actuator_fails();

    blink(LED_STATUS_Pin, 500);
    blink(LED_HEARTBEAT_Pin, 500);
    blink(LED_STATUS_Pin, 500);
    blink(LED_HEARTBEAT_Pin, 200);
    UART5_Printf("Start! CLK=%ldMHz, Ver=%s \r\n", static_cast<long>(g_HCLK / 1000), VersionInfo);
    UART5_SendStartFrame();
    Flash_Load_SensorData();
    DnT_Load();
    radio_power_up();
    UART_StartReceptions();

    static FALL_DETECTOR_CFG config;
    FallDetectorSetDefaultConfig(&config);
    FallDetectorSet(&__fall_detector, &config);

    uint32_t handled = timer7_10ms_counter;
    uint32_t dnt_due = handled + 3000;
    __battery_check_time_limit = handled + 500;
    bool tone_played = false;
    HAL_TIM_Base_Start_IT(&htim7);
    pin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, true);
    HAL_Delay(100);
    pin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, false);
    HAL_Delay(450);
    Buzzer_Init();
    Buzzer_ON();

    for (;;) {
        (void)HAL_GetTick();
        if (timer7_10ms_counter == handled) {
            wait_twice();
            if (timer7_10ms_counter == handled)
                wait_twice();
            continue;
        }
        handled = timer7_10ms_counter;
        if (timer7_10ms_counter == handled)
            wait_twice();
        if (handled >= dnt_due) {
            dnt_due = handled + 3000;
            DnT_Write();
        }
        const uint32_t save_at = __write_last_trigger_data_time;
        if (save_at != 0 && handled >= save_at) {
            Flash_Save_SensorData(__last_trigger_type);
            __write_last_trigger_data_time = 0;
        }
        if (low_batt_status && !tone_played) {
            tone_played = true;
            Buzzer_Low();
        }
        if (timer7_10ms_counter == handled)
            wait_twice();
        UART_ForwardPhoneBytes();
        if (timer7_10ms_counter == handled)
            wait_twice();
    }
}
