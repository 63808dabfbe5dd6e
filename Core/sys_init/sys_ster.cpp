// Status-event log.
#include "sys_ster.h"

#include "btime.h"
#include "main.h"
#include "sys_battery.h"
#include "sys_imu.h"
#include "sys_rtc.h"
#include "sys_uart.h"
#include "sys_uart_handler.h"

namespace {

constexpr uint32_t kPeriodMs = 300000;
constexpr int16_t kIntervalSlackMs = 2;

exflash_info __sys_ster_info = {0, EXFLASH_LOG_STER.base_sector, 0, 0};
int __sys_ster_write_mode = 0;  // 0 idle, 3 flag page cleared, 1 erase running, 2 erased
sys_ster_data __sys_ster_write_data = {};
bool __sys_ster_write_data_valid = false;
uint32_t __sys_ster_last_time = 0;  // HAL_GetTick() at the last snapshot; 0 = none yet
exflash_backoff __sys_ster_backoff = {};

}  // namespace

int sys_ster_find_point(void) {
    const int r =
        exflash_flags_find_point(EXFLASH_LOG_STER.base_sector, EXFLASH_LOG_STER.first_slot,
                                 EXFLASH_LOG_STER.per_page, &__sys_ster_info);
    if (r != 256)
        return r;
    const int o = exflash_log_older_sector(exflash_chip, EXFLASH_LOG_STER, &__sys_ster_info);
    if (o < 0)
        exflash_count_error();
    return o;
}

int sys_ster_init(void) {
    sys_ster_find_point();
    return 0;
}

int sys_ster_set_data(void) {
    if (__sys_ster_write_data_valid)
        return -1;
    sys_ster_data &d = __sys_ster_write_data;
    d.check_time = unixtime(nullptr, nullptr);
    d.data_type = 0;
    const uint32_t now = HAL_GetTick();
    if (__sys_ster_last_time == 0) {
        d.time_interval = 0;
    } else {
        d.time_interval = static_cast<int16_t>(now - __sys_ster_last_time - kPeriodMs);
        if (d.time_interval < -kIntervalSlackMs || d.time_interval > kIntervalSlackMs)
            UART5_Printf("%s  Too long time interval (%d, %d, %d, %d) -> %d\r\n",
                         MakeDateTimeString(&__sys_rtc_date, &__sys_rtc_time),
                         static_cast<int>(__sys_ster_info.sector),
                         static_cast<int>(__sys_ster_info.page),
                         static_cast<int>(__sys_ster_info.count),
                         static_cast<int>(timer7_10ms_counter), d.time_interval);
    }
    __sys_ster_last_time = now;
    d.battery_level = static_cast<uint16_t>(g_battAdcVal);
    d.uart_counter = __sys_uart_rx_counter;
    d.imu_error = __sys_imu_read_data_error;
    d.exflash_error = __exflash_error;
    __sys_ster_write_data_valid = true;
    return 0;
}

int sys_ster_write(void) {
    if (!exflash_backoff_ready(&__sys_ster_backoff))
        return -1;
    exflash_info &p = __sys_ster_info;
    if (p.page == 0 && p.count == 0) {
        const int r = exflash_erase_ahead(&__sys_ster_write_mode, p.sector, &__sys_ster_backoff);
        if (r != 0)
            return r;
        p.page = 1;  // page 0 is the flag page
    }
    const uint32_t slot = p.page * EXFLASH_LOG_STER.per_page + p.count;
    const uint32_t start = HAL_GetTick();
    const W25Q_STATE w = exflash_program_checked(
        reinterpret_cast<uint8_t *>(&__sys_ster_write_data), sizeof(sys_ster_data),
        static_cast<uint8_t>(exflash_slot_offset(EXFLASH_LOG_STER, slot)),
        exflash_slot_page(EXFLASH_LOG_STER, p.sector, slot));
    if (HAL_GetTick() - start > 200)
        exflash_count_error();
    __sys_ster_write_data_valid = false;  // a failed snapshot is dropped and taken anew
    if (w != W25Q_OK)  // before the flag, whose program may show the chip works
        exflash_backoff_failed(&__sys_ster_backoff, true);
    if (w != W25Q_CHIP_ERR)
        exflash_flags_set(p.sector, 0, slot);
    exflash_info_update_16b(EXFLASH_LOG_STER.base_sector, &p);
    if (w != W25Q_OK) {
        exflash_count_error();
        return -3;
    }
    exflash_backoff_ok(&__sys_ster_backoff);
    return 0;
}

int sys_ster_print_sector(uint32_t sector) {
    exflash_list_ster_sector(exflash_chip, exflash_console_listing, sector);
    return 0;
}

int sys_ster_print(void) {
    return sys_ster_print_sector(__sys_ster_info.sector);
}

int sys_ster_print_all(void) {
    sys_ster_print_sector(exflash_other_sector(EXFLASH_LOG_STER, __sys_ster_info.sector));
    return sys_ster_print_sector(__sys_ster_info.sector);
}
