/* HAL RTC module: calendar in the backup domain. */
#ifndef STM32L4xx_HAL_RTC_H
#define STM32L4xx_HAL_RTC_H

#include "stm32l4xx_hal_def.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  HAL_RTC_STATE_RESET = 0x00U,
  HAL_RTC_STATE_READY = 0x01U,
  HAL_RTC_STATE_BUSY = 0x02U,
  HAL_RTC_STATE_TIMEOUT = 0x03U,
  HAL_RTC_STATE_ERROR = 0x04U
} HAL_RTCStateTypeDef;

typedef struct {
  uint32_t HourFormat;     /* RTC_HOURFORMAT_24 / _12 */
  uint32_t AsynchPrediv;   /* 0..0x7F */
  uint32_t SynchPrediv;    /* 0..0x7FFF */
  uint32_t OutPut;         /* RTC_OUTPUT_x */
  uint32_t OutPutRemap;    /* RTC_OUTPUT_REMAP_x */
  uint32_t OutPutPolarity; /* RTC_OUTPUT_POLARITY_x */
  uint32_t OutPutType;     /* RTC_OUTPUT_TYPE_x */
} RTC_InitTypeDef;

typedef struct {
  uint8_t Hours;
  uint8_t Minutes;
  uint8_t Seconds;
  uint8_t TimeFormat;       /* RTC_HOURFORMAT12_AM / PM */
  uint32_t SubSeconds;      /* read only: SSR */
  uint32_t SecondFraction;  /* read only: SynchPrediv */
  uint32_t DayLightSaving;  /* RTC_DAYLIGHTSAVING_x */
  uint32_t StoreOperation;  /* RTC_STOREOPERATION_x */
} RTC_TimeTypeDef;

typedef struct {
  uint8_t WeekDay; /* RTC_WEEKDAY_x */
  uint8_t Month;   /* 1..12 (RTC_MONTH_x are the BCD values) */
  uint8_t Date;    /* 1..31 */
  uint8_t Year;    /* 0..99, years since 2000 */
} RTC_DateTypeDef;

typedef struct {
  RTC_TimeTypeDef AlarmTime;
  uint32_t AlarmMask;
  uint32_t SubSeconds; /* the RTC_SSR value to match */
  uint32_t AlarmSubSecondMask;
  uint32_t AlarmDateWeekDaySel;
  uint8_t AlarmDateWeekDay;
  uint32_t Alarm; /* RTC_ALARM_A / RTC_ALARM_B */
} RTC_AlarmTypeDef;

#if (USE_HAL_RTC_REGISTER_CALLBACKS == 1)
typedef struct __RTC_HandleTypeDef
#else
typedef struct
#endif
{
  RTC_TypeDef* Instance;
  RTC_InitTypeDef Init;
  HAL_LockTypeDef Lock;
  __IO HAL_RTCStateTypeDef State;
} RTC_HandleTypeDef;

#define RTC_HOURFORMAT_24 0x00000000U
#define RTC_HOURFORMAT_12 RTC_CR_FMT

#define RTC_OUTPUT_DISABLE 0x00000000U
#define RTC_OUTPUT_ALARMA  0x00200000U
#define RTC_OUTPUT_ALARMB  0x00400000U
#define RTC_OUTPUT_WAKEUP  0x00600000U
#define RTC_OUTPUT_REMAP_NONE 0x00000000U
#define RTC_OUTPUT_REMAP_POS1 RTC_OR_OUT_RMP
#define RTC_OUTPUT_POLARITY_HIGH 0x00000000U
#define RTC_OUTPUT_POLARITY_LOW  RTC_CR_POL
#define RTC_OUTPUT_TYPE_OPENDRAIN 0x00000000U
#define RTC_OUTPUT_TYPE_PUSHPULL  RTC_OR_ALARMOUTTYPE

#define RTC_HOURFORMAT12_AM ((uint8_t)0x00)
#define RTC_HOURFORMAT12_PM ((uint8_t)0x01)
#define RTC_DAYLIGHTSAVING_SUB1H RTC_CR_SUB1H
#define RTC_DAYLIGHTSAVING_ADD1H RTC_CR_ADD1H
#define RTC_DAYLIGHTSAVING_NONE  0x00000000U
#define RTC_STOREOPERATION_RESET 0x00000000U
#define RTC_STOREOPERATION_SET   RTC_CR_BKP

#define RTC_FORMAT_BIN 0x00000000U
#define RTC_FORMAT_BCD 0x00000001U

