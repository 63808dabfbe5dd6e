/* HAL TIM module: time base, output compare/PWM, clock source, interrupts. */
#ifndef STM32L4xx_HAL_TIM_H
#define STM32L4xx_HAL_TIM_H

#include "stm32l4xx_hal_def.h"
#include "stm32l4xx_hal_dma.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t Prescaler;         /* PSC, 0..0xFFFF */
  uint32_t CounterMode;       /* TIM_COUNTERMODE_x */
  uint32_t Period;            /* ARR */
  uint32_t ClockDivision;     /* TIM_CLOCKDIVISION_x */
  uint32_t RepetitionCounter; /* RCR, advanced timers only */
  uint32_t AutoReloadPreload; /* TIM_AUTORELOAD_PRELOAD_x */
} TIM_Base_InitTypeDef;

typedef struct {
  uint32_t OCMode;       /* TIM_OCMODE_x */
  uint32_t Pulse;        /* CCRx */
  uint32_t OCPolarity;   /* TIM_OCPOLARITY_x */
  uint32_t OCNPolarity;  /* TIM_OCNPOLARITY_x */
  uint32_t OCFastMode;   /* TIM_OCFAST_x */
  uint32_t OCIdleState;  /* TIM_OCIDLESTATE_x */
  uint32_t OCNIdleState; /* TIM_OCNIDLESTATE_x */
} TIM_OC_InitTypeDef;

typedef struct {
  uint32_t ClockSource;    /* TIM_CLOCKSOURCE_x */
  uint32_t ClockPolarity;  /* TIM_CLOCKPOLARITY_x */
  uint32_t ClockPrescaler; /* TIM_CLOCKPRESCALER_x */
  uint32_t ClockFilter;    /* 0..0xF */
} TIM_ClockConfigTypeDef;

typedef enum {
  HAL_TIM_ACTIVE_CHANNEL_1 = 0x01U,
  HAL_TIM_ACTIVE_CHANNEL_2 = 0x02U,
  HAL_TIM_ACTIVE_CHANNEL_3 = 0x04U,
  HAL_TIM_ACTIVE_CHANNEL_4 = 0x08U,
  HAL_TIM_ACTIVE_CHANNEL_5 = 0x10U,
  HAL_TIM_ACTIVE_CHANNEL_6 = 0x20U,
  HAL_TIM_ACTIVE_CHANNEL_CLEARED = 0x00U
} HAL_TIM_ActiveChannel;

typedef enum {
  HAL_TIM_STATE_RESET = 0x00U,
  HAL_TIM_STATE_READY = 0x01U,
  HAL_TIM_STATE_BUSY = 0x02U,
  HAL_TIM_STATE_TIMEOUT = 0x03U,
  HAL_TIM_STATE_ERROR = 0x04U
} HAL_TIM_StateTypeDef;

typedef enum {
  HAL_TIM_CHANNEL_STATE_RESET = 0x00U,
  HAL_TIM_CHANNEL_STATE_READY = 0x01U,
  HAL_TIM_CHANNEL_STATE_BUSY = 0x02U
} HAL_TIM_ChannelStateTypeDef;

typedef enum {
  HAL_DMA_BURST_STATE_RESET = 0x00U,
  HAL_DMA_BURST_STATE_READY = 0x01U,
  HAL_DMA_BURST_STATE_BUSY = 0x02U
} HAL_TIM_DMABurstStateTypeDef;

#if (USE_HAL_TIM_REGISTER_CALLBACKS == 1)
typedef struct __TIM_HandleTypeDef
#else
typedef struct
#endif
{
  TIM_TypeDef* Instance;
  TIM_Base_InitTypeDef Init;
  HAL_TIM_ActiveChannel Channel; /* the channel whose event is being handled */
  DMA_HandleTypeDef* hdma[7];
  HAL_LockTypeDef Lock;
  __IO HAL_TIM_StateTypeDef State;
  __IO HAL_TIM_ChannelStateTypeDef ChannelState[6];
  __IO HAL_TIM_ChannelStateTypeDef ChannelNState[4];
  __IO HAL_TIM_DMABurstStateTypeDef DMABurstState;
} TIM_HandleTypeDef;

#define TIM_COUNTERMODE_UP             0x00000000U
#define TIM_COUNTERMODE_DOWN           TIM_CR1_DIR
#define TIM_COUNTERMODE_CENTERALIGNED1 TIM_CR1_CMS_0
#define TIM_COUNTERMODE_CENTERALIGNED2 TIM_CR1_CMS_1
#define TIM_COUNTERMODE_CENTERALIGNED3 TIM_CR1_CMS

