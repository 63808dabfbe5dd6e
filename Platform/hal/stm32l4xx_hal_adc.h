/* HAL ADC module: regular conversions, polling and interrupt modes. */
#ifndef STM32L4xx_HAL_ADC_H
#define STM32L4xx_HAL_ADC_H

#include "stm32l4xx_hal_def.h"
#include "stm32l4xx_hal_dma.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t Ratio;                 /* ADC_OVERSAMPLING_RATIO_x */
  uint32_t RightBitShift;         /* ADC_RIGHTBITSHIFT_x */
  uint32_t TriggeredMode;
  uint32_t OversamplingStopReset;
} ADC_OversamplingTypeDef;

typedef struct {
  uint32_t ClockPrescaler;        /* ADC_CLOCK_x */
  uint32_t Resolution;            /* ADC_RESOLUTION_x */
  uint32_t DataAlign;             /* ADC_DATAALIGN_x */
  uint32_t ScanConvMode;          /* ADC_SCAN_x */
  uint32_t EOCSelection;          /* ADC_EOC_SINGLE_CONV / ADC_EOC_SEQ_CONV */
  FunctionalState LowPowerAutoWait;
  FunctionalState ContinuousConvMode;
  uint32_t NbrOfConversion;       /* 1..16 */
  FunctionalState DiscontinuousConvMode;
  uint32_t NbrOfDiscConversion;
  uint32_t ExternalTrigConv;      /* ADC_SOFTWARE_START or a trigger */
  uint32_t ExternalTrigConvEdge;
  FunctionalState DMAContinuousRequests;
  uint32_t Overrun;               /* ADC_OVR_DATA_PRESERVED / OVERWRITTEN */
  FunctionalState OversamplingMode;
  ADC_OversamplingTypeDef Oversampling;
} ADC_InitTypeDef;

typedef struct {
  uint32_t Channel;      /* ADC_CHANNEL_x */
  uint32_t Rank;         /* ADC_REGULAR_RANK_x */
  uint32_t SamplingTime; /* ADC_SAMPLETIME_x */
  uint32_t SingleDiff;   /* ADC_SINGLE_ENDED / ADC_DIFFERENTIAL_ENDED */
  uint32_t OffsetNumber; /* ADC_OFFSET_NONE or ADC_OFFSET_x */
  uint32_t Offset;
} ADC_ChannelConfTypeDef;

typedef struct {
  uint32_t ContextQueue;
  uint32_t ChannelCount;
} ADC_InjectionConfigTypeDef;

#if (USE_HAL_ADC_REGISTER_CALLBACKS == 1)
typedef struct __ADC_HandleTypeDef
#else
typedef struct
#endif
{
  ADC_TypeDef* Instance;
  ADC_InitTypeDef Init;
  DMA_HandleTypeDef* DMA_Handle;
  HAL_LockTypeDef Lock;
  __IO uint32_t State;     /* HAL_ADC_STATE_x, or-ed */
  __IO uint32_t ErrorCode; /* HAL_ADC_ERROR_x */
  ADC_InjectionConfigTypeDef InjectionConfig;
} ADC_HandleTypeDef;

#define HAL_ADC_STATE_RESET           0x00000000U
#define HAL_ADC_STATE_READY           0x00000001U
#define HAL_ADC_STATE_BUSY_INTERNAL   0x00000002U
#define HAL_ADC_STATE_TIMEOUT         0x00000004U
#define HAL_ADC_STATE_ERROR_INTERNAL  0x00000010U
#define HAL_ADC_STATE_ERROR_CONFIG    0x00000020U
#define HAL_ADC_STATE_ERROR_DMA       0x00000040U
#define HAL_ADC_STATE_REG_BUSY        0x00000100U
#define HAL_ADC_STATE_REG_EOC         0x00000200U
#define HAL_ADC_STATE_REG_OVR         0x00000400U
#define HAL_ADC_STATE_REG_EOSMP       0x00000800U
#define HAL_ADC_STATE_INJ_BUSY        0x00001000U
#define HAL_ADC_STATE_INJ_EOC         0x00002000U
#define HAL_ADC_STATE_INJ_JQOVF       0x00004000U
#define HAL_ADC_STATE_AWD1            0x00010000U
#define HAL_ADC_STATE_AWD2            0x00020000U
#define HAL_ADC_STATE_AWD3            0x00040000U
#define HAL_ADC_STATE_MULTIMODE_SLAVE 0x00100000U