#define RTC_MONTH_JANUARY   ((uint8_t)0x01)
#define RTC_MONTH_FEBRUARY  ((uint8_t)0x02)
#define RTC_MONTH_MARCH     ((uint8_t)0x03)
#define RTC_MONTH_APRIL     ((uint8_t)0x04)
#define RTC_MONTH_MAY       ((uint8_t)0x05)
#define RTC_MONTH_JUNE      ((uint8_t)0x06)
#define RTC_MONTH_JULY      ((uint8_t)0x07)
#define RTC_MONTH_AUGUST    ((uint8_t)0x08)
#define RTC_MONTH_SEPTEMBER ((uint8_t)0x09)
#define RTC_MONTH_OCTOBER   ((uint8_t)0x10)
#define RTC_MONTH_NOVEMBER  ((uint8_t)0x11)
#define RTC_MONTH_DECEMBER  ((uint8_t)0x12)

#define RTC_WEEKDAY_MONDAY    ((uint8_t)0x01)
#define RTC_WEEKDAY_TUESDAY   ((uint8_t)0x02)
#define RTC_WEEKDAY_WEDNESDAY ((uint8_t)0x03)
#define RTC_WEEKDAY_THURSDAY  ((uint8_t)0x04)
#define RTC_WEEKDAY_FRIDAY    ((uint8_t)0x05)
#define RTC_WEEKDAY_SATURDAY  ((uint8_t)0x06)
#define RTC_WEEKDAY_SUNDAY    ((uint8_t)0x07)

#define RTC_ALARM_A RTC_CR_ALRAE
#define RTC_ALARM_B RTC_CR_ALRBE

#define RTC_INIT_MASK 0xFFFFFFFFU

#define __HAL_RTC_RESET_HANDLE_STATE(__HANDLE__) ((__HANDLE__)->State = HAL_RTC_STATE_RESET)
#define __HAL_RTC_WRITEPROTECTION_DISABLE(__HANDLE__) \
  do {                                                \
    (__HANDLE__)->Instance->WPR = 0xCAU;              \
    (__HANDLE__)->Instance->WPR = 0x53U;              \
  } while (0U)
#define __HAL_RTC_WRITEPROTECTION_ENABLE(__HANDLE__) \
  do {                                               \
    (__HANDLE__)->Instance->WPR = 0xFFU;             \
  } while (0U)

#include "stm32l4xx_hal_rtc_ex.h"

/* Sets up the prescalers and output. On a calendar that is already running the
 * time and date are kept. */
HAL_StatusTypeDef HAL_RTC_Init(RTC_HandleTypeDef* hrtc);
HAL_StatusTypeDef HAL_RTC_DeInit(RTC_HandleTypeDef* hrtc);
void HAL_RTC_MspInit(RTC_HandleTypeDef* hrtc);
void HAL_RTC_MspDeInit(RTC_HandleTypeDef* hrtc);

/* Format is RTC_FORMAT_BIN (plain numbers) or RTC_FORMAT_BCD (packed BCD). */
HAL_StatusTypeDef HAL_RTC_SetTime(RTC_HandleTypeDef* hrtc, RTC_TimeTypeDef* sTime, uint32_t Format);
/* Reading the time freezes the date shadow register until the date is read, so
 * HAL_RTC_GetDate must follow HAL_RTC_GetTime, as on the chip. */
HAL_StatusTypeDef HAL_RTC_GetTime(RTC_HandleTypeDef* hrtc, RTC_TimeTypeDef* sTime, uint32_t Format);
HAL_StatusTypeDef HAL_RTC_SetDate(RTC_HandleTypeDef* hrtc, RTC_DateTypeDef* sDate, uint32_t Format);
HAL_StatusTypeDef HAL_RTC_GetDate(RTC_HandleTypeDef* hrtc, RTC_DateTypeDef* sDate, uint32_t Format);
HAL_StatusTypeDef HAL_RTC_SetAlarm(RTC_HandleTypeDef* hrtc, RTC_AlarmTypeDef* sAlarm, uint32_t Format);
HAL_StatusTypeDef HAL_RTC_SetAlarm_IT(RTC_HandleTypeDef* hrtc, RTC_AlarmTypeDef* sAlarm, uint32_t Format);
HAL_StatusTypeDef HAL_RTC_DeactivateAlarm(RTC_HandleTypeDef* hrtc, uint32_t Alarm);
void HAL_RTC_AlarmIRQHandler(RTC_HandleTypeDef* hrtc);
void HAL_RTC_AlarmAEventCallback(RTC_HandleTypeDef* hrtc);
HAL_StatusTypeDef HAL_RTC_WaitForSynchro(RTC_HandleTypeDef* hrtc);
HAL_RTCStateTypeDef HAL_RTC_GetState(RTC_HandleTypeDef* hrtc);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_RTC_H */
