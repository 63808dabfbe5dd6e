#include "storage_board.h"

#include "main.h"
#include "w25q_mem.h"

void storage_board_pins(void) {
    __HAL_RCC_GPIOA_CLK_ENABLE();
    __HAL_RCC_GPIOB_CLK_ENABLE();
    HAL_GPIO_WritePin(GPIOA, LED_STATUS_Pin | LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    GPIO_InitTypeDef g = {};
    g.Pin = LED_STATUS_Pin | LED_HEARTBEAT_Pin;
    g.Mode = GPIO_MODE_OUTPUT_PP;
    g.Pull = GPIO_PULLDOWN;
    g.Speed = GPIO_SPEED_FREQ_LOW;
    HAL_GPIO_Init(GPIOA, &g);
    g.Mode = GPIO_MODE_AF_PP;
    g.Pull = GPIO_NOPULL;
    g.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
    g.Alternate = GPIO_AF10_QUADSPI;
    g.Pin = GPIO_PIN_2 | GPIO_PIN_3 | GPIO_PIN_6 | GPIO_PIN_7;
    HAL_GPIO_Init(GPIOA, &g);
    g.Pin = GPIO_PIN_0 | GPIO_PIN_1;
    HAL_GPIO_Init(GPIOB, &g);
}

void storage_board_qspi(void) {
    __HAL_RCC_QSPI_CLK_ENABLE();
    hqspi = QSPI_HandleTypeDef{};
    hqspi.Instance = QUADSPI;
    hqspi.Init.ClockPrescaler = 255;  // 48 MHz / 256 = 187.5 kHz
    hqspi.Init.FifoThreshold = 1;
    hqspi.Init.SampleShifting = QSPI_SAMPLE_SHIFTING_NONE;
    hqspi.Init.FlashSize = 25;
    hqspi.Init.ChipSelectHighTime = QSPI_CS_HIGH_TIME_1_CYCLE;
    hqspi.Init.ClockMode = QSPI_CLOCK_MODE_0;
    hqspi.Init.FlashID = QSPI_FLASH_ID_1;
    hqspi.Init.DualFlash = QSPI_DUALFLASH_DISABLE;
    HAL_QSPI_Init(&hqspi);
}

void storage_board_rtc_clock(void) {
    HAL_PWR_EnableBkUpAccess();
    RCC_OscInitTypeDef osc = {};
    osc.OscillatorType = RCC_OSCILLATORTYPE_LSE;
    osc.LSEState = RCC_LSE_ON;
    osc.PLL.PLLState = RCC_PLL_NONE;
    HAL_RCC_OscConfig(&osc);
    RCC_PeriphCLKInitTypeDef p = {};
    p.PeriphClockSelection = RCC_PERIPHCLK_RTC;
    p.RTCClockSelection = RCC_RTCCLKSOURCE_LSE;
    HAL_RCCEx_PeriphCLKConfig(&p);
    __HAL_RCC_RTC_ENABLE();
}
