/* HAL RTC extension: backup registers, wake-up timer, shadow bypass. Included by
 * stm32l4xx_hal_rtc.h. */
#ifndef STM32L4xx_HAL_RTC_EX_H
#define STM32L4xx_HAL_RTC_EX_H

#ifdef __cplusplus
extern "C" {
#endif

#define RTC_BKP_DR0  0x00U
#define RTC_BKP_DR1  0x01U
#define RTC_BKP_DR2  0x02U
#define RTC_BKP_DR3  0x03U
#define RTC_BKP_DR4  0x04U
#define RTC_BKP_DR5  0x05U
#define RTC_BKP_DR6  0x06U
#define RTC_BKP_DR7  0x07U
#define RTC_BKP_DR8  0x08U
#define RTC_BKP_DR9  0x09U
#define RTC_BKP_DR10 0x0AU
#define RTC_BKP_DR11 0x0BU
#define RTC_BKP_DR12 0x0CU
#define RTC_BKP_DR13 0x0DU
#define RTC_BKP_DR14 0x0EU
#define RTC_BKP_DR15 0x0FU
#define RTC_BKP_DR16 0x10U
#define RTC_BKP_DR17 0x11U
#define RTC_BKP_DR18 0x12U
#define RTC_BKP_DR19 0x13U
#define RTC_BKP_DR20 0x14U
#define RTC_BKP_DR21 0x15U
#define RTC_BKP_DR22 0x16U
#define RTC_BKP_DR23 0x17U
#define RTC_BKP_DR24 0x18U
#define RTC_BKP_DR25 0x19U
#define RTC_BKP_DR26 0x1AU
#define RTC_BKP_DR27 0x1BU
#define RTC_BKP_DR28 0x1CU
#define RTC_BKP_DR29 0x1DU
#define RTC_BKP_DR30 0x1EU
#define RTC_BKP_DR31 0x1FU

#define RTC_WAKEUPCLOCK_RTCCLK_DIV16   0x00000000U
#define RTC_WAKEUPCLOCK_CK_SPRE_16BITS 0x00000004U

/* Backup registers survive resets and standby while the backup domain is
 * powered. Writing needs backup-domain access (HAL_PWR_EnableBkUpAccess). */
void HAL_RTCEx_BKUPWrite(RTC_HandleTypeDef* hrtc, uint32_t BackupRegister, uint32_t Data);
uint32_t HAL_RTCEx_BKUPRead(RTC_HandleTypeDef* hrtc, uint32_t BackupRegister);
HAL_StatusTypeDef HAL_RTCEx_SetWakeUpTimer_IT(RTC_HandleTypeDef* hrtc, uint32_t WakeUpCounter,
                                              uint32_t WakeUpClock);
HAL_StatusTypeDef HAL_RTCEx_DeactivateWakeUpTimer(RTC_HandleTypeDef* hrtc);
void HAL_RTCEx_WakeUpTimerIRQHandler(RTC_HandleTypeDef* hrtc);
void HAL_RTCEx_WakeUpTimerEventCallback(RTC_HandleTypeDef* hrtc);
HAL_StatusTypeDef HAL_RTCEx_EnableBypassShadow(RTC_HandleTypeDef* hrtc);
HAL_StatusTypeDef HAL_RTCEx_DisableBypassShadow(RTC_HandleTypeDef* hrtc);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_RTC_EX_H */
