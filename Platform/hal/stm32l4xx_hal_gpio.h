/* HAL GPIO module. */
#ifndef STM32L4xx_HAL_GPIO_H
#define STM32L4xx_HAL_GPIO_H

#include "stm32l4xx_hal_def.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t Pin;       /* GPIO_PIN_x, may be or-ed */
  uint32_t Mode;      /* GPIO_MODE_x */
  uint32_t Pull;      /* GPIO_NOPULL, GPIO_PULLUP, GPIO_PULLDOWN */
  uint32_t Speed;     /* GPIO_SPEED_FREQ_x */
  uint32_t Alternate; /* GPIO_AFn_x, for the alternate function modes */
} GPIO_InitTypeDef;

typedef enum {
  GPIO_PIN_RESET = 0U,
  GPIO_PIN_SET
} GPIO_PinState;

#define GPIO_PIN_0   ((uint16_t)0x0001)
#define GPIO_PIN_1   ((uint16_t)0x0002)
#define GPIO_PIN_2   ((uint16_t)0x0004)
#define GPIO_PIN_3   ((uint16_t)0x0008)
#define GPIO_PIN_4   ((uint16_t)0x0010)
#define GPIO_PIN_5   ((uint16_t)0x0020)
#define GPIO_PIN_6   ((uint16_t)0x0040)
#define GPIO_PIN_7   ((uint16_t)0x0080)
#define GPIO_PIN_8   ((uint16_t)0x0100)
#define GPIO_PIN_9   ((uint16_t)0x0200)
#define GPIO_PIN_10  ((uint16_t)0x0400)
#define GPIO_PIN_11  ((uint16_t)0x0800)
#define GPIO_PIN_12  ((uint16_t)0x1000)
#define GPIO_PIN_13  ((uint16_t)0x2000)
#define GPIO_PIN_14  ((uint16_t)0x4000)
#define GPIO_PIN_15  ((uint16_t)0x8000)
#define GPIO_PIN_All ((uint16_t)0xFFFF)
#define GPIO_PIN_MASK 0x0000FFFFU

/* Mode encoding (0x00WX00YZ): Z the MODER value (bits 1-0), Y open-drain (bit 4),
 * X EXTI interrupt or event (bits 17-16), W the trigger edges (bits 22-20); bit 3
 * connects an analog pin to the ADC. */
#define GPIO_MODE_INPUT                0x00000000U
#define GPIO_MODE_OUTPUT_PP            0x00000001U
#define GPIO_MODE_OUTPUT_OD            0x00000011U
#define GPIO_MODE_AF_PP                0x00000002U
#define GPIO_MODE_AF_OD                0x00000012U
#define GPIO_MODE_ANALOG               0x00000003U
#define GPIO_MODE_ANALOG_ADC_CONTROL   0x0000000BU
#define GPIO_MODE_IT_RISING            0x00110000U
#define GPIO_MODE_IT_FALLING           0x00210000U
#define GPIO_MODE_IT_RISING_FALLING    0x00310000U
#define GPIO_MODE_EVT_RISING           0x00120000U
#define GPIO_MODE_EVT_FALLING          0x00220000U
#define GPIO_MODE_EVT_RISING_FALLING   0x00320000U

#define GPIO_SPEED_FREQ_LOW       0x00000000U
#define GPIO_SPEED_FREQ_MEDIUM    0x00000001U
#define GPIO_SPEED_FREQ_HIGH      0x00000002U
#define GPIO_SPEED_FREQ_VERY_HIGH 0x00000003U

#define GPIO_NOPULL   0x00000000U
#define GPIO_PULLUP   0x00000001U
#define GPIO_PULLDOWN 0x00000002U

#define IS_GPIO_PIN(PIN) ((((uint32_t)(PIN) & GPIO_PIN_MASK) != 0x00U) && (((uint32_t)(PIN) & ~GPIO_PIN_MASK) == 0x00U))
#define IS_GPIO_PIN_ACTION(ACTION) (((ACTION) == GPIO_PIN_RESET) || ((ACTION) == GPIO_PIN_SET))

#define __HAL_GPIO_EXTI_GET_FLAG(__EXTI_LINE__) (EXTI->PR1 & (__EXTI_LINE__))
#define __HAL_GPIO_EXTI_CLEAR_FLAG(__EXTI_LINE__) (EXTI->PR1 = (__EXTI_LINE__))
#define __HAL_GPIO_EXTI_GET_IT(__EXTI_LINE__) (EXTI->PR1 & (__EXTI_LINE__))
#define __HAL_GPIO_EXTI_CLEAR_IT(__EXTI_LINE__) (EXTI->PR1 = (__EXTI_LINE__))
#define __HAL_GPIO_EXTI_GENERATE_SWIT(__EXTI_LINE__) (EXTI->SWIER1 |= (__EXTI_LINE__))

#include "stm32l4xx_hal_gpio_ex.h"

void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* GPIO_Init);
void HAL_GPIO_DeInit(GPIO_TypeDef* GPIOx, uint32_t GPIO_Pin);
GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState);
void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
HAL_StatusTypeDef HAL_GPIO_LockPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void HAL_GPIO_EXTI_IRQHandler(uint16_t GPIO_Pin);
void HAL_GPIO_EXTI_Callback(uint16_t GPIO_Pin);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_GPIO_H */
