/* HAL RCC module: oscillators, PLL, bus clocks, peripheral clock enables. */
#ifndef STM32L4xx_HAL_RCC_H
#define STM32L4xx_HAL_RCC_H

#include "stm32l4xx_hal_def.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t PLLState;  /* RCC_PLL_NONE / OFF / ON */
  uint32_t PLLSource; /* RCC_PLLSOURCE_x */
  uint32_t PLLM;      /* 1..8 */
  uint32_t PLLN;      /* 8..86 */
  uint32_t PLLP;      /* RCC_PLLP_DIV7 / DIV17 */
  uint32_t PLLQ;      /* RCC_PLLQ_DIVn */
  uint32_t PLLR;      /* RCC_PLLR_DIVn */
} RCC_PLLInitTypeDef;

typedef struct {
  uint32_t OscillatorType; /* RCC_OSCILLATORTYPE_x, or-ed */
  uint32_t HSEState;
  uint32_t LSEState;
  uint32_t HSIState;
  uint32_t HSICalibrationValue;
  uint32_t LSIState;
  uint32_t MSIState;
  uint32_t MSICalibrationValue;
  uint32_t MSIClockRange;
  uint32_t HSI48State;
  RCC_PLLInitTypeDef PLL;
} RCC_OscInitTypeDef;

typedef struct {
  uint32_t ClockType;      /* RCC_CLOCKTYPE_x, or-ed */
  uint32_t SYSCLKSource;   /* RCC_SYSCLKSOURCE_x */
  uint32_t AHBCLKDivider;  /* RCC_SYSCLK_DIVn */
  uint32_t APB1CLKDivider; /* RCC_HCLK_DIVn */
  uint32_t APB2CLKDivider; /* RCC_HCLK_DIVn */
} RCC_ClkInitTypeDef;

#define RCC_OSCILLATORTYPE_NONE  0x00000000U
#define RCC_OSCILLATORTYPE_HSE   0x00000001U
#define RCC_OSCILLATORTYPE_HSI   0x00000002U
#define RCC_OSCILLATORTYPE_LSE   0x00000004U
#define RCC_OSCILLATORTYPE_LSI   0x00000008U
#define RCC_OSCILLATORTYPE_MSI   0x00000010U
#define RCC_OSCILLATORTYPE_HSI48 0x00000020U

#define RCC_HSE_OFF    0x00000000U
#define RCC_HSE_ON     RCC_CR_HSEON
#define RCC_HSE_BYPASS (RCC_CR_HSEBYP | RCC_CR_HSEON)
#define RCC_LSE_OFF    0x00000000U
#define RCC_LSE_ON     RCC_BDCR_LSEON
#define RCC_LSE_BYPASS (RCC_BDCR_LSEBYP | RCC_BDCR_LSEON)
#define RCC_HSI_OFF    0x00000000U
#define RCC_HSI_ON     RCC_CR_HSION
#define RCC_HSICALIBRATION_DEFAULT 16U
#define RCC_LSI_OFF    0x00000000U
#define RCC_LSI_ON     RCC_CSR_LSION
#define RCC_MSI_OFF    0x00000000U
#define RCC_MSI_ON     RCC_CR_MSION
#define RCC_MSICALIBRATION_DEFAULT 0U
#define RCC_HSI48_OFF  0x00000000U
#define RCC_HSI48_ON   RCC_CRRCR_HSI48ON

#define RCC_MSIRANGE_0  0x00000000U /* 100 kHz */
#define RCC_MSIRANGE_1  0x00000010U
#define RCC_MSIRANGE_2  0x00000020U
#define RCC_MSIRANGE_3  0x00000030U
#define RCC_MSIRANGE_4  0x00000040U
#define RCC_MSIRANGE_5  0x00000050U
#define RCC_MSIRANGE_6  0x00000060U /* 4 MHz, after reset */
#define RCC_MSIRANGE_7  0x00000070U
#define RCC_MSIRANGE_8  0x00000080U
#define RCC_MSIRANGE_9  0x00000090U
#define RCC_MSIRANGE_10 0x000000A0U
#define RCC_MSIRANGE_11 0x000000B0U /* 48 MHz */