#define TIM_CLOCKDIVISION_DIV1 0x00000000U
#define TIM_CLOCKDIVISION_DIV2 TIM_CR1_CKD_0
#define TIM_CLOCKDIVISION_DIV4 TIM_CR1_CKD_1

#define TIM_AUTORELOAD_PRELOAD_DISABLE 0x00000000U
#define TIM_AUTORELOAD_PRELOAD_ENABLE  TIM_CR1_ARPE

#define TIM_CLOCKSOURCE_ETRMODE2 TIM_SMCR_ETPS_1
#define TIM_CLOCKSOURCE_INTERNAL TIM_SMCR_ETPS_0
#define TIM_CLOCKSOURCE_ITR0     0x00000000U
#define TIM_CLOCKSOURCE_ITR1     TIM_SMCR_TS_0
#define TIM_CLOCKSOURCE_ITR2     TIM_SMCR_TS_1
#define TIM_CLOCKSOURCE_ITR3     (TIM_SMCR_TS_0 | TIM_SMCR_TS_1)
#define TIM_CLOCKSOURCE_TI1ED    TIM_SMCR_TS_2
#define TIM_CLOCKSOURCE_TI1      (TIM_SMCR_TS_0 | TIM_SMCR_TS_2)
#define TIM_CLOCKSOURCE_TI2      (TIM_SMCR_TS_1 | TIM_SMCR_TS_2)
#define TIM_CLOCKSOURCE_ETRMODE1 TIM_SMCR_TS

#define TIM_CLOCKPOLARITY_INVERTED    TIM_SMCR_ETP
#define TIM_CLOCKPOLARITY_NONINVERTED 0x00000000U
#define TIM_CLOCKPOLARITY_RISING      0x00000000U
#define TIM_CLOCKPOLARITY_FALLING     TIM_CCER_CC1P
#define TIM_CLOCKPRESCALER_DIV1       0x00000000U

#define TIM_OCMODE_TIMING          0x00000000U
#define TIM_OCMODE_ACTIVE          TIM_CCMR1_OC1M_0
#define TIM_OCMODE_INACTIVE        TIM_CCMR1_OC1M_1
#define TIM_OCMODE_TOGGLE          (TIM_CCMR1_OC1M_1 | TIM_CCMR1_OC1M_0)
#define TIM_OCMODE_PWM1            (TIM_CCMR1_OC1M_2 | TIM_CCMR1_OC1M_1)
#define TIM_OCMODE_PWM2            (TIM_CCMR1_OC1M_2 | TIM_CCMR1_OC1M_1 | TIM_CCMR1_OC1M_0)
#define TIM_OCMODE_FORCED_ACTIVE   (TIM_CCMR1_OC1M_2 | TIM_CCMR1_OC1M_0)
#define TIM_OCMODE_FORCED_INACTIVE TIM_CCMR1_OC1M_2

#define TIM_OCPOLARITY_HIGH  0x00000000U
#define TIM_OCPOLARITY_LOW   TIM_CCER_CC1P
#define TIM_OCNPOLARITY_HIGH 0x00000000U
#define TIM_OCNPOLARITY_LOW  TIM_CCER_CC1NP
#define TIM_OCFAST_DISABLE   0x00000000U
#define TIM_OCFAST_ENABLE    TIM_CCMR1_OC1FE
#define TIM_OCIDLESTATE_SET    TIM_CR2_OIS1
#define TIM_OCIDLESTATE_RESET  0x00000000U
#define TIM_OCNIDLESTATE_SET   TIM_CR2_OIS1N
#define TIM_OCNIDLESTATE_RESET 0x00000000U

#define TIM_CHANNEL_1   0x00000000U
#define TIM_CHANNEL_2   0x00000004U
#define TIM_CHANNEL_3   0x00000008U
#define TIM_CHANNEL_4   0x0000000CU
#define TIM_CHANNEL_5   0x00000010U
#define TIM_CHANNEL_6   0x00000014U
#define TIM_CHANNEL_ALL 0x0000003CU

#define TIM_IT_UPDATE  TIM_DIER_UIE
#define TIM_IT_CC1     TIM_DIER_CC1IE
#define TIM_IT_CC2     TIM_DIER_CC2IE
#define TIM_IT_CC3     TIM_DIER_CC3IE
#define TIM_IT_CC4     TIM_DIER_CC4IE
#define TIM_IT_COM     TIM_DIER_COMIE
#define TIM_IT_TRIGGER TIM_DIER_TIE
#define TIM_IT_BREAK   TIM_DIER_BIE

