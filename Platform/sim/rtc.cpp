// The RTC of the simulated chip: the calendar counting on virtual time from the
// 32.768 kHz LSE, the HAL's binary and BCD formats, the backup registers, and the
// backup domain kept in the board directory's backup.txt, the calendar advanced by
// the time the board stayed without power (the backup domain runs on its own
// supply).
//
// As on the chip (RM0394, RTC chapter):
// - the calendar counts while the RTC is enabled with the LSE as its clock and the
//   LSE on (RCC_BDCR, part of the backup domain and kept with it); a second is
//   (PREDIV_A + 1)(PREDIV_S + 1) LSE cycles and the subsecond register counts down
//   from PREDIV_S once per (PREDIV_A + 1) cycles;
// - backup domain writes need PWR_CR1.DBP: without it backup register writes are
//   ignored, and initialisation mode is never entered, so HAL_RTC_Init,
//   _SetTime and _SetDate time out after the HAL's 1000 ms, as they do when the RTC
//   clock does not run;
// - entering initialisation mode and the shadow register synchronisation each
//   take two RTC clock cycles; the prescalers restart when initialisation mode
//   ends;
// - reading the time locks the date shadow register until the date is read (so
//   HAL_RTC_GetDate must follow HAL_RTC_GetTime), unless BYPSHAD is set;
// - HAL_RTC_Init leaves a calendar that is already initialised (year not 0) alone.
// Alarms, the wake-up timer, time stamps, tamper and smooth calibration are not
// modelled; their HAL calls halt the board. RTC clocks other than the LSE halt it too.
#include <cstdio>
#include <string>

#include "board_dir.h"
#include "sim/hal_timeout.h"
#include "sim/handle.h"
#include "sim/storage_models.h"
#include "stm32l4xx_hal.h"

namespace sim {

namespace {

constexpr std::uint64_t kLseHz = 32768;
constexpr std::uint32_t kRtcTimeoutMs = 1000;  // the vendor HAL's RTC_TIMEOUT_VALUE
constexpr std::uint64_t kSyncCycles = 2;       // RTC clock cycles to INITF or RSF
constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::uint32_t kDaysPerCentury =
    36525;  // the RTC's years 00..99, every fourth a leap year

std::uint8_t to_bcd(unsigned v) {
    return static_cast<std::uint8_t>(((v / 10u) << 4) | (v % 10u));
}
unsigned from_bcd(unsigned v) {
    return (v >> 4) * 10u + (v & 0xFu);
}
bool valid_bcd(unsigned v) {
    return (v & 0xFu) <= 9u && (v >> 4) <= 9u;
}

unsigned days_in_month(unsigned year, unsigned month) {
    static const std::uint8_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && year % 4 == 0 ? 29u : days[month - 1];
}

// Calendar counters, 24-hour.
struct Calendar {
    unsigned year = 0, month = 1, day = 1, weekday = 1;
    std::uint32_t second_of_day = 0;

    std::uint32_t day_index() const {
        std::uint32_t d = 365u * year + (year + 3u) / 4u;
        for (unsigned m = 1; m < month; ++m) d += days_in_month(year, m);
        return d + day - 1u;
    }
    void set_day_index(std::uint32_t d) {
        year = 0;
        while (d >= (year % 4 == 0 ? 366u : 365u)) d -= year++ % 4 == 0 ? 366u : 365u;
        month = 1;
        while (d >= days_in_month(year, month)) d -= days_in_month(year, month++);
        day = d + 1u;
    }
    void advance(std::uint64_t seconds) {
        const std::uint64_t total = second_of_day + seconds;
        const std::uint64_t days = total / kSecondsPerDay;
        second_of_day = static_cast<std::uint32_t>(total % kSecondsPerDay);
        set_day_index(static_cast<std::uint32_t>((day_index() + days) % kDaysPerCentury));
        weekday = static_cast<unsigned>((weekday - 1u + days) % 7u) + 1u;
    }
};

class Rtc final : public Board::Model {
  public:
    explicit Rtc(Board &b) : b_(b) { b_.add_watcher(*this); }

    // RTCEN, the clock source and the LSE are bits of RCC->BDCR, which firmware
    // writes directly (`__HAL_RCC_RTC_ENABLE`): the calendar stops or starts where
    // the write is seen, not at the next RTC call.
    void watch() override {
        if (RCC_regs.BDCR == seen_bdcr_)
            return;
        seen_bdcr_ = RCC_regs.BDCR;
        sync(false);
    }