#define HAL_ADC_ERROR_NONE     0x00U
#define HAL_ADC_ERROR_INTERNAL 0x01U
#define HAL_ADC_ERROR_OVR      0x02U
#define HAL_ADC_ERROR_DMA      0x04U
#define HAL_ADC_ERROR_JQOVF    0x08U

#define ADC_CLOCK_SYNC_PCLK_DIV1 ADC_CCR_CKMODE_0
#define ADC_CLOCK_SYNC_PCLK_DIV2 ADC_CCR_CKMODE_1
#define ADC_CLOCK_SYNC_PCLK_DIV4 ADC_CCR_CKMODE
#define ADC_CLOCK_ASYNC_DIV1   0x00000000U
#define ADC_CLOCK_ASYNC_DIV2   (0x1U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV4   (0x2U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV6   (0x3U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV8   (0x4U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV10  (0x5U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV12  (0x6U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV16  (0x7U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV32  (0x8U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV64  (0x9U << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV128 (0xAU << ADC_CCR_PRESC_Pos)
#define ADC_CLOCK_ASYNC_DIV256 (0xBU << ADC_CCR_PRESC_Pos)

#define ADC_RESOLUTION_12B 0x00000000U
#define ADC_RESOLUTION_10B ADC_CFGR_RES_0
#define ADC_RESOLUTION_8B  ADC_CFGR_RES_1
#define ADC_RESOLUTION_6B  ADC_CFGR_RES

#define ADC_DATAALIGN_RIGHT 0x00000000U
#define ADC_DATAALIGN_LEFT  ADC_CFGR_ALIGN

#define ADC_SCAN_DISABLE 0x00000000U
#define ADC_SCAN_ENABLE  0x00000001U

#define ADC_EOC_SINGLE_CONV ADC_ISR_EOC
#define ADC_EOC_SEQ_CONV    ADC_ISR_EOS

#define ADC_SOFTWARE_START 0x00000000U
#define ADC_EXTERNALTRIGCONVEDGE_NONE          0x00000000U
#define ADC_EXTERNALTRIGCONVEDGE_RISING        ADC_CFGR_EXTEN_0
#define ADC_EXTERNALTRIGCONVEDGE_FALLING       ADC_CFGR_EXTEN_1
#define ADC_EXTERNALTRIGCONVEDGE_RISINGFALLING ADC_CFGR_EXTEN

#define ADC_OVR_DATA_PRESERVED   0x00000000U
#define ADC_OVR_DATA_OVERWRITTEN ADC_CFGR_OVRMOD

/* Channel identifiers: bits 30-26 the channel number, bit 25 the sampling-time
 * register (0 SMPR1, 1 SMPR2), bits 24-20 the sampling-time field position, bits
 * 18-0 the channel as a one-hot bit; bit 31 marks internal channels. */
#define ADC_CHANNEL_0  0x00000001U
#define ADC_CHANNEL_1  0x04300002U
#define ADC_CHANNEL_2  0x08600004U
#define ADC_CHANNEL_3  0x0C900008U
#define ADC_CHANNEL_4  0x10C00010U
#define ADC_CHANNEL_5  0x14F00020U
#define ADC_CHANNEL_6  0x19200040U
#define ADC_CHANNEL_7  0x1D500080U
#define ADC_CHANNEL_8  0x21800100U
#define ADC_CHANNEL_9  0x25B00200U
#define ADC_CHANNEL_10 0x2A000400U
#define ADC_CHANNEL_11 0x2E300800U
#define ADC_CHANNEL_12 0x32601000U
#define ADC_CHANNEL_13 0x36902000U
#define ADC_CHANNEL_14 0x3AC04000U
#define ADC_CHANNEL_15 0x3EF08000U
#define ADC_CHANNEL_16 0x43210000U
#define ADC_CHANNEL_17 0x47520000U
#define ADC_CHANNEL_18 0x4B840000U
#define ADC_CHANNEL_ID_INTERNAL_CH 0x80000000U
#define ADC_CHANNEL_VREFINT    (ADC_CHANNEL_0 | ADC_CHANNEL_ID_INTERNAL_CH)
#define ADC_CHANNEL_TEMPSENSOR (ADC_CHANNEL_17 | ADC_CHANNEL_ID_INTERNAL_CH)
#define ADC_CHANNEL_VBAT       (ADC_CHANNEL_18 | ADC_CHANNEL_ID_INTERNAL_CH)
#define __HAL_ADC_CHANNEL_TO_DECIMAL_NB(__CHANNEL__) (((__CHANNEL__) >> 26U) & 0x1FU)

