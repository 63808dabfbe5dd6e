// Calendar time stamps of the logs.
#include "btime.h"

#include <cstdio>
#include <ctime>

#include "sys_rtc.h"

char __btime_date_time_string[32];

namespace {

constexpr uint32_t kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr uint32_t kDaysTo1970 = 719162;  // day number of 1970-01-01 from 0001-01-01

bool leap(uint32_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

// Unsigned 32-bit arithmetic throughout; a month outside 1..12 (never read from the
// RTC) counts no days before it rather than reading outside the table.
btime_t datetime2unixtime(RTC_DateTypeDef *date, RTC_TimeTypeDef *time) {
    const uint32_t y = date->Year + 2000u;
    const uint32_t m = date->Month - 1u;
    uint32_t days = (y - 1) * 365u + (y - 1) / 4u - (y - 1) / 100u + (y - 1) / 400u +
                    (m < 12 ? kDaysBeforeMonth[m] : 0u);
    if (m >= 2 && m < 12 && leap(y))
        ++days;
    days = days + (date->Date - 1u) - kDaysTo1970;
    return days * 86400u + time->Hours * 3600u + time->Minutes * 60u + time->Seconds;
}

btime_t unixtime(RTC_DateTypeDef *date, RTC_TimeTypeDef *time) {
    if (date == nullptr) {
        date = &__sys_rtc_date;
        time = &__sys_rtc_time;
    }
    sys_rtc_get_time(date, time);
    return datetime2unixtime(date, time);
}

void unixtime2datetime(btime_t t, RTC_DateTypeDef *date, RTC_TimeTypeDef *time) {
    const time_t when = static_cast<time_t>(t);
    const struct tm *tm = std::gmtime(&when);
    date->Year = static_cast<uint8_t>(tm->tm_year - 100);
    date->Month = static_cast<uint8_t>(tm->tm_mon + 1);
    date->Date = static_cast<uint8_t>(tm->tm_mday);
    time->Hours = static_cast<uint8_t>(tm->tm_hour);
    time->Minutes = static_cast<uint8_t>(tm->tm_min);
    time->Seconds = static_cast<uint8_t>(tm->tm_sec);
}

char *MakeDateTimeString(RTC_DateTypeDef *date, RTC_TimeTypeDef *time) {
    std::snprintf(__btime_date_time_string, sizeof __btime_date_time_string, EXFLASH_TIME_FORMAT,
                  date->Year + 2000, date->Month, date->Date, time->Hours, time->Minutes,
                  time->Seconds);
    return __btime_date_time_string;
}

char *unixtime2string(btime_t t) {
    unixtime2datetime(t, &__sys_rtc_date, &__sys_rtc_time);
    return MakeDateTimeString(&__sys_rtc_date, &__sys_rtc_time);
}

char *GetCurrentDateTimeString(void) {
    sys_rtc_get_time(nullptr, nullptr);
    return MakeDateTimeString(&__sys_rtc_date, &__sys_rtc_time);
}
