#pragma once
// Calendar time stamps of the logs: conversions between the RTC's calendar records
// and seconds since 1970-01-01 00:00:00 of the RTC's own local time, and the one
// text buffer every date-time text is formatted into (valid until the next call).
#include "exflash_format.h"
#include "stm32l4xx_hal.h"

extern char __btime_date_time_string[32];

// Reads the RTC into the records (the module's records when `date` is null) and
// converts them.
btime_t unixtime(RTC_DateTypeDef *date, RTC_TimeTypeDef *time);
btime_t datetime2unixtime(RTC_DateTypeDef *date, RTC_TimeTypeDef *time);
void unixtime2datetime(btime_t t, RTC_DateTypeDef *date, RTC_TimeTypeDef *time);
// Converts into the module's records (overwriting the last reading) and formats.
char *unixtime2string(btime_t t);
// Reads the RTC into the module's records and formats.
char *GetCurrentDateTimeString(void);
char *MakeDateTimeString(RTC_DateTypeDef *date, RTC_TimeTypeDef *time);