    void install(StorageRig &rig, Time unpowered_ns) {
        rig_ = &rig;
        const BackupDomain &d = rig.dir().backup_domain();
        for (std::size_t i = 0; i < BackupDomain::kRegisterCount; ++i) bkp(i) = d.bkp[i];
        cal_.year = d.year;
        cal_.month = d.month;
        cal_.day = d.day;
        cal_.weekday = d.weekday;
        cal_.second_of_day = d.hours * 3600u + d.minutes * 60u + d.seconds;
        prediv_a_ = d.prediv_a;
        prediv_s_ = d.prediv_s;
        RTC_regs.PRER = (prediv_a_ << RTC_PRER_PREDIV_A_Pos) | prediv_s_;
        RTC_regs.CR = d.hour_format_12 ? RTC_CR_FMT : 0u;
        RCC_regs.BDCR = d.rcc_bdcr | ((d.rcc_bdcr & RCC_BDCR_LSEON) ? RCC_BDCR_LSERDY : 0u);
        running_ = clock_runs(false);
        // The calendar ran on through the time without power if its clock did.
        start_second(d.subsecond_ns + (running_ ? unpowered_ns : 0), 0);
        publish_flags();
    }

    void reset_domain() {
        for (std::size_t i = 0; i < BackupDomain::kRegisterCount; ++i) bkp(i) = 0;
        cal_ = Calendar{};
        prediv_a_ = 127;
        prediv_s_ = 255;
        RTC_regs.PRER = (prediv_a_ << RTC_PRER_PREDIV_A_Pos) | prediv_s_;
        RTC_regs.CR = 0;
        running_ = false;
        frozen_ns_ = 0;
        second_start_ = static_cast<std::int64_t>(b_.now());
        publish_flags();
    }

    volatile std::uint32_t &bkp(std::size_t i) { return (&RTC_regs.BKP0R)[i]; }

    bool write_access() const { return (PWR_regs.CR1 & PWR_CR1_DBP) != 0; }

    // The RTC clock runs: enabled, from the LSE, with the LSE on. Another clock
    // halts the board when the firmware uses the RTC with it (`firmware_call`).
    bool clock_runs(bool firmware_call) {
        const std::uint32_t bdcr = RCC_regs.BDCR;
        if (!(bdcr & RCC_BDCR_RTCEN))
            return false;
        const std::uint32_t sel = bdcr & RCC_BDCR_RTCSEL;
        if (sel == RCC_BDCR_RTCSEL_0)
            return (bdcr & RCC_BDCR_LSEON) != 0;
        if (sel != 0u && firmware_call)
            b_.halt("an RTC clock other than the LSE (RCC_BDCR.RTCSEL) is not modelled");
        return false;
    }

    // Brings the calendar to now: it stands still while its clock does not run.
    void sync(bool firmware_call = true) {
        const bool runs = clock_runs(firmware_call);
        if (runs == running_)
            return;
        if (running_) {
            std::uint64_t sub = 0;
            cal_ = at(b_.now(), sub);
            frozen_ns_ = sub;
        } else {
            second_start_ =
                static_cast<std::int64_t>(b_.now()) - static_cast<std::int64_t>(frozen_ns_);
        }
        running_ = runs;
    }

    // Calendar at `t`, and the time since its second began.
    Calendar at(Time t, std::uint64_t &sub_ns) const {
        if (!running_) {
            sub_ns = frozen_ns_;
            return cal_;
        }
        const auto elapsed =
            static_cast<std::uint64_t>(static_cast<std::int64_t>(t) - second_start_);
        const std::uint64_t per_second = cycles_per_second();
        const std::uint64_t cycles = static_cast<std::uint64_t>(
            static_cast<unsigned __int128>(elapsed) * kLseHz / 1000000000u);
        const std::uint64_t seconds = cycles / per_second;
        sub_ns = elapsed - scaled_ceil(seconds * per_second, 1000000000u, kLseHz);
        Calendar c = cal_;
        c.advance(seconds);
        return c;
    }

