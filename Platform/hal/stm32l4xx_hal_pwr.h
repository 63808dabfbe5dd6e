/* HAL PWR module: backup domain access, low-power modes, wake-up pins. */
#ifndef STM32L4xx_HAL_PWR_H
#define STM32L4xx_HAL_PWR_H

#include "stm32l4xx_hal_def.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t PVDLevel; /* PWR_PVDLEVEL_x */
  uint32_t Mode;     /* PWR_PVD_MODE_x */
} PWR_PVDTypeDef;

#define PWR_PVDLEVEL_0 0x00000000U
#define PWR_PVDLEVEL_1 0x00000002U
#define PWR_PVDLEVEL_2 0x00000004U
#define PWR_PVDLEVEL_3 0x00000006U
#define PWR_PVDLEVEL_4 0x00000008U
#define PWR_PVDLEVEL_5 0x0000000AU
#define PWR_PVDLEVEL_6 0x0000000CU
#define PWR_PVDLEVEL_7 0x0000000EU

#define PWR_PVD_MODE_NORMAL               0x00000000U
#define PWR_PVD_MODE_IT_RISING            0x00010001U
#define PWR_PVD_MODE_IT_FALLING           0x00010002U
#define PWR_PVD_MODE_IT_RISING_FALLING    0x00010003U
#define PWR_PVD_MODE_EVENT_RISING         0x00020001U
#define PWR_PVD_MODE_EVENT_FALLING        0x00020002U
#define PWR_PVD_MODE_EVENT_RISING_FALLING 0x00020003U

#define PWR_MAINREGULATOR_ON     0x00000000U
#define PWR_LOWPOWERREGULATOR_ON PWR_CR1_LPR
#define PWR_SLEEPENTRY_WFI ((uint8_t)0x01)
#define PWR_SLEEPENTRY_WFE ((uint8_t)0x02)
#define PWR_STOPENTRY_WFI  ((uint8_t)0x01)
#define PWR_STOPENTRY_WFE  ((uint8_t)0x02)

/* Wake-up pins: the low bits enable the pin (CR3), the bits shifted by
 * PWR_WUP_POLARITY_SHIFT select its polarity (CR4). */
#define PWR_WUP_POLARITY_SHIFT 0x05
#define PWR_WAKEUP_PIN1 PWR_CR3_EWUP1
#define PWR_WAKEUP_PIN2 PWR_CR3_EWUP2
#define PWR_WAKEUP_PIN3 PWR_CR3_EWUP3
#define PWR_WAKEUP_PIN4 PWR_CR3_EWUP4
#define PWR_WAKEUP_PIN5 PWR_CR3_EWUP5
#define PWR_WAKEUP_PIN1_HIGH PWR_CR3_EWUP1
#define PWR_WAKEUP_PIN2_HIGH PWR_CR3_EWUP2
#define PWR_WAKEUP_PIN3_HIGH PWR_CR3_EWUP3
#define PWR_WAKEUP_PIN4_HIGH PWR_CR3_EWUP4
#define PWR_WAKEUP_PIN5_HIGH PWR_CR3_EWUP5
#define PWR_WAKEUP_PIN1_LOW ((PWR_CR4_WP1 << PWR_WUP_POLARITY_SHIFT) | PWR_CR3_EWUP1)
#define PWR_WAKEUP_PIN2_LOW ((PWR_CR4_WP2 << PWR_WUP_POLARITY_SHIFT) | PWR_CR3_EWUP2)
#define PWR_WAKEUP_PIN3_LOW ((PWR_CR4_WP3 << PWR_WUP_POLARITY_SHIFT) | PWR_CR3_EWUP3)
#define PWR_WAKEUP_PIN4_LOW ((PWR_CR4_WP4 << PWR_WUP_POLARITY_SHIFT) | PWR_CR3_EWUP4)
#define PWR_WAKEUP_PIN5_LOW ((PWR_CR4_WP5 << PWR_WUP_POLARITY_SHIFT) | PWR_CR3_EWUP5)

/* Flags: bits 7-5 the register (1 SR1, 2 SR2), bits 4-0 the bit; PWR_FLAG_WU
 * (the SR1 wake-up bits themselves) stands for all five wake-up flags. */
#define PWR_FLAG_WUF1   ((uint32_t)0x0020)
#define PWR_FLAG_WUF2   ((uint32_t)0x0021)
#define PWR_FLAG_WUF3   ((uint32_t)0x0022)
#define PWR_FLAG_WUF4   ((uint32_t)0x0023)
#define PWR_FLAG_WUF5   ((uint32_t)0x0024)
#define PWR_FLAG_WU     PWR_SR1_WUF
#define PWR_FLAG_SB     ((uint32_t)0x0028)
#define PWR_FLAG_WUFI   ((uint32_t)0x002F)
#define PWR_FLAG_REGLPS ((uint32_t)0x0048)
#define PWR_FLAG_REGLPF ((uint32_t)0x0049)
#define PWR_FLAG_VOSF   ((uint32_t)0x004A)
#define PWR_FLAG_PVDO   ((uint32_t)0x004B)

/* The flag's own bit of SR1 or SR2 (not 0 or 1). */
#define __HAL_PWR_GET_FLAG(__FLAG__)                                \
  (((((uint8_t)(__FLAG__)) >> 5U) == 1) ? (PWR->SR1 & (1U << ((__FLAG__) & 31U))) \
                                         : (PWR->SR2 & (1U << ((__FLAG__) & 31U))))
/* PWR_FLAG_WU clears all five wake-up flags at once. */
#define __HAL_PWR_CLEAR_FLAG(__FLAG__)                                       \
  ((((uint8_t)(__FLAG__)) == PWR_FLAG_WU) ? (PWR->SCR = (__FLAG__))          \
                                           : (PWR->SCR = (1U << ((__FLAG__) & 31U))))

void HAL_PWR_DeInit(void);
void HAL_PWR_EnableBkUpAccess(void);
void HAL_PWR_DisableBkUpAccess(void);
HAL_StatusTypeDef HAL_PWR_ConfigPVD(PWR_PVDTypeDef* sConfigPVD);
void HAL_PWR_EnablePVD(void);
void HAL_PWR_DisablePVD(void);
void HAL_PWR_EnableWakeUpPin(uint32_t WakeUpPinPolarity);
void HAL_PWR_DisableWakeUpPin(uint32_t WakeUpPinx);
void HAL_PWR_EnterSLEEPMode(uint32_t Regulator, uint8_t SLEEPEntry);
void HAL_PWR_EnterSTOPMode(uint32_t Regulator, uint8_t STOPEntry);
/* Enters standby. Only a reset or an enabled wake-up source leaves it, and both
 * restart the device from reset, so on the chip the call does not return; the
 * simulator ends the power cycle here. */
void HAL_PWR_EnterSTANDBYMode(void);
void HAL_PWR_EnableSleepOnExit(void);
void HAL_PWR_DisableSleepOnExit(void);
void HAL_PWR_EnableSEVOnPend(void);
void HAL_PWR_DisableSEVOnPend(void);
void HAL_PWR_PVDCallback(void);

#include "stm32l4xx_hal_pwr_ex.h"

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_PWR_H */