#define TIM_FLAG_UPDATE  TIM_SR_UIF
#define TIM_FLAG_CC1     TIM_SR_CC1IF
#define TIM_FLAG_CC2     TIM_SR_CC2IF
#define TIM_FLAG_CC3     TIM_SR_CC3IF
#define TIM_FLAG_CC4     TIM_SR_CC4IF
#define TIM_FLAG_COM     TIM_SR_COMIF
#define TIM_FLAG_TRIGGER TIM_SR_TIF
#define TIM_FLAG_BREAK   TIM_SR_BIF

#define TIM_EVENTSOURCE_UPDATE TIM_EGR_UG

#define TIM_CCx_ENABLE  0x00000001U
#define TIM_CCx_DISABLE 0x00000000U

#define __HAL_TIM_RESET_HANDLE_STATE(__HANDLE__)                   \
  do {                                                             \
    (__HANDLE__)->State = HAL_TIM_STATE_RESET;                     \
    (__HANDLE__)->ChannelState[0] = HAL_TIM_CHANNEL_STATE_RESET;   \
    (__HANDLE__)->ChannelState[1] = HAL_TIM_CHANNEL_STATE_RESET;   \
    (__HANDLE__)->ChannelState[2] = HAL_TIM_CHANNEL_STATE_RESET;   \
    (__HANDLE__)->ChannelState[3] = HAL_TIM_CHANNEL_STATE_RESET;   \
    (__HANDLE__)->ChannelState[4] = HAL_TIM_CHANNEL_STATE_RESET;   \
    (__HANDLE__)->ChannelState[5] = HAL_TIM_CHANNEL_STATE_RESET;   \
    (__HANDLE__)->ChannelNState[0] = HAL_TIM_CHANNEL_STATE_RESET;  \
    (__HANDLE__)->ChannelNState[1] = HAL_TIM_CHANNEL_STATE_RESET;  \
    (__HANDLE__)->ChannelNState[2] = HAL_TIM_CHANNEL_STATE_RESET;  \
    (__HANDLE__)->ChannelNState[3] = HAL_TIM_CHANNEL_STATE_RESET;  \
    (__HANDLE__)->DMABurstState = HAL_DMA_BURST_STATE_RESET;       \
  } while (0)
#define __HAL_TIM_ENABLE(__HANDLE__) ((__HANDLE__)->Instance->CR1 |= (TIM_CR1_CEN))
/* The counter stops only when no channel output is enabled any more. */
#define __HAL_TIM_DISABLE(__HANDLE__)                                    \
  do {                                                                   \
    if (((__HANDLE__)->Instance->CCER & TIM_CCER_CCxE_MASK) == 0UL) {    \
      if (((__HANDLE__)->Instance->CCER & TIM_CCER_CCxNE_MASK) == 0UL) { \
        (__HANDLE__)->Instance->CR1 &= ~(TIM_CR1_CEN);                   \
      }                                                                  \
    }                                                                    \
  } while (0)
#define __HAL_TIM_ENABLE_IT(__HANDLE__, __INTERRUPT__) ((__HANDLE__)->Instance->DIER |= (__INTERRUPT__))
#define __HAL_TIM_DISABLE_IT(__HANDLE__, __INTERRUPT__) ((__HANDLE__)->Instance->DIER &= ~(__INTERRUPT__))
#define __HAL_TIM_GET_FLAG(__HANDLE__, __FLAG__) (((__HANDLE__)->Instance->SR & (__FLAG__)) == (__FLAG__))
/* SR bits clear by writing 0; writing 1 leaves them. */
#define __HAL_TIM_CLEAR_FLAG(__HANDLE__, __FLAG__) ((__HANDLE__)->Instance->SR = ~(__FLAG__))
#define __HAL_TIM_GET_IT_SOURCE(__HANDLE__, __INTERRUPT__) \
  ((((__HANDLE__)->Instance->DIER & (__INTERRUPT__)) == (__INTERRUPT__)) ? SET : RESET)
