/* HAL PWR extension: voltage scaling, stop 2 and shutdown, standby pull
 * configuration. Included by stm32l4xx_hal_pwr.h. */
#ifndef STM32L4xx_HAL_PWR_EX_H
#define STM32L4xx_HAL_PWR_EX_H

#ifdef __cplusplus
extern "C" {
#endif

#define PWR_REGULATOR_VOLTAGE_SCALE1 PWR_CR1_VOS_0
#define PWR_REGULATOR_VOLTAGE_SCALE2 PWR_CR1_VOS_1

#define PWR_GPIO_A 0x00000000U
#define PWR_GPIO_B 0x00000001U
#define PWR_GPIO_C 0x00000002U
#define PWR_GPIO_D 0x00000003U
#define PWR_GPIO_E 0x00000004U
#define PWR_GPIO_H 0x00000007U

#define PWR_GPIO_BIT_0  0x00000001U /* bits 0..15 of PUCRx/PDCRx */
#define PWR_GPIO_BIT_1  0x00000002U
#define PWR_GPIO_BIT_2  0x00000004U
#define PWR_GPIO_BIT_3  0x00000008U
#define PWR_GPIO_BIT_4  0x00000010U
#define PWR_GPIO_BIT_5  0x00000020U
#define PWR_GPIO_BIT_6  0x00000040U
#define PWR_GPIO_BIT_7  0x00000080U
#define PWR_GPIO_BIT_8  0x00000100U
#define PWR_GPIO_BIT_9  0x00000200U
#define PWR_GPIO_BIT_10 0x00000400U
#define PWR_GPIO_BIT_11 0x00000800U
#define PWR_GPIO_BIT_12 0x00001000U
#define PWR_GPIO_BIT_13 0x00002000U
#define PWR_GPIO_BIT_14 0x00004000U
#define PWR_GPIO_BIT_15 0x00008000U

uint32_t HAL_PWREx_GetVoltageRange(void);
/* Sets the core voltage range and waits for the regulator (HAL_TIMEOUT when it
 * does not settle). */
HAL_StatusTypeDef HAL_PWREx_ControlVoltageScaling(uint32_t VoltageScaling);
void HAL_PWREx_EnableBatteryCharging(uint32_t ResistorSelection);
void HAL_PWREx_DisableBatteryCharging(void);
void HAL_PWREx_EnableInternalWakeUpLine(void);
void HAL_PWREx_DisableInternalWakeUpLine(void);
HAL_StatusTypeDef HAL_PWREx_EnableGPIOPullUp(uint32_t GPIO, uint32_t GPIONumber);
HAL_StatusTypeDef HAL_PWREx_DisableGPIOPullUp(uint32_t GPIO, uint32_t GPIONumber);
HAL_StatusTypeDef HAL_PWREx_EnableGPIOPullDown(uint32_t GPIO, uint32_t GPIONumber);
HAL_StatusTypeDef HAL_PWREx_DisableGPIOPullDown(uint32_t GPIO, uint32_t GPIONumber);
void HAL_PWREx_EnablePullUpPullDownConfig(void);
void HAL_PWREx_DisablePullUpPullDownConfig(void);
void HAL_PWREx_EnableSRAM2ContentRetention(void);
void HAL_PWREx_DisableSRAM2ContentRetention(void);
void HAL_PWREx_EnableLowPowerRunMode(void);
HAL_StatusTypeDef HAL_PWREx_DisableLowPowerRunMode(void);
void HAL_PWREx_EnterSTOP0Mode(uint8_t STOPEntry);
void HAL_PWREx_EnterSTOP1Mode(uint8_t STOPEntry);
void HAL_PWREx_EnterSTOP2Mode(uint8_t STOPEntry);
void HAL_PWREx_EnterSHUTDOWNMode(void);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_PWR_EX_H */
