/* HAL TIM extension: master/slave synchronisation, break and dead time. Included
 * by stm32l4xx_hal_tim.h. */
#ifndef STM32L4xx_HAL_TIM_EX_H
#define STM32L4xx_HAL_TIM_EX_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t MasterOutputTrigger;  /* TIM_TRGO_x */
  uint32_t MasterOutputTrigger2; /* TIM_TRGO2_x */
  uint32_t MasterSlaveMode;      /* TIM_MASTERSLAVEMODE_x */
} TIM_MasterConfigTypeDef;

typedef struct {
  uint32_t OffStateRunMode;
  uint32_t OffStateIDLEMode;
  uint32_t LockLevel;
  uint32_t DeadTime;
  uint32_t BreakState;
  uint32_t BreakPolarity;
  uint32_t BreakFilter;
  uint32_t Break2State;
  uint32_t Break2Polarity;
  uint32_t Break2Filter;
  uint32_t AutomaticOutput;
} TIM_BreakDeadTimeConfigTypeDef;

#define TIM_TRGO_RESET  0x00000000U
#define TIM_TRGO_ENABLE TIM_CR2_MMS_0
#define TIM_TRGO_UPDATE TIM_CR2_MMS_1
#define TIM_TRGO_OC1    (TIM_CR2_MMS_1 | TIM_CR2_MMS_0)
#define TIM_TRGO_OC1REF TIM_CR2_MMS_2
#define TIM_TRGO_OC2REF (TIM_CR2_MMS_2 | TIM_CR2_MMS_0)
#define TIM_TRGO_OC3REF (TIM_CR2_MMS_2 | TIM_CR2_MMS_1)
#define TIM_TRGO_OC4REF (TIM_CR2_MMS_2 | TIM_CR2_MMS_1 | TIM_CR2_MMS_0)
#define TIM_TRGO2_RESET 0x00000000U

#define TIM_MASTERSLAVEMODE_ENABLE  TIM_SMCR_MSM
#define TIM_MASTERSLAVEMODE_DISABLE 0x00000000U

HAL_StatusTypeDef HAL_TIMEx_MasterConfigSynchronization(TIM_HandleTypeDef* htim,
                                                        const TIM_MasterConfigTypeDef* sMasterConfig);
HAL_StatusTypeDef HAL_TIMEx_ConfigBreakDeadTime(TIM_HandleTypeDef* htim,
                                                const TIM_BreakDeadTimeConfigTypeDef* sBreakDeadTimeConfig);
HAL_StatusTypeDef HAL_TIMEx_PWMN_Start(TIM_HandleTypeDef* htim, uint32_t Channel);
HAL_StatusTypeDef HAL_TIMEx_PWMN_Stop(TIM_HandleTypeDef* htim, uint32_t Channel);
void HAL_TIMEx_CommutCallback(TIM_HandleTypeDef* htim);
void HAL_TIMEx_BreakCallback(TIM_HandleTypeDef* htim);
void HAL_TIMEx_Break2Callback(TIM_HandleTypeDef* htim);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_TIM_EX_H */