#define __HAL_TIM_CLEAR_IT(__HANDLE__, __INTERRUPT__) ((__HANDLE__)->Instance->SR = ~(__INTERRUPT__))
#define __HAL_TIM_IS_TIM_COUNTING_DOWN(__HANDLE__) (((__HANDLE__)->Instance->CR1 & (TIM_CR1_DIR)) == (TIM_CR1_DIR))
#define __HAL_TIM_SET_PRESCALER(__HANDLE__, __PRESC__) ((__HANDLE__)->Instance->PSC = (__PRESC__))
#define __HAL_TIM_SET_COUNTER(__HANDLE__, __COUNTER__) ((__HANDLE__)->Instance->CNT = (__COUNTER__))
#define __HAL_TIM_GET_COUNTER(__HANDLE__) ((__HANDLE__)->Instance->CNT)
/* Writes ARR and keeps the handle's set-up in step with it. */
#define __HAL_TIM_SET_AUTORELOAD(__HANDLE__, __AUTORELOAD__) \
  do {                                                       \
    (__HANDLE__)->Instance->ARR = (__AUTORELOAD__);          \
    (__HANDLE__)->Init.Period = (__AUTORELOAD__);            \
  } while (0)
#define __HAL_TIM_GET_AUTORELOAD(__HANDLE__) ((__HANDLE__)->Instance->ARR)
#define __HAL_TIM_SET_CLOCKDIVISION(__HANDLE__, __CKD__)  \
  do {                                                    \
    (__HANDLE__)->Instance->CR1 &= (~TIM_CR1_CKD);        \
    (__HANDLE__)->Instance->CR1 |= (__CKD__);             \
    (__HANDLE__)->Init.ClockDivision = (__CKD__);         \
  } while (0)
#define __HAL_TIM_GET_CLOCKDIVISION(__HANDLE__) ((__HANDLE__)->Instance->CR1 & TIM_CR1_CKD)
#define __HAL_TIM_SET_COMPARE(__HANDLE__, __CHANNEL__, __COMPARE__)                    \
  (((__CHANNEL__) == TIM_CHANNEL_1)   ? ((__HANDLE__)->Instance->CCR1 = (__COMPARE__)) \
   : ((__CHANNEL__) == TIM_CHANNEL_2) ? ((__HANDLE__)->Instance->CCR2 = (__COMPARE__)) \
   : ((__CHANNEL__) == TIM_CHANNEL_3) ? ((__HANDLE__)->Instance->CCR3 = (__COMPARE__)) \
   : ((__CHANNEL__) == TIM_CHANNEL_4) ? ((__HANDLE__)->Instance->CCR4 = (__COMPARE__)) \
   : ((__CHANNEL__) == TIM_CHANNEL_5) ? ((__HANDLE__)->Instance->CCR5 = (__COMPARE__)) \
                                      : ((__HANDLE__)->Instance->CCR6 = (__COMPARE__)))
#define __HAL_TIM_GET_COMPARE(__HANDLE__, __CHANNEL__)              \
  (((__CHANNEL__) == TIM_CHANNEL_1)   ? ((__HANDLE__)->Instance->CCR1) \
   : ((__CHANNEL__) == TIM_CHANNEL_2) ? ((__HANDLE__)->Instance->CCR2) \
   : ((__CHANNEL__) == TIM_CHANNEL_3) ? ((__HANDLE__)->Instance->CCR3) \
   : ((__CHANNEL__) == TIM_CHANNEL_4) ? ((__HANDLE__)->Instance->CCR4) \
   : ((__CHANNEL__) == TIM_CHANNEL_5) ? ((__HANDLE__)->Instance->CCR5) \
                                      : ((__HANDLE__)->Instance->CCR6))
#define __HAL_TIM_ENABLE_OCxPRELOAD(__HANDLE__, __CHANNEL__)                               \
  (((__CHANNEL__) == TIM_CHANNEL_1)   ? ((__HANDLE__)->Instance->CCMR1 |= TIM_CCMR1_OC1PE) \
   : ((__CHANNEL__) == TIM_CHANNEL_2) ? ((__HANDLE__)->Instance->CCMR1 |= TIM_CCMR1_OC2PE) \
   : ((__CHANNEL__) == TIM_CHANNEL_3) ? ((__HANDLE__)->Instance->CCMR2 |= TIM_CCMR2_OC3PE) \
   : ((__CHANNEL__) == TIM_CHANNEL_4) ? ((__HANDLE__)->Instance->CCMR2 |= TIM_CCMR2_OC4PE) \
   : ((__CHANNEL__) == TIM_CHANNEL_5) ? ((__HANDLE__)->Instance->CCMR3 |= TIM_CCMR3_OC5PE) \
                                      : ((__HANDLE__)->Instance->CCMR3 |= TIM_CCMR3_OC6PE))
