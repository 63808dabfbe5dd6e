// The real-time clock and the calendar setting at the first power-up.
#include "sys_rtc.h"

#include <cstring>

#include "main.h"
#include "sys_error_handler.h"
#include "sys_uart.h"

RTC_HandleTypeDef hrtc;
uint8_t Rx_data[6];
RTC_DateTypeDef __sys_rtc_date;
RTC_TimeTypeDef __sys_rtc_time;

namespace {

constexpr uint8_t kDefaultCalendar[6] = {23, 7, 4, 12, 0, 0};  // 2023-07-04 12:00:00
constexpr uint8_t kFirstYear = 22;  // a received year byte below this is not a calendar
constexpr uint32_t kPollMs = 250;

// The RTC counts from whatever it is given, an impossible date included; such bytes
// are refused rather than set.
bool calendar_valid(const uint8_t *p) {
    static const uint8_t kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const uint8_t year = p[0], month = p[1], day = p[2];
    if (year > 99 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1])
        return false;
    if (month == 2 && day == 29 && year % 4 != 0)  // 2000..2099: every fourth year is leap
        return false;
    return p[3] < 24 && p[4] < 60 && p[5] < 60;
}

void leds(GPIO_PinState s) {
    HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, s);
    HAL_GPIO_WritePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, s);
}

// The console port's receive channel runs circular for the console itself; the
// calendar's reception is a one-shot, so that it ends by itself once the six bytes
// are in (the HAL then marks the port ready) and never keeps the port busy.
void console_rx_mode(uint32_t mode) {
    DMA_HandleTypeDef *dma = huart3.hdmarx;
    if (dma == nullptr || dma->Init.Mode == mode)
        return;
    dma->Init.Mode = mode;
    HAL_DMA_Init(dma);
}

}  // namespace

// Waits up to two seconds for the six calendar bytes on the console port, both LEDs
// lit. Only a reception that has taken all six bytes is looked at: a year byte
// below 22, or bytes that are not a calendar time, are dropped and the next six
// awaited. When the window ends, a reception still running is stopped, so that the
// console's own reception can start later.
int sys_rtc_init(void) {
    hrtc.Instance = RTC;
    if (HAL_RTCEx_BKUPRead(&hrtc, RTC_BKP_DR0) == SYS_RTC_SET_MARK)
        return 0;
    const uint32_t start = HAL_GetTick();
    leds(GPIO_PIN_SET);
    const uint32_t saved_mode = huart3.hdmarx != nullptr ? huart3.hdmarx->Init.Mode : 0;
    console_rx_mode(DMA_NORMAL);
    bool receiving = false;
    bool set = false;
    for (;;) {
        if (receiving && huart3.RxState == HAL_UART_STATE_READY) {
            receiving = false;
            if (Rx_data[0] >= kFirstYear && sys_rtc_set_time(Rx_data) == 0) {
                set = true;
                break;
            }
        }
        if (!receiving && HAL_UART_Receive_DMA(&huart3, Rx_data, sizeof Rx_data) == HAL_OK)
            receiving = true;
        if (HAL_GetTick() - start > SYS_RTC_WINDOW_MS)
            break;
        HAL_Delay(kPollMs);
    }
    if (receiving)
        HAL_UART_AbortReceive(&huart3);
    console_rx_mode(saved_mode);
    if (!set)
        sys_rtc_set_time(nullptr);
    leds(GPIO_PIN_RESET);
    sys_rtc_get_time(nullptr, nullptr);
    UART5_Printf("setting_time : %02d-%02d-%02d %02d:%02d:%02d  \r\n", __sys_rtc_date.Year,
                 __sys_rtc_date.Month, __sys_rtc_date.Date, __sys_rtc_time.Hours,
                 __sys_rtc_time.Minutes, __sys_rtc_time.Seconds);
    return 0;
}

int sys_rtc_set_time(uint8_t *p) {
    if (p == nullptr) {
        std::memcpy(Rx_data, kDefaultCalendar, sizeof Rx_data);
        p = Rx_data;
    }
    if (!calendar_valid(p))
        return -1;
    hrtc.Instance = RTC;
    hrtc.Init.HourFormat = RTC_HOURFORMAT_24;
    hrtc.Init.AsynchPrediv = 127;
    hrtc.Init.SynchPrediv = 255;
    hrtc.Init.OutPut = RTC_OUTPUT_DISABLE;
    hrtc.Init.OutPutRemap = RTC_OUTPUT_REMAP_NONE;
    hrtc.Init.OutPutPolarity = RTC_OUTPUT_POLARITY_HIGH;
    hrtc.Init.OutPutType = RTC_OUTPUT_TYPE_OPENDRAIN;
    if (HAL_RTC_Init(&hrtc) != HAL_OK)
        sys_error_handler("rtc", 1);
    RTC_TimeTypeDef t = {};
    t.Hours = p[3];
    t.Minutes = p[4];
    t.Seconds = p[5];
    t.DayLightSaving = RTC_DAYLIGHTSAVING_NONE;
    t.StoreOperation = RTC_STOREOPERATION_RESET;
    if (HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BIN) != HAL_OK)
        sys_error_handler("rtc", 2);
    RTC_DateTypeDef d = {};
    d.WeekDay = RTC_WEEKDAY_MONDAY;  // nothing uses the week day
    d.Month = p[1];
    d.Date = p[2];
    d.Year = p[0];
    if (HAL_RTC_SetDate(&hrtc, &d, RTC_FORMAT_BIN) != HAL_OK)
        sys_error_handler("rtc", 3);
    HAL_RTCEx_BKUPWrite(&hrtc, RTC_BKP_DR0, SYS_RTC_SET_MARK);
    return 0;
}

int sys_rtc_get_time(RTC_DateTypeDef *date, RTC_TimeTypeDef *time) {
    if (date == nullptr) {
        date = &__sys_rtc_date;
        time = &__sys_rtc_time;
    }
    HAL_RTC_GetTime(&hrtc, time, RTC_FORMAT_BIN);
    HAL_RTC_GetDate(&hrtc, date, RTC_FORMAT_BIN);
    return 0;
}