/* Regular ranks: bits 7-0 the field position, bits 9-8 the SQR register index. */
#define ADC_REGULAR_RANK_1  ((0U << 8U) | 6U)
#define ADC_REGULAR_RANK_2  ((0U << 8U) | 12U)
#define ADC_REGULAR_RANK_3  ((0U << 8U) | 18U)
#define ADC_REGULAR_RANK_4  ((0U << 8U) | 24U)
#define ADC_REGULAR_RANK_5  ((1U << 8U) | 0U)
#define ADC_REGULAR_RANK_6  ((1U << 8U) | 6U)
#define ADC_REGULAR_RANK_7  ((1U << 8U) | 12U)
#define ADC_REGULAR_RANK_8  ((1U << 8U) | 18U)
#define ADC_REGULAR_RANK_9  ((1U << 8U) | 24U)
#define ADC_REGULAR_RANK_10 ((2U << 8U) | 0U)
#define ADC_REGULAR_RANK_11 ((2U << 8U) | 6U)
#define ADC_REGULAR_RANK_12 ((2U << 8U) | 12U)
#define ADC_REGULAR_RANK_13 ((2U << 8U) | 18U)
#define ADC_REGULAR_RANK_14 ((2U << 8U) | 24U)
#define ADC_REGULAR_RANK_15 ((3U << 8U) | 0U)
#define ADC_REGULAR_RANK_16 ((3U << 8U) | 6U)

#define ADC_SAMPLETIME_2CYCLES_5   0x00000000U
#define ADC_SAMPLETIME_6CYCLES_5   0x00000001U
#define ADC_SAMPLETIME_12CYCLES_5  0x00000002U
#define ADC_SAMPLETIME_24CYCLES_5  0x00000003U
#define ADC_SAMPLETIME_47CYCLES_5  0x00000004U
#define ADC_SAMPLETIME_92CYCLES_5  0x00000005U
#define ADC_SAMPLETIME_247CYCLES_5 0x00000006U
#define ADC_SAMPLETIME_640CYCLES_5 0x00000007U

#define ADC_SINGLE_ENDED       0x0000007FU
#define ADC_DIFFERENTIAL_ENDED (ADC_CR_ADCALDIF | 0x007F0000U)

#define ADC_OFFSET_1    0x00000000U
#define ADC_OFFSET_2    0x00000001U
#define ADC_OFFSET_3    0x00000002U
#define ADC_OFFSET_4    0x00000003U
#define ADC_OFFSET_NONE (ADC_OFFSET_4 + 1U)

#define ADC_OVERSAMPLING_RATIO_2   0x00000000U
#define ADC_OVERSAMPLING_RATIO_4   0x00000004U
#define ADC_OVERSAMPLING_RATIO_8   0x00000008U
#define ADC_OVERSAMPLING_RATIO_16  0x0000000CU
#define ADC_RIGHTBITSHIFT_NONE     0x00000000U
#define ADC_TRIGGEREDMODE_SINGLE_TRIGGER 0x00000000U
#define ADC_REGOVERSAMPLING_CONTINUED_MODE ADC_CFGR2_ROVSE

