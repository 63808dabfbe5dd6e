/* HAL configuration of this board: enabled modules, oscillator values, tick
 * priority. The module headers are included at the end, as the HAL expects. */
#ifndef STM32L4xx_HAL_CONF_H
#define STM32L4xx_HAL_CONF_H

#ifdef __cplusplus
extern "C" {
#endif

#define HAL_MODULE_ENABLED
#define HAL_ADC_MODULE_ENABLED
#define HAL_CORTEX_MODULE_ENABLED
#define HAL_DMA_MODULE_ENABLED
#define HAL_FLASH_MODULE_ENABLED
#define HAL_GPIO_MODULE_ENABLED
#define HAL_I2C_MODULE_ENABLED
#define HAL_PWR_MODULE_ENABLED
#define HAL_QSPI_MODULE_ENABLED
#define HAL_RCC_MODULE_ENABLED
#define HAL_RTC_MODULE_ENABLED
#define HAL_TIM_MODULE_ENABLED
#define HAL_UART_MODULE_ENABLED

/* Oscillators of the board (Hz). */
#define HSE_VALUE            8000000U   /* crystal */
#define HSE_STARTUP_TIMEOUT  100U       /* ms */
#define MSI_VALUE            4000000U   /* after reset */
#define HSI_VALUE            16000000U
#define HSI48_VALUE          48000000U
#define LSI_VALUE            32000U
#define LSE_VALUE            32768U
#define LSE_STARTUP_TIMEOUT  5000U      /* ms */
#define EXTERNAL_SAI1_CLOCK_VALUE 2097000U

#define VDD_VALUE            3300U      /* mV */
#define TICK_INT_PRIORITY    0U         /* the 1 ms tick beats every other interrupt */
#define USE_RTOS             0U
#define PREFETCH_ENABLE      0U
#define INSTRUCTION_CACHE_ENABLE 1U
#define DATA_CACHE_ENABLE    1U

#define USE_HAL_ADC_REGISTER_CALLBACKS  0U
#define USE_HAL_I2C_REGISTER_CALLBACKS  0U
#define USE_HAL_QSPI_REGISTER_CALLBACKS 0U
#define USE_HAL_RTC_REGISTER_CALLBACKS  0U
#define USE_HAL_TIM_REGISTER_CALLBACKS  0U
#define USE_HAL_UART_REGISTER_CALLBACKS 0U

/* Parameter checks are compiled out, as in a release build of the HAL. */
#define assert_param(expr) ((void)0U)

#ifdef __cplusplus
}
#endif

#include "stm32l4xx_hal_rcc.h"
#include "stm32l4xx_hal_gpio.h"
#include "stm32l4xx_hal_dma.h"
#include "stm32l4xx_hal_cortex.h"
#include "stm32l4xx_hal_adc.h"
#include "stm32l4xx_hal_flash.h"
#include "stm32l4xx_hal_i2c.h"
#include "stm32l4xx_hal_pwr.h"
#include "stm32l4xx_hal_qspi.h"
#include "stm32l4xx_hal_rtc.h"
#include "stm32l4xx_hal_tim.h"
#include "stm32l4xx_hal_uart.h"

#endif /* STM32L4xx_HAL_CONF_H */
