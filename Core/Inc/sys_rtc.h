#pragma once
// The real-time clock: the calendar is set once per backup-domain power-up (six
// bytes on the console within 2 s of start-up, or a default) and read by the logs.
// Backup register 0 holds SYS_RTC_SET_MARK once the calendar has been set.
#include <cstdint>

#include "stm32l4xx_hal.h"

constexpr uint32_t SYS_RTC_SET_MARK = 0x32F2;
constexpr uint32_t SYS_RTC_WINDOW_MS = 2000;  // calendar bytes accepted this long after start

extern RTC_HandleTypeDef hrtc;
// Calendar as received or defaulted: year - 2000, month, day, hour, minute, second.
extern uint8_t Rx_data[6];
extern RTC_DateTypeDef __sys_rtc_date;
extern RTC_TimeTypeDef __sys_rtc_time;

int sys_rtc_init(void);
// Sets the calendar from six bytes as in Rx_data, or the default (2023-07-04
// 12:00:00) for null: 0, or -1 (RTC untouched) when the bytes are not a calendar
// time the RTC can count from.
int sys_rtc_set_time(uint8_t *p);
// Reads the time, then the date; a null date selects both module records.
int sys_rtc_get_time(RTC_DateTypeDef *date, RTC_TimeTypeDef *time);