    std::uint32_t subsecond_register(std::uint64_t sub_ns) const {
        const std::uint64_t cycles = static_cast<std::uint64_t>(
            static_cast<unsigned __int128>(sub_ns) * kLseHz / 1000000000u);
        const std::uint64_t steps = cycles / (prediv_a_ + 1u);
        return steps > prediv_s_ ? 0u : prediv_s_ - static_cast<std::uint32_t>(steps);
    }

    std::uint64_t cycles_per_second() const {
        return std::uint64_t{prediv_a_ + 1u} * (prediv_s_ + 1u);
    }

    // The calendar's second began `sub_ns` ago (whole seconds in it are counted
    // into the calendar first).
    void start_second(std::uint64_t sub_ns, Time now) {
        const std::uint64_t per_second = cycles_per_second();
        const std::uint64_t cycles = static_cast<std::uint64_t>(
            static_cast<unsigned __int128>(sub_ns) * kLseHz / 1000000000u);
        const std::uint64_t seconds = cycles / per_second;
        cal_.advance(seconds);
        const std::uint64_t rest = sub_ns - scaled_ceil(seconds * per_second, 1000000000u, kLseHz);
        frozen_ns_ = rest;
        second_start_ = static_cast<std::int64_t>(now) - static_cast<std::int64_t>(rest);
    }

    // The calendar counters as TR and DR show them.
    std::uint32_t time_register(const Calendar &c) const {
        unsigned h = c.second_of_day / 3600u;
        const unsigned m = c.second_of_day / 60u % 60u;
        const unsigned s = c.second_of_day % 60u;
        std::uint32_t pm = 0;
        if (RTC_regs.CR & RTC_CR_FMT) {
            pm = h >= 12u ? RTC_TR_PM : 0u;
            h = h % 12u == 0u ? 12u : h % 12u;
        }
        return pm | (std::uint32_t{to_bcd(h)} << 16) | (std::uint32_t{to_bcd(m)} << 8) | to_bcd(s);
    }
    static std::uint32_t date_register(const Calendar &c) {
        return (std::uint32_t{to_bcd(c.year)} << 16) |
               (std::uint32_t{c.weekday} << RTC_DR_WDU_Pos) |
               (std::uint32_t{to_bcd(c.month)} << 8) | to_bcd(c.day);
    }

    void publish_flags() {
        RTC_regs.ISR =
            (RTC_regs.ISR & ~RTC_ISR_INITS) | (cal_.year != 0 ? RTC_ISR_INITS : 0u) | RTC_ISR_RSF;
    }

    // Entering initialisation mode: two RTC clock cycles, or never without write
    // access or a running clock; the vendor's wait gives up after 1000 ms.
    HAL_StatusTypeDef enter_init(RTC_HandleTypeDef *h, const char *call) {
        sync();
        const std::uint32_t tickstart = HAL_GetTick();
        const Time ready = write_access() && running_ ? b_.now() + sync_time() : kNever;
        if (!hal_wait_until(ready, tickstart, kRtcTimeoutMs, call)) {
            h->State = HAL_RTC_STATE_TIMEOUT;
            return HAL_TIMEOUT;
        }
        std::uint64_t sub = 0;
        cal_ = at(b_.now(), sub);  // counting stops while in initialisation mode
        return HAL_OK;
    }
    // Leaving it: the prescalers restart (if it was entered), then the shadow
    // registers synchronise.
    HAL_StatusTypeDef exit_init(bool entered, const char *call) {
        if (entered)
            start_second(0, b_.now());
        publish_flags();
        return wait_for_synchro(call);
    }
    HAL_StatusTypeDef wait_for_synchro(const char *call) {
        sync();
        if (RTC_regs.CR & RTC_CR_BYPSHAD)
            return HAL_OK;
        const std::uint32_t tickstart = HAL_GetTick();
        const Time ready = running_ ? b_.now() + sync_time() : kNever;
        return hal_wait_until(ready, tickstart, kRtcTimeoutMs, call) ? HAL_OK : HAL_TIMEOUT;
    }
    static Time sync_time() { return scaled_ceil(kSyncCycles, 1000000000u, kLseHz); }

    void trace_set(const char *what) {
        if (!b_.trace().enabled())
            return;
        char buf[32];
        std::snprintf(buf, sizeof buf, "20%02u-%02u-%02u %02u:%02u:%02u", cal_.year, cal_.month,
                      cal_.day, cal_.second_of_day / 3600u, cal_.second_of_day / 60u % 60u,
                      cal_.second_of_day % 60u);
        b_.trace().begin(b_.now(), "rtc_set").field("what", what).field("calendar", buf).end();
    }