#define ADC_FLAG_RDY   ADC_ISR_ADRDY
#define ADC_FLAG_EOSMP ADC_ISR_EOSMP
#define ADC_FLAG_EOC   ADC_ISR_EOC
#define ADC_FLAG_EOS   ADC_ISR_EOS
#define ADC_FLAG_OVR   ADC_ISR_OVR
#define ADC_FLAG_JEOC  ADC_ISR_JEOC
#define ADC_FLAG_JEOS  ADC_ISR_JEOS
#define ADC_FLAG_AWD1  ADC_ISR_AWD1
#define ADC_FLAG_AWD2  ADC_ISR_AWD2
#define ADC_FLAG_AWD3  ADC_ISR_AWD3
#define ADC_FLAG_JQOVF ADC_ISR_JQOVF

#define ADC_IT_RDY   ADC_IER_ADRDYIE
#define ADC_IT_EOSMP ADC_IER_EOSMPIE
#define ADC_IT_EOC   ADC_IER_EOCIE
#define ADC_IT_EOS   ADC_IER_EOSIE
#define ADC_IT_OVR   ADC_IER_OVRIE

#define __HAL_ADC_RESET_HANDLE_STATE(__HANDLE__) ((__HANDLE__)->State = HAL_ADC_STATE_RESET)
#define __HAL_ADC_ENABLE_IT(__HANDLE__, __INTERRUPT__) (((__HANDLE__)->Instance->IER) |= (__INTERRUPT__))
#define __HAL_ADC_DISABLE_IT(__HANDLE__, __INTERRUPT__) (((__HANDLE__)->Instance->IER) &= ~(__INTERRUPT__))
#define __HAL_ADC_GET_IT_SOURCE(__HANDLE__, __INTERRUPT__) \
  (((__HANDLE__)->Instance->IER & (__INTERRUPT__)) == (__INTERRUPT__))
#define __HAL_ADC_GET_FLAG(__HANDLE__, __FLAG__) ((((__HANDLE__)->Instance->ISR) & (__FLAG__)) == (__FLAG__))
/* ISR flags clear by writing 1. */
#define __HAL_ADC_CLEAR_FLAG(__HANDLE__, __FLAG__) (((__HANDLE__)->Instance->ISR) = (__FLAG__))

#include "stm32l4xx_hal_adc_ex.h"

HAL_StatusTypeDef HAL_ADC_Init(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_DeInit(ADC_HandleTypeDef* hadc);
void HAL_ADC_MspInit(ADC_HandleTypeDef* hadc);
void HAL_ADC_MspDeInit(ADC_HandleTypeDef* hadc);

HAL_StatusTypeDef HAL_ADC_Start(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_Stop(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_PollForConversion(ADC_HandleTypeDef* hadc, uint32_t Timeout);
HAL_StatusTypeDef HAL_ADC_PollForEvent(ADC_HandleTypeDef* hadc, uint32_t EventType, uint32_t Timeout);
/* Starts one conversion (in single mode) whose end raises the ADC1 interrupt;
 * HAL_ADC_IRQHandler then calls HAL_ADC_ConvCpltCallback. A conversion already
 * running answers HAL_BUSY. */
HAL_StatusTypeDef HAL_ADC_Start_IT(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_Stop_IT(ADC_HandleTypeDef* hadc);
HAL_StatusTypeDef HAL_ADC_Start_DMA(ADC_HandleTypeDef* hadc, uint32_t* pData, uint32_t Length);
HAL_StatusTypeDef HAL_ADC_Stop_DMA(ADC_HandleTypeDef* hadc);
/* The last conversion result (a read of DR, which also clears EOC). */
uint32_t HAL_ADC_GetValue(const ADC_HandleTypeDef* hadc);

void HAL_ADC_IRQHandler(ADC_HandleTypeDef* hadc);
void HAL_ADC_ConvCpltCallback(ADC_HandleTypeDef* hadc);
void HAL_ADC_ConvHalfCpltCallback(ADC_HandleTypeDef* hadc);
void HAL_ADC_LevelOutOfWindowCallback(ADC_HandleTypeDef* hadc);
void HAL_ADC_ErrorCallback(ADC_HandleTypeDef* hadc);

HAL_StatusTypeDef HAL_ADC_ConfigChannel(ADC_HandleTypeDef* hadc, const ADC_ChannelConfTypeDef* sConfig);
uint32_t HAL_ADC_GetState(const ADC_HandleTypeDef* hadc);
uint32_t HAL_ADC_GetError(const ADC_HandleTypeDef* hadc);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_ADC_H */
