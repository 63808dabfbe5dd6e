// The clock tree. The console is not set up yet when this runs, so a failure here
// halts without a visible message.
#include "sys_clock.h"

#include "stm32l4xx_hal.h"
#include "sys_error_handler.h"

uint32_t g_HCLK = 0;

namespace {

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
    if (HAL_RCC_OscConfig(&osc) != HAL_OK)
        sys_error_handler("clock", 1);

    RCC_ClkInitTypeDef clk = {};
    clk.ClockType =
        RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
    clk.SYSCLKSource = RCC_SYSCLKSOURCE_PLLCLK;
    clk.AHBCLKDivider = RCC_SYSCLK_DIV1;
    clk.APB1CLKDivider = RCC_HCLK_DIV1;
    clk.APB2CLKDivider = RCC_HCLK_DIV1;
    if (HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2) != HAL_OK)
        sys_error_handler("clock", 2);

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
    if (HAL_RCCEx_PeriphCLKConfig(&periph) != HAL_OK)
        sys_error_handler("clock", 3);

    if (HAL_PWREx_ControlVoltageScaling(PWR_REGULATOR_VOLTAGE_SCALE1) != HAL_OK)
        sys_error_handler("clock", 4);

    g_HCLK = HAL_RCC_GetHCLKFreq() / 1000u;
    HAL_SYSTICK_Config(HAL_RCC_GetHCLKFreq() / 1000u);
    HAL_SYSTICK_CLKSourceConfig(SYSTICK_CLKSOURCE_HCLK);
    HAL_NVIC_SetPriority(SysTick_IRQn, 0, 0);
}

}  // namespace

int sys_clock_init(void) {
    SystemClock_Config__HSE_48MHz();
    return 0;
}