#define RCC_PLL_NONE 0x00000000U
#define RCC_PLL_OFF  0x00000001U
#define RCC_PLL_ON   0x00000002U

#define RCC_PLLSOURCE_NONE 0x00000000U
#define RCC_PLLSOURCE_MSI  RCC_PLLCFGR_PLLSRC_MSI
#define RCC_PLLSOURCE_HSI  RCC_PLLCFGR_PLLSRC_HSI
#define RCC_PLLSOURCE_HSE  RCC_PLLCFGR_PLLSRC_HSE

#define RCC_PLLP_DIV7  0x00000007U
#define RCC_PLLP_DIV17 0x00000011U
#define RCC_PLLQ_DIV2 0x00000002U
#define RCC_PLLQ_DIV4 0x00000004U
#define RCC_PLLQ_DIV6 0x00000006U
#define RCC_PLLQ_DIV8 0x00000008U
#define RCC_PLLR_DIV2 0x00000002U
#define RCC_PLLR_DIV4 0x00000004U
#define RCC_PLLR_DIV6 0x00000006U
#define RCC_PLLR_DIV8 0x00000008U

#define RCC_PLL_48M1CLK  RCC_PLLCFGR_PLLQEN
#define RCC_PLL_SYSCLK   RCC_PLLCFGR_PLLREN

#define RCC_CLOCKTYPE_SYSCLK 0x00000001U
#define RCC_CLOCKTYPE_HCLK   0x00000002U
#define RCC_CLOCKTYPE_PCLK1  0x00000004U
#define RCC_CLOCKTYPE_PCLK2  0x00000008U

#define RCC_SYSCLKSOURCE_MSI    RCC_CFGR_SW_MSI
#define RCC_SYSCLKSOURCE_HSI    RCC_CFGR_SW_HSI
#define RCC_SYSCLKSOURCE_HSE    RCC_CFGR_SW_HSE
#define RCC_SYSCLKSOURCE_PLLCLK RCC_CFGR_SW_PLL
#define RCC_SYSCLKSOURCE_STATUS_MSI    RCC_CFGR_SWS_MSI
#define RCC_SYSCLKSOURCE_STATUS_HSI    RCC_CFGR_SWS_HSI
#define RCC_SYSCLKSOURCE_STATUS_HSE    RCC_CFGR_SWS_HSE
#define RCC_SYSCLKSOURCE_STATUS_PLLCLK RCC_CFGR_SWS_PLL

#define RCC_SYSCLK_DIV1   RCC_CFGR_HPRE_DIV1
#define RCC_SYSCLK_DIV2   RCC_CFGR_HPRE_DIV2
#define RCC_SYSCLK_DIV4   RCC_CFGR_HPRE_DIV4
#define RCC_SYSCLK_DIV8   RCC_CFGR_HPRE_DIV8
#define RCC_SYSCLK_DIV16  RCC_CFGR_HPRE_DIV16
#define RCC_SYSCLK_DIV64  RCC_CFGR_HPRE_DIV64
#define RCC_SYSCLK_DIV128 RCC_CFGR_HPRE_DIV128
#define RCC_SYSCLK_DIV256 RCC_CFGR_HPRE_DIV256
#define RCC_SYSCLK_DIV512 RCC_CFGR_HPRE_DIV512
#define RCC_HCLK_DIV1  RCC_CFGR_PPRE1_DIV1
#define RCC_HCLK_DIV2  RCC_CFGR_PPRE1_DIV2
#define RCC_HCLK_DIV4  RCC_CFGR_PPRE1_DIV4
#define RCC_HCLK_DIV8  RCC_CFGR_PPRE1_DIV8
#define RCC_HCLK_DIV16 RCC_CFGR_PPRE1_DIV16