    BackupDomain saved() {
        sync(false);
        BackupDomain d;
        for (std::size_t i = 0; i < BackupDomain::kRegisterCount; ++i) d.bkp[i] = bkp(i);
        std::uint64_t sub = 0;
        const Calendar c = at(b_.now(), sub);
        d.year = static_cast<std::uint8_t>(c.year);
        d.month = static_cast<std::uint8_t>(c.month);
        d.day = static_cast<std::uint8_t>(c.day);
        d.weekday = static_cast<std::uint8_t>(c.weekday);
        d.hours = static_cast<std::uint8_t>(c.second_of_day / 3600u);
        d.minutes = static_cast<std::uint8_t>(c.second_of_day / 60u % 60u);
        d.seconds = static_cast<std::uint8_t>(c.second_of_day % 60u);
        d.prediv_a = prediv_a_;
        d.prediv_s = prediv_s_;
        d.subsecond_ns = sub;
        d.hour_format_12 = (RTC_regs.CR & RTC_CR_FMT) != 0;
        d.rcc_bdcr = RCC_regs.BDCR & BackupDomain::kBdcrKeptBits;
        d.saved_at_ns = b_.now();
        return d;
    }

    Board &b_;
    StorageRig *rig_ = nullptr;
    Calendar cal_;  // at the start of the second that began at second_start_
    std::int64_t second_start_ = 0;
    std::uint64_t frozen_ns_ = 0;  // time into the second while the clock stands
    bool running_ = false;
    std::uint32_t seen_bdcr_ = 0;
    std::uint32_t prediv_a_ = 127;
    std::uint32_t prediv_s_ = 255;
    bool date_locked_ = false;
    std::uint32_t locked_date_ = 0;
};

Rtc &model() {
    return board().model<Rtc>();
}

[[noreturn]] void not_modelled(const char *what) {
    board().halt(std::string(what) + " is not modelled by the simulated board");
}

[[noreturn]] void invalid(const char *call, const char *what) {
    board().halt(std::string(call) + ": " + what +
                 " out of range (the chip's calendar would count from an invalid state; not "
                 "modelled)");
}

}  // namespace

void install_rtc(Board &b, StorageRig &rig, Time unpowered_ns) {
    b.model<Rtc>().install(rig, unpowered_ns);
}

bool rtc_save(Board &b, std::string &error) {
    return storage_rig().dir().save_backup_domain(b.model<Rtc>().saved(), error);
}

void rtc_backup_domain_reset() {
    model().reset_domain();
}

}  // namespace sim

using sim::model;

