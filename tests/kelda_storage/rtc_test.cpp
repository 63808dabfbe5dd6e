// The calendar: conversions of the logs' time stamps, and the setting at the first
// power-up from six console bytes within 2 s, or the default.
#include "btime.h"
#include "main.h"
#include "support.h"
#include "sys_rtc.h"
#include "sys_uart.h"

namespace {

using ks::kMs;

TEST(Calendar, ConversionsBothWays) {
    struct Row {
        uint8_t y, mo, d, h, mi, s;
        btime_t t;
    } rows[] = {
        {0, 1, 1, 0, 0, 0, 946684800},    {24, 2, 29, 23, 59, 59, 1709251199},
        {24, 3, 1, 0, 0, 0, 1709251200},  {99, 12, 31, 23, 59, 59, 4102444799},
        {23, 7, 4, 12, 0, 0, 1688472000}, {23, 2, 28, 12, 0, 1, 1677585601},
    };
    for (const Row &r : rows) {
        RTC_DateTypeDef d = {RTC_WEEKDAY_MONDAY, r.mo, r.d, r.y};
        RTC_TimeTypeDef t = {};
        t.Hours = r.h;
        t.Minutes = r.mi;
        t.Seconds = r.s;
        EXPECT_EQ(datetime2unixtime(&d, &t), r.t)
            << int(r.y) << '-' << int(r.mo) << '-' << int(r.d);
        RTC_DateTypeDef d2 = {};
        RTC_TimeTypeDef t2 = {};
        unixtime2datetime(r.t, &d2, &t2);
        EXPECT_TRUE(d2.Year == r.y && d2.Month == r.mo && d2.Date == r.d && t2.Hours == r.h &&
                    t2.Minutes == r.mi && t2.Seconds == r.s)
            << r.t;
    }
    EXPECT_STREQ(unixtime2string(1688472000), "2023-07-04 12:00:00");
}

// Console bytes given as numbers (a calendar's seconds byte is often 0), at `ms`.
sim::ScenarioEvent bytes(sim::Time ms, std::initializer_list<int> values) {
    return fixture::console_bytes(ms * kMs, std::string(values.begin(), values.end()));
}

class FirstPowerUp : public ks::Board {};

// Six bytes within the window set the calendar; only complete six-byte receptions
// count; a year byte below 22 is waited past; nothing gives the default. Whatever
// happened, the console's own reception can start afterwards.
TEST_F(FirstPowerUp, SixBytesWithinTwoSecondsOrTheDefault) {
    struct Row {
        const char *what;
        std::vector<sim::ScenarioEvent> events;
        const char *printed;  // the calendar as the console shows it
        sim::Time max_ms;
    };
    const char *kDefault = "23-07-04 12:00:00";
    const std::vector<Row> rows = {
        {"six bytes at 300 ms", {bytes(300, {24, 3, 1, 9, 30, 0})}, "24-03-01 09:30:00", 600},
        {"nothing", {}, kDefault, 2300},
        {"a year byte of 21, then a good calendar",
         {bytes(100, {21, 3, 1, 9, 30, 0}), bytes(900, {25, 1, 2, 3, 4, 5})},
         "25-01-02 03:04:05",
         1300},
        {"three bytes only", {bytes(300, {24, 3, 1})}, kDefault, 2300},
        {"three bytes at 1.9 s, the rest after the window",
         {bytes(1900, {24, 3, 1}), bytes(2400, {9, 30, 0})},
         kDefault,
         2300},
        {"month 13 is not a calendar", {bytes(300, {24, 13, 1, 9, 30, 0})}, kDefault, 2300},
    };
    for (const Row &row : rows) {
        fresh();
        bool console_starts = false;  // the console's own reception after the window
        uint32_t mark = 0;
        sim::Time took = 0;
        const auto out = cycle(
            [&] {
                ks::bring_up();
                const sim::Time t0 = sim::board().now();
                sys_rtc_init();
                took = sim::board().now() - t0;
                static uint8_t byte;
                console_starts = HAL_UART_Receive_DMA(&huart3, &byte, 1) == HAL_OK;
                mark = HAL_RTCEx_BKUPRead(&hrtc, RTC_BKP_DR0);
            },
            4000 * kMs, "", row.events);
        EXPECT_EQ(out.console, "setting_time : " + std::string(row.printed) + "  \r\n") << row.what;
        EXPECT_TRUE(console_starts) << row.what << ": the console port stays busy";
        EXPECT_EQ(mark, SYS_RTC_SET_MARK) << row.what;
        EXPECT_LE(took, row.max_ms * kMs) << row.what;
    }
}

}  // namespace
