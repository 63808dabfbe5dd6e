/* HAL GPIO extension: alternate function numbers of the STM32L431. */
#ifndef STM32L4xx_HAL_GPIO_EX_H
#define STM32L4xx_HAL_GPIO_EX_H

#ifdef __cplusplus
extern "C" {
#endif

#define GPIO_AF0_RTC_50Hz  ((uint8_t)0x00)
#define GPIO_AF0_MCO       ((uint8_t)0x00)
#define GPIO_AF0_SWJ       ((uint8_t)0x00)
#define GPIO_AF0_TRACE     ((uint8_t)0x00)

#define GPIO_AF1_TIM1      ((uint8_t)0x01)
#define GPIO_AF1_TIM2      ((uint8_t)0x01)
#define GPIO_AF1_LPTIM1    ((uint8_t)0x01)
#define GPIO_AF1_IR        ((uint8_t)0x01)

#define GPIO_AF2_TIM1      ((uint8_t)0x02)
#define GPIO_AF2_TIM2      ((uint8_t)0x02)

#define GPIO_AF3_USART2    ((uint8_t)0x03)
#define GPIO_AF3_TIM1_COMP1 ((uint8_t)0x03)

#define GPIO_AF4_I2C1      ((uint8_t)0x04)
#define GPIO_AF4_I2C2      ((uint8_t)0x04)
#define GPIO_AF4_I2C3      ((uint8_t)0x04)

#define GPIO_AF5_SPI1      ((uint8_t)0x05)
#define GPIO_AF5_SPI2      ((uint8_t)0x05)

#define GPIO_AF6_SPI3      ((uint8_t)0x06)
#define GPIO_AF6_COMP1     ((uint8_t)0x06)

#define GPIO_AF7_USART1    ((uint8_t)0x07)
#define GPIO_AF7_USART2    ((uint8_t)0x07)
#define GPIO_AF7_USART3    ((uint8_t)0x07)

#define GPIO_AF8_LPUART1   ((uint8_t)0x08)

#define GPIO_AF9_CAN1      ((uint8_t)0x09)
#define GPIO_AF9_TSC       ((uint8_t)0x09)

#define GPIO_AF10_QUADSPI  ((uint8_t)0x0A)

#define GPIO_AF12_SWPMI1   ((uint8_t)0x0C)
#define GPIO_AF12_COMP1    ((uint8_t)0x0C)
#define GPIO_AF12_SDMMC1   ((uint8_t)0x0C)

#define GPIO_AF13_SAI1     ((uint8_t)0x0D)

#define GPIO_AF14_TIM2     ((uint8_t)0x0E)
#define GPIO_AF14_TIM15    ((uint8_t)0x0E)
#define GPIO_AF14_TIM16    ((uint8_t)0x0E)
#define GPIO_AF14_LPTIM2   ((uint8_t)0x0E)

#define GPIO_AF15_EVENTOUT ((uint8_t)0x0F)

#define IS_GPIO_AF(AF) ((AF) <= (uint8_t)0x0F)

/* Port index for the EXTI line selection of SYSCFG. */
#define GPIO_GET_INDEX(__GPIOx__)      \
  (((__GPIOx__) == (GPIOA))   ? 0uL    \
   : ((__GPIOx__) == (GPIOB)) ? 1uL    \
   : ((__GPIOx__) == (GPIOC)) ? 2uL    \
   : ((__GPIOx__) == (GPIOD)) ? 3uL    \
   : ((__GPIOx__) == (GPIOE)) ? 4uL    \
                              : 7uL)

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_GPIO_EX_H */