extern "C" {

HAL_StatusTypeDef HAL_RTC_Init(RTC_HandleTypeDef *hrtc) {
    const sim::HalCall hal_call;
    if (hrtc == nullptr)
        return HAL_ERROR;
    if (hrtc->State == HAL_RTC_STATE_RESET) {
        hrtc->Lock = HAL_UNLOCKED;
        HAL_RTC_MspInit(hrtc);
    }
    sim::require_instance(hrtc, "HAL_RTC_Init");
    hrtc->State = HAL_RTC_STATE_BUSY;
    sim::Rtc &m = model();
    m.sync();
    HAL_StatusTypeDef status = HAL_OK;
    if ((RTC_regs.ISR & RTC_ISR_INITS) == 0u) {
        status = m.enter_init(hrtc, "HAL_RTC_Init");
        if (status == HAL_OK) {
            RTC_regs.CR = (RTC_regs.CR & ~(RTC_CR_FMT | RTC_CR_OSEL | RTC_CR_POL)) |
                          hrtc->Init.HourFormat | hrtc->Init.OutPut | hrtc->Init.OutPutPolarity;
            m.prediv_a_ = hrtc->Init.AsynchPrediv & 0x7Fu;
            m.prediv_s_ = hrtc->Init.SynchPrediv & 0x7FFFu;
            RTC_regs.PRER = (m.prediv_a_ << RTC_PRER_PREDIV_A_Pos) | m.prediv_s_;
        }
        // The vendor's initialisation leaves init mode whatever happened entering it.
        status = m.exit_init(status == HAL_OK, "HAL_RTC_Init");
        if (status == HAL_OK)
            RTC_regs.OR = (RTC_regs.OR & ~(RTC_OR_ALARMOUTTYPE | RTC_OR_OUT_RMP)) |
                          hrtc->Init.OutPutType | hrtc->Init.OutPutRemap;
    }
    if (status == HAL_OK)
        hrtc->State = HAL_RTC_STATE_READY;
    return status;
}

HAL_StatusTypeDef HAL_RTC_DeInit(RTC_HandleTypeDef *hrtc) {
    const sim::HalCall hal_call;
    if (hrtc == nullptr)
        return HAL_ERROR;
    sim::require_instance(hrtc, "HAL_RTC_DeInit");
    hrtc->State = HAL_RTC_STATE_BUSY;
    sim::Rtc &m = model();
    HAL_StatusTypeDef status = m.enter_init(hrtc, "HAL_RTC_DeInit");
    if (status == HAL_OK) {
        m.cal_ = sim::Calendar{};
        RTC_regs.CR = 0;
        m.prediv_a_ = 127;
        m.prediv_s_ = 255;
        RTC_regs.PRER = (m.prediv_a_ << RTC_PRER_PREDIV_A_Pos) | m.prediv_s_;
        status = m.exit_init(true, "HAL_RTC_DeInit");
        if (status == HAL_OK) {
            RTC_regs.OR = 0;
            HAL_RTC_MspDeInit(hrtc);
            hrtc->State = HAL_RTC_STATE_RESET;
            __HAL_UNLOCK(hrtc);
        }
    }
    return status;
}

__weak void HAL_RTC_MspInit(RTC_HandleTypeDef *hrtc) {
    (void)hrtc;
}
__weak void HAL_RTC_MspDeInit(RTC_HandleTypeDef *hrtc) {
    (void)hrtc;
}

HAL_StatusTypeDef HAL_RTC_SetTime(RTC_HandleTypeDef *hrtc, RTC_TimeTypeDef *sTime,
                                  uint32_t Format) {
    const sim::HalCall hal_call;
    __HAL_LOCK(hrtc);
    sim::require_instance(hrtc, "HAL_RTC_SetTime");
    hrtc->State = HAL_RTC_STATE_BUSY;
    sim::Rtc &m = model();
    const bool twelve = (RTC_regs.CR & RTC_CR_FMT) != 0u;
    if (!twelve)
        sTime->TimeFormat = 0;
    unsigned h = sTime->Hours, mi = sTime->Minutes, s = sTime->Seconds;
    if (Format != RTC_FORMAT_BIN) {
        if (!sim::valid_bcd(h) || !sim::valid_bcd(mi) || !sim::valid_bcd(s))
            sim::invalid("HAL_RTC_SetTime", "a BCD digit");
        h = sim::from_bcd(h);
        mi = sim::from_bcd(mi);
        s = sim::from_bcd(s);
    }
    if (twelve ? (h < 1u || h > 12u || sTime->TimeFormat > 1u) : h > 23u)
        sim::invalid("HAL_RTC_SetTime", "the hours");
    if (mi > 59u || s > 59u)
        sim::invalid("HAL_RTC_SetTime", "the minutes or seconds");
    HAL_StatusTypeDef status = m.enter_init(hrtc, "HAL_RTC_SetTime");
    if (status == HAL_OK) {
        if (twelve)
            h = h % 12u + (sTime->TimeFormat == RTC_HOURFORMAT12_PM ? 12u : 0u);
        m.cal_.second_of_day = h * 3600u + mi * 60u + s;
        RTC_regs.CR = (RTC_regs.CR & ~RTC_CR_BKP) | sTime->DayLightSaving | sTime->StoreOperation;
        m.trace_set("time");
        status = m.exit_init(true, "HAL_RTC_SetTime");
    }
    if (status == HAL_OK)
        hrtc->State = HAL_RTC_STATE_READY;
    __HAL_UNLOCK(hrtc);
    return status;
}

HAL_StatusTypeDef HAL_RTC_SetDate(RTC_HandleTypeDef *hrtc, RTC_DateTypeDef *sDate,
                                  uint32_t Format) {
    const sim::HalCall hal_call;
    __HAL_LOCK(hrtc);
    sim::require_instance(hrtc, "HAL_RTC_SetDate");
    hrtc->State = HAL_RTC_STATE_BUSY;
    sim::Rtc &m = model();
    if (Format == RTC_FORMAT_BIN && (sDate->Month & 0x10u) == 0x10u)
        sDate->Month = static_cast<uint8_t>((sDate->Month & ~0x10u) + 0x0Au);
    unsigned y = sDate->Year, mo = sDate->Month, d = sDate->Date;
    if (Format != RTC_FORMAT_BIN) {
        if (!sim::valid_bcd(y) || !sim::valid_bcd(mo) || !sim::valid_bcd(d))
            sim::invalid("HAL_RTC_SetDate", "a BCD digit");
        y = sim::from_bcd(y);
        mo = sim::from_bcd(mo);
        d = sim::from_bcd(d);
    }
    if (y > 99u || mo < 1u || mo > 12u || d < 1u || d > sim::days_in_month(y, mo))
        sim::invalid("HAL_RTC_SetDate", "the date");
    if (sDate->WeekDay < 1u || sDate->WeekDay > 7u)
        sim::invalid("HAL_RTC_SetDate", "the week day");
    HAL_StatusTypeDef status = m.enter_init(hrtc, "HAL_RTC_SetDate");
    if (status == HAL_OK) {
        m.cal_.year = y;
        m.cal_.month = mo;
        m.cal_.day = d;
        m.cal_.weekday = sDate->WeekDay;
        m.trace_set("date");
        status = m.exit_init(true, "HAL_RTC_SetDate");
    }
    if (status == HAL_OK)
        hrtc->State = HAL_RTC_STATE_READY;
    __HAL_UNLOCK(hrtc);
    return status;
}

HAL_StatusTypeDef HAL_RTC_GetTime(RTC_HandleTypeDef *hrtc, RTC_TimeTypeDef *sTime,
                                  uint32_t Format) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTC_GetTime");
    (void)hrtc;
    sim::Rtc &m = model();
    m.sync();
    std::uint64_t sub = 0;
    const sim::Calendar c = m.at(sim::board().now(), sub);
    RTC_regs.SSR = m.subsecond_register(sub);
    RTC_regs.TR = m.time_register(c);
    if (!(RTC_regs.CR & RTC_CR_BYPSHAD) && !m.date_locked_) {
        // Reading the time freezes the date shadow register until it is read.
        m.locked_date_ = sim::Rtc::date_register(c);
        m.date_locked_ = true;
    }
    sTime->SubSeconds = RTC_regs.SSR;
    sTime->SecondFraction = RTC_regs.PRER & RTC_PRER_PREDIV_S;
    const uint32_t tr = RTC_regs.TR;
    sTime->Hours = static_cast<uint8_t>((tr >> 16) & 0x3Fu);
    sTime->Minutes = static_cast<uint8_t>((tr >> 8) & 0x7Fu);
    sTime->Seconds = static_cast<uint8_t>(tr & 0x7Fu);
    sTime->TimeFormat = static_cast<uint8_t>((tr & RTC_TR_PM) ? 1u : 0u);
    if (Format == RTC_FORMAT_BIN) {
        sTime->Hours = static_cast<uint8_t>(sim::from_bcd(sTime->Hours));
        sTime->Minutes = static_cast<uint8_t>(sim::from_bcd(sTime->Minutes));
        sTime->Seconds = static_cast<uint8_t>(sim::from_bcd(sTime->Seconds));
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_RTC_GetDate(RTC_HandleTypeDef *hrtc, RTC_DateTypeDef *sDate,
                                  uint32_t Format) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTC_GetDate");
    (void)hrtc;
    sim::Rtc &m = model();
    if (m.date_locked_) {
        RTC_regs.DR = m.locked_date_;
        m.date_locked_ = false;
    } else {
        m.sync();
        std::uint64_t sub = 0;
        RTC_regs.DR = sim::Rtc::date_register(m.at(sim::board().now(), sub));
    }
    const uint32_t dr = RTC_regs.DR;
    sDate->Year = static_cast<uint8_t>((dr >> 16) & 0xFFu);
    sDate->Month = static_cast<uint8_t>((dr >> 8) & 0x1Fu);
    sDate->Date = static_cast<uint8_t>(dr & 0x3Fu);
    sDate->WeekDay = static_cast<uint8_t>((dr & RTC_DR_WDU) >> RTC_DR_WDU_Pos);
    if (Format == RTC_FORMAT_BIN) {
        sDate->Year = static_cast<uint8_t>(sim::from_bcd(sDate->Year));
        sDate->Month = static_cast<uint8_t>(sim::from_bcd(sDate->Month));
        sDate->Date = static_cast<uint8_t>(sim::from_bcd(sDate->Date));
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_RTC_WaitForSynchro(RTC_HandleTypeDef *hrtc) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTC_WaitForSynchro");
    (void)hrtc;
    return model().wait_for_synchro("HAL_RTC_WaitForSynchro");
}

HAL_RTCStateTypeDef HAL_RTC_GetState(RTC_HandleTypeDef *hrtc) {
    const sim::HalCall hal_call;
    return hrtc->State;
}

void HAL_RTCEx_BKUPWrite(RTC_HandleTypeDef *hrtc, uint32_t BackupRegister, uint32_t Data) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTCEx_BKUPWrite");
    (void)hrtc;
    sim::Rtc &m = model();
    sim::Board &b = sim::board();
    if (BackupRegister >= sim::BackupDomain::kRegisterCount)
        b.halt("HAL_RTCEx_BKUPWrite: backup register " + std::to_string(BackupRegister) +
               " does not exist (0..31)");
    if (!m.write_access()) {
        if (b.trace().enabled())
            b.trace()
                .begin(b.now(), "rtc_ignored")
                .field("what", "backup register write")
                .field("register", BackupRegister)
                .field("why", "backup domain write-protected (PWR_CR1.DBP clear)")
                .end();
        return;
    }
    m.bkp(BackupRegister) = Data;
    if (b.trace().enabled())
        b.trace()
            .begin(b.now(), "backup_register")
            .field("register", BackupRegister)
            .field("value", Data)
            .end();
}

uint32_t HAL_RTCEx_BKUPRead(RTC_HandleTypeDef *hrtc, uint32_t BackupRegister) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTCEx_BKUPRead");
    (void)hrtc;
    if (BackupRegister >= sim::BackupDomain::kRegisterCount)
        sim::board().halt("HAL_RTCEx_BKUPRead: backup register " + std::to_string(BackupRegister) +
                          " does not exist (0..31)");
    return model().bkp(BackupRegister);
}