#define RCC_RTCCLKSOURCE_NONE      0x00000000U
#define RCC_RTCCLKSOURCE_LSE       RCC_BDCR_RTCSEL_0
#define RCC_RTCCLKSOURCE_LSI       RCC_BDCR_RTCSEL_1
#define RCC_RTCCLKSOURCE_HSE_DIV32 RCC_BDCR_RTCSEL

#define RCC_LSEDRIVE_LOW        0x00000000U
#define RCC_LSEDRIVE_MEDIUMLOW  RCC_BDCR_LSEDRV_0
#define RCC_LSEDRIVE_MEDIUMHIGH RCC_BDCR_LSEDRV_1
#define RCC_LSEDRIVE_HIGH       RCC_BDCR_LSEDRV

#define RCC_IT_LSIRDY     0x00000001U
#define RCC_IT_LSERDY     0x00000002U
#define RCC_IT_MSIRDY     0x00000004U
#define RCC_IT_HSIRDY     0x00000008U
#define RCC_IT_HSERDY     0x00000010U
#define RCC_IT_PLLRDY     0x00000020U
#define RCC_IT_PLLSAI1RDY 0x00000040U
#define RCC_IT_CSS        0x00000100U
#define RCC_IT_LSECSS     0x00000200U

/* Flags: bits 7-5 the register (1 CR, 2 BDCR, 3 CSR, 4 CRRCR), bits 4-0 the bit. */
#define RCC_FLAG_MASK       0x1FU
#define RCC_FLAG_MSIRDY     ((1U << 5U) | 1U)
#define RCC_FLAG_HSIRDY     ((1U << 5U) | 10U)
#define RCC_FLAG_HSERDY     ((1U << 5U) | 17U)
#define RCC_FLAG_PLLRDY     ((1U << 5U) | 25U)
#define RCC_FLAG_PLLSAI1RDY ((1U << 5U) | 27U)
#define RCC_FLAG_LSERDY     ((2U << 5U) | 1U)
#define RCC_FLAG_LSECSSD    ((2U << 5U) | 6U)
#define RCC_FLAG_LSIRDY     ((3U << 5U) | 1U)
#define RCC_FLAG_FWRST      ((3U << 5U) | 24U)
#define RCC_FLAG_OBLRST     ((3U << 5U) | 25U)
#define RCC_FLAG_PINRST     ((3U << 5U) | 26U)
#define RCC_FLAG_BORRST     ((3U << 5U) | 27U)
#define RCC_FLAG_SFTRST     ((3U << 5U) | 28U)
#define RCC_FLAG_IWDGRST    ((3U << 5U) | 29U)
#define RCC_FLAG_WWDGRST    ((3U << 5U) | 30U)
#define RCC_FLAG_LPWRRST    ((3U << 5U) | 31U)
#define RCC_FLAG_HSI48RDY   ((4U << 5U) | 1U)

#define __HAL_RCC_GET_FLAG(__FLAG__)                                                                   \
  (((((((__FLAG__) >> 5U) == 1U)   ? RCC->CR                                                           \
      : ((((__FLAG__) >> 5U) == 2U) ? RCC->BDCR                                                        \
      : ((((__FLAG__) >> 5U) == 3U) ? RCC->CSR : RCC->CRRCR))) &                                       \
     (1U << ((__FLAG__) & RCC_FLAG_MASK))) != 0U) ? 1U : 0U)
#define __HAL_RCC_CLEAR_RESET_FLAGS() SET_BIT(RCC->CSR, RCC_CSR_RMVF)
#define __HAL_RCC_ENABLE_IT(__INTERRUPT__) SET_BIT(RCC->CIER, (__INTERRUPT__))
#define __HAL_RCC_DISABLE_IT(__INTERRUPT__) CLEAR_BIT(RCC->CIER, (__INTERRUPT__))
#define __HAL_RCC_CLEAR_IT(__INTERRUPT__) WRITE_REG(RCC->CICR, (__INTERRUPT__))
#define __HAL_RCC_GET_IT(__INTERRUPT__) (READ_BIT(RCC->CIFR, (__INTERRUPT__)) == (__INTERRUPT__))