#define __HAL_TIM_URS_ENABLE(__HANDLE__) ((__HANDLE__)->Instance->CR1 |= TIM_CR1_URS)
#define __HAL_TIM_URS_DISABLE(__HANDLE__) ((__HANDLE__)->Instance->CR1 &= ~TIM_CR1_URS)

#include "stm32l4xx_hal_tim_ex.h"

/* Time base */
HAL_StatusTypeDef HAL_TIM_Base_Init(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_DeInit(TIM_HandleTypeDef* htim);
void HAL_TIM_Base_MspInit(TIM_HandleTypeDef* htim);
void HAL_TIM_Base_MspDeInit(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Start(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_Base_Stop(TIM_HandleTypeDef* htim);
/* Starts the counter with its update interrupt. A timer that is not READY (not
 * initialised, or already started) answers HAL_ERROR. */
HAL_StatusTypeDef HAL_TIM_Base_Start_IT(TIM_HandleTypeDef* htim);
/* Disables the update interrupt and stops the counter; harmless on a timer that
 * never ran. A handle that was never initialised (Instance not set) is left
 * alone and the call answers HAL_OK: the firmware stops timers it never set up
 * on its terminal paths, and the vendor HAL would write through a null pointer. */
HAL_StatusTypeDef HAL_TIM_Base_Stop_IT(TIM_HandleTypeDef* htim);

/* Output compare */
HAL_StatusTypeDef HAL_TIM_OC_Init(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_OC_DeInit(TIM_HandleTypeDef* htim);
void HAL_TIM_OC_MspInit(TIM_HandleTypeDef* htim);
void HAL_TIM_OC_MspDeInit(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_OC_Start(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_OC_Stop(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_OC_ConfigChannel(TIM_HandleTypeDef* htim, const TIM_OC_InitTypeDef* sConfig,
                                           uint32_t Channel);

/* PWM */
HAL_StatusTypeDef HAL_TIM_PWM_Init(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_PWM_DeInit(TIM_HandleTypeDef* htim);
void HAL_TIM_PWM_MspInit(TIM_HandleTypeDef* htim);
void HAL_TIM_PWM_MspDeInit(TIM_HandleTypeDef* htim);
HAL_StatusTypeDef HAL_TIM_PWM_Start(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_PWM_Stop(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_PWM_Start_IT(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_PWM_Stop_IT(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIM_PWM_ConfigChannel(TIM_HandleTypeDef* htim, const TIM_OC_InitTypeDef* sConfig,
                                            uint32_t Channel);

/* Control */
HAL_StatusTypeDef HAL_TIM_ConfigClockSource(TIM_HandleTypeDef* htim, const TIM_ClockConfigTypeDef* sClockSourceConfig);
HAL_StatusTypeDef HAL_TIM_GenerateEvent(TIM_HandleTypeDef* htim, uint32_t EventSource);

/* Interrupt handling and callbacks (weak in the HAL, overridden by the firmware). */
void HAL_TIM_IRQHandler(TIM_HandleTypeDef* htim);
void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef* htim);
void HAL_TIM_PeriodElapsedHalfCpltCallback(TIM_HandleTypeDef* htim);
void HAL_TIM_OC_DelayElapsedCallback(TIM_HandleTypeDef* htim);
void HAL_TIM_IC_CaptureCallback(TIM_HandleTypeDef* htim);
void HAL_TIM_PWM_PulseFinishedCallback(TIM_HandleTypeDef* htim);
void HAL_TIM_TriggerCallback(TIM_HandleTypeDef* htim);
void HAL_TIM_ErrorCallback(TIM_HandleTypeDef* htim);

HAL_TIM_StateTypeDef HAL_TIM_Base_GetState(const TIM_HandleTypeDef* htim);
HAL_TIM_StateTypeDef HAL_TIM_OC_GetState(const TIM_HandleTypeDef* htim);
HAL_TIM_StateTypeDef HAL_TIM_PWM_GetState(const TIM_HandleTypeDef* htim);
HAL_TIM_ActiveChannel HAL_TIM_GetActiveChannel(const TIM_HandleTypeDef* htim);
HAL_TIM_ChannelStateTypeDef HAL_TIM_GetChannelState(const TIM_HandleTypeDef* htim, uint32_t Channel);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_TIM_H */