HAL_StatusTypeDef HAL_RTCEx_EnableBypassShadow(RTC_HandleTypeDef *hrtc) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTCEx_EnableBypassShadow");
    (void)hrtc;
    RTC_regs.CR |= RTC_CR_BYPSHAD;
    return HAL_OK;
}
HAL_StatusTypeDef HAL_RTCEx_DisableBypassShadow(RTC_HandleTypeDef *hrtc) {
    const sim::HalCall hal_call;
    sim::require_instance(hrtc, "HAL_RTCEx_DisableBypassShadow");
    (void)hrtc;
    RTC_regs.CR &= ~RTC_CR_BYPSHAD;
    return HAL_OK;
}

HAL_StatusTypeDef HAL_RTC_SetAlarm(RTC_HandleTypeDef *, RTC_AlarmTypeDef *, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC alarms");
}
HAL_StatusTypeDef HAL_RTC_SetAlarm_IT(RTC_HandleTypeDef *, RTC_AlarmTypeDef *, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC alarms");
}
HAL_StatusTypeDef HAL_RTC_DeactivateAlarm(RTC_HandleTypeDef *, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC alarms");
}
void HAL_RTC_AlarmIRQHandler(RTC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC alarms");
}
__weak void HAL_RTC_AlarmAEventCallback(RTC_HandleTypeDef *hrtc) {
    (void)hrtc;
}
HAL_StatusTypeDef HAL_RTCEx_SetWakeUpTimer_IT(RTC_HandleTypeDef *, uint32_t, uint32_t) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC wake-up timer");
}
HAL_StatusTypeDef HAL_RTCEx_DeactivateWakeUpTimer(RTC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC wake-up timer");
}
void HAL_RTCEx_WakeUpTimerIRQHandler(RTC_HandleTypeDef *) {
    const sim::HalCall hal_call;
    sim::not_modelled("the RTC wake-up timer");
}
__weak void HAL_RTCEx_WakeUpTimerEventCallback(RTC_HandleTypeDef *hrtc) {
    (void)hrtc;
}

}  // extern "C"