#define __HAL_RCC_GET_SYSCLK_SOURCE() (READ_BIT(RCC->CFGR, RCC_CFGR_SWS))
#define __HAL_RCC_GET_PLL_OSCSOURCE() (READ_BIT(RCC->PLLCFGR, RCC_PLLCFGR_PLLSRC))
#define __HAL_RCC_LSEDRIVE_CONFIG(__LSEDRIVE__) MODIFY_REG(RCC->BDCR, RCC_BDCR_LSEDRV, (uint32_t)(__LSEDRIVE__))
#define __HAL_RCC_RTC_CONFIG(__RTC_CLKSOURCE__) MODIFY_REG(RCC->BDCR, RCC_BDCR_RTCSEL, (__RTC_CLKSOURCE__))
#define __HAL_RCC_GET_RTC_SOURCE() (READ_BIT(RCC->BDCR, RCC_BDCR_RTCSEL))
#define __HAL_RCC_RTC_ENABLE() SET_BIT(RCC->BDCR, RCC_BDCR_RTCEN)
#define __HAL_RCC_RTC_DISABLE() CLEAR_BIT(RCC->BDCR, RCC_BDCR_RTCEN)
#define __HAL_RCC_BACKUPRESET_FORCE() SET_BIT(RCC->BDCR, RCC_BDCR_BDRST)
#define __HAL_RCC_BACKUPRESET_RELEASE() CLEAR_BIT(RCC->BDCR, RCC_BDCR_BDRST)
#define __HAL_RCC_PLLCLKOUT_ENABLE(__PLLCLOCKOUT__) SET_BIT(RCC->PLLCFGR, (__PLLCLOCKOUT__))
#define __HAL_RCC_PLLCLKOUT_DISABLE(__PLLCLOCKOUT__) CLEAR_BIT(RCC->PLLCFGR, (__PLLCLOCKOUT__))

/* Peripheral clock enable: set the bit, then read it back, which gives the two
 * bus cycles the clock needs before the peripheral may be accessed. */

#define __HAL_RCC_DMA1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB1ENR, RCC_AHB1ENR_DMA1EN); \
    tmpreg = READ_BIT(RCC->AHB1ENR, RCC_AHB1ENR_DMA1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_DMA2_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB1ENR, RCC_AHB1ENR_DMA2EN); \
    tmpreg = READ_BIT(RCC->AHB1ENR, RCC_AHB1ENR_DMA2EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_FLASH_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB1ENR, RCC_AHB1ENR_FLASHEN); \
    tmpreg = READ_BIT(RCC->AHB1ENR, RCC_AHB1ENR_FLASHEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_CRC_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB1ENR, RCC_AHB1ENR_CRCEN); \
    tmpreg = READ_BIT(RCC->AHB1ENR, RCC_AHB1ENR_CRCEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_GPIOA_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOAEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOAEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_GPIOB_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOBEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOBEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_GPIOC_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOCEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOCEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_GPIOD_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIODEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIODEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_GPIOE_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOEEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOEEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_GPIOH_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOHEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOHEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_ADC_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB2ENR, RCC_AHB2ENR_ADCEN); \
    tmpreg = READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_ADCEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_QSPI_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->AHB3ENR, RCC_AHB3ENR_QSPIEN); \
    tmpreg = READ_BIT(RCC->AHB3ENR, RCC_AHB3ENR_QSPIEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_TIM2_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM2EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM2EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_TIM6_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM6EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM6EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_TIM7_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM7EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM7EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_RTCAPB_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_RTCAPBEN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_RTCAPBEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_WWDG_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_WWDGEN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_WWDGEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_SPI2_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_SPI2EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_SPI2EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_USART2_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_USART2EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_USART2EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_USART3_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_USART3EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_USART3EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_I2C1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C1EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_I2C2_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C2EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C2EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_I2C3_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C3EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C3EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_PWR_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_PWREN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_PWREN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_LPTIM1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR1, RCC_APB1ENR1_LPTIM1EN); \
    tmpreg = READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_LPTIM1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_LPUART1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB1ENR2, RCC_APB1ENR2_LPUART1EN); \
    tmpreg = READ_BIT(RCC->APB1ENR2, RCC_APB1ENR2_LPUART1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_SYSCFG_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB2ENR, RCC_APB2ENR_SYSCFGEN); \
    tmpreg = READ_BIT(RCC->APB2ENR, RCC_APB2ENR_SYSCFGEN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_TIM1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB2ENR, RCC_APB2ENR_TIM1EN); \
    tmpreg = READ_BIT(RCC->APB2ENR, RCC_APB2ENR_TIM1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_SPI1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB2ENR, RCC_APB2ENR_SPI1EN); \
    tmpreg = READ_BIT(RCC->APB2ENR, RCC_APB2ENR_SPI1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_USART1_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB2ENR, RCC_APB2ENR_USART1EN); \
    tmpreg = READ_BIT(RCC->APB2ENR, RCC_APB2ENR_USART1EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_TIM15_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB2ENR, RCC_APB2ENR_TIM15EN); \
    tmpreg = READ_BIT(RCC->APB2ENR, RCC_APB2ENR_TIM15EN); \
    UNUSED(tmpreg); \
  } while (0)
