// The board's set-up as its firmware images do it, for the demo and test firmwares
// and the in-process tests: the clocks, the LEDs, the QUADSPI pins and peripheral for
// the external NOR flash, the RTC on the LSE, the console port and its receive DMA. Plain HAL calls, so
// that it builds for the Cortex-M4F as well.
#pragma once

#include "stm32l4xx_hal.h"

namespace board_setup {

// 48 MHz from the 8 MHz crystal: PLL from HSE with M 1, N 12, P 7, Q 2, R 2 (96 MHz
// VCO), flash latency 2; the AHB and APB1 dividers as given, APB2 undivided.
inline HAL_StatusTypeDef clocks(uint32_t ahb_div = RCC_SYSCLK_DIV1,
                                uint32_t apb1_div = RCC_HCLK_DIV1) {
    RCC_OscInitTypeDef osc = {};
    osc.OscillatorType = RCC_OSCILLATORTYPE_HSE;
    osc.HSEState = RCC_HSE_ON;
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

// The status and heartbeat LEDs (PA10, PA11), off.
inline void leds() {
    __HAL_RCC_GPIOA_CLK_ENABLE();
    HAL_GPIO_WritePin(GPIOA, GPIO_PIN_10 | GPIO_PIN_11, GPIO_PIN_RESET);
    GPIO_InitTypeDef g = {GPIO_PIN_10 | GPIO_PIN_11, GPIO_MODE_OUTPUT_PP, GPIO_PULLDOWN,
                          GPIO_SPEED_FREQ_LOW, 0};
    HAL_GPIO_Init(GPIOA, &g);
}

// QUADSPI on PA2, PA3, PA6, PA7, PB0 and PB1 (AF10), at 48 MHz / 256 = 187.5 kHz, for
// a 32 MB chip.
inline HAL_StatusTypeDef qspi(QSPI_HandleTypeDef &h) {
    __HAL_RCC_GPIOA_CLK_ENABLE();
    __HAL_RCC_GPIOB_CLK_ENABLE();
    GPIO_InitTypeDef g = {GPIO_PIN_2 | GPIO_PIN_3 | GPIO_PIN_6 | GPIO_PIN_7, GPIO_MODE_AF_PP,
                          GPIO_NOPULL, GPIO_SPEED_FREQ_VERY_HIGH, GPIO_AF10_QUADSPI};
    HAL_GPIO_Init(GPIOA, &g);
    g.Pin = GPIO_PIN_0 | GPIO_PIN_1;
    HAL_GPIO_Init(GPIOB, &g);
    __HAL_RCC_QSPI_CLK_ENABLE();
    h = QSPI_HandleTypeDef{};
    h.Instance = QUADSPI;
    h.Init.ClockPrescaler = 255;
    h.Init.FifoThreshold = 1;
    h.Init.SampleShifting = QSPI_SAMPLE_SHIFTING_NONE;
    h.Init.FlashSize = 25;
    h.Init.ChipSelectHighTime = QSPI_CS_HIGH_TIME_1_CYCLE;
    h.Init.ClockMode = QSPI_CLOCK_MODE_0;
    return HAL_QSPI_Init(&h);
}

// The LSE on and clocking the RTC, with access to the backup domain.
inline void rtc_clock() {
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

// A serial port's receive DMA channel (request 2, peripheral to memory, byte by byte)
// in `mode`.
inline HAL_StatusTypeDef rx_dma(DMA_HandleTypeDef &dma, DMA_Channel_TypeDef *channel,
                                uint32_t mode) {
    dma.Instance = channel;
    dma.Init.Request = DMA_REQUEST_2;
    dma.Init.Direction = DMA_PERIPH_TO_MEMORY;
    dma.Init.PeriphInc = DMA_PINC_DISABLE;
    dma.Init.MemInc = DMA_MINC_ENABLE;
    dma.Init.PeriphDataAlignment = DMA_PDATAALIGN_BYTE;
    dma.Init.MemDataAlignment = DMA_MDATAALIGN_BYTE;
    dma.Init.Mode = mode;
    dma.Init.Priority = DMA_PRIORITY_LOW;
    return HAL_DMA_Init(&dma);
}

// A serial port at 115200 8N1, the console port USART3 unless another is named (its
// pins and DMA are the image's HAL_UART_MspInit).
inline HAL_StatusTypeDef console(UART_HandleTypeDef &h, USART_TypeDef *instance = USART3) {
    h.Instance = instance;
    h.Init.BaudRate = 115200;
    h.Init.WordLength = UART_WORDLENGTH_8B;
    h.Init.StopBits = UART_STOPBITS_1;
    h.Init.Parity = UART_PARITY_NONE;
    h.Init.Mode = UART_MODE_TX_RX;
    h.Init.HwFlowCtl = UART_HWCONTROL_NONE;
    h.Init.OverSampling = UART_OVERSAMPLING_8;
    return HAL_UART_Init(&h);
}

}  // namespace board_setup