#define __HAL_RCC_TIM16_CLK_ENABLE() \
  do { \
    __IO uint32_t tmpreg; \
    SET_BIT(RCC->APB2ENR, RCC_APB2ENR_TIM16EN); \
    tmpreg = READ_BIT(RCC->APB2ENR, RCC_APB2ENR_TIM16EN); \
    UNUSED(tmpreg); \
  } while (0)

#define __HAL_RCC_DMA1_CLK_DISABLE()    CLEAR_BIT(RCC->AHB1ENR, RCC_AHB1ENR_DMA1EN)
#define __HAL_RCC_GPIOA_CLK_DISABLE()   CLEAR_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOAEN)
#define __HAL_RCC_GPIOB_CLK_DISABLE()   CLEAR_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOBEN)
#define __HAL_RCC_GPIOC_CLK_DISABLE()   CLEAR_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOCEN)
#define __HAL_RCC_GPIOH_CLK_DISABLE()   CLEAR_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOHEN)
#define __HAL_RCC_ADC_CLK_DISABLE()     CLEAR_BIT(RCC->AHB2ENR, RCC_AHB2ENR_ADCEN)
#define __HAL_RCC_QSPI_CLK_DISABLE()    CLEAR_BIT(RCC->AHB3ENR, RCC_AHB3ENR_QSPIEN)
#define __HAL_RCC_TIM2_CLK_DISABLE()    CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM2EN)
#define __HAL_RCC_TIM6_CLK_DISABLE()    CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM6EN)
#define __HAL_RCC_TIM7_CLK_DISABLE()    CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_TIM7EN)
/* The vendor's ends with a semicolon, so it is a statement, not an expression. */
#define __HAL_RCC_RTCAPB_CLK_DISABLE()  CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_RTCAPBEN);
#define __HAL_RCC_USART3_CLK_DISABLE()  CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_USART3EN)
#define __HAL_RCC_I2C1_CLK_DISABLE()    CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C1EN)
#define __HAL_RCC_I2C2_CLK_DISABLE()    CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_I2C2EN)
#define __HAL_RCC_PWR_CLK_DISABLE()     CLEAR_BIT(RCC->APB1ENR1, RCC_APB1ENR1_PWREN)
#define __HAL_RCC_SYSCFG_CLK_DISABLE()  CLEAR_BIT(RCC->APB2ENR, RCC_APB2ENR_SYSCFGEN)
#define __HAL_RCC_USART1_CLK_DISABLE()  CLEAR_BIT(RCC->APB2ENR, RCC_APB2ENR_USART1EN)

#define __HAL_RCC_GPIOA_IS_CLK_ENABLED()  (READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOAEN) != 0U)
#define __HAL_RCC_GPIOB_IS_CLK_ENABLED()  (READ_BIT(RCC->AHB2ENR, RCC_AHB2ENR_GPIOBEN) != 0U)
#define __HAL_RCC_PWR_IS_CLK_ENABLED()    (READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_PWREN) != 0U)
#define __HAL_RCC_PWR_IS_CLK_DISABLED()   (READ_BIT(RCC->APB1ENR1, RCC_APB1ENR1_PWREN) == 0U)

#define __HAL_RCC_DMA1_FORCE_RESET()     SET_BIT(RCC->AHB1RSTR, RCC_AHB1RSTR_DMA1RST)
#define __HAL_RCC_DMA1_RELEASE_RESET()   CLEAR_BIT(RCC->AHB1RSTR, RCC_AHB1RSTR_DMA1RST)
#define __HAL_RCC_ADC_FORCE_RESET()      SET_BIT(RCC->AHB2RSTR, RCC_AHB2RSTR_ADCRST)
#define __HAL_RCC_ADC_RELEASE_RESET()    CLEAR_BIT(RCC->AHB2RSTR, RCC_AHB2RSTR_ADCRST)
#define __HAL_RCC_QSPI_FORCE_RESET()     SET_BIT(RCC->AHB3RSTR, RCC_AHB3RSTR_QSPIRST)
#define __HAL_RCC_QSPI_RELEASE_RESET()   CLEAR_BIT(RCC->AHB3RSTR, RCC_AHB3RSTR_QSPIRST)
#define __HAL_RCC_TIM7_FORCE_RESET()     SET_BIT(RCC->APB1RSTR1, RCC_APB1RSTR1_TIM7RST)
#define __HAL_RCC_TIM7_RELEASE_RESET()   CLEAR_BIT(RCC->APB1RSTR1, RCC_APB1RSTR1_TIM7RST)
#define __HAL_RCC_USART3_FORCE_RESET()   SET_BIT(RCC->APB1RSTR1, RCC_APB1RSTR1_USART3RST)
#define __HAL_RCC_USART3_RELEASE_RESET() CLEAR_BIT(RCC->APB1RSTR1, RCC_APB1RSTR1_USART3RST)
#define __HAL_RCC_I2C1_FORCE_RESET()     SET_BIT(RCC->APB1RSTR1, RCC_APB1RSTR1_I2C1RST)
#define __HAL_RCC_I2C1_RELEASE_RESET()   CLEAR_BIT(RCC->APB1RSTR1, RCC_APB1RSTR1_I2C1RST)
#define __HAL_RCC_USART1_FORCE_RESET()   SET_BIT(RCC->APB2RSTR, RCC_APB2RSTR_USART1RST)
#define __HAL_RCC_USART1_RELEASE_RESET() CLEAR_BIT(RCC->APB2RSTR, RCC_APB2RSTR_USART1RST)

#include "stm32l4xx_hal_rcc_ex.h"

HAL_StatusTypeDef HAL_RCC_DeInit(void);
/* Starts and waits for the oscillators and the PLL; answers HAL_TIMEOUT when one
 * does not become ready in time, HAL_ERROR on a parameter the chip refuses. */
HAL_StatusTypeDef HAL_RCC_OscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct);
HAL_StatusTypeDef HAL_RCC_ClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t FLatency);
void HAL_RCC_MCOConfig(uint32_t RCC_MCOx, uint32_t RCC_MCOSource, uint32_t RCC_MCODiv);
void HAL_RCC_EnableCSS(void);
uint32_t HAL_RCC_GetSysClockFreq(void);
uint32_t HAL_RCC_GetHCLKFreq(void);
uint32_t HAL_RCC_GetPCLK1Freq(void);
uint32_t HAL_RCC_GetPCLK2Freq(void);
void HAL_RCC_GetOscConfig(RCC_OscInitTypeDef* RCC_OscInitStruct);
void HAL_RCC_GetClockConfig(RCC_ClkInitTypeDef* RCC_ClkInitStruct, uint32_t* pFLatency);
void HAL_RCC_NMI_IRQHandler(void);
void HAL_RCC_CSSCallback(void);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_RCC_H */
