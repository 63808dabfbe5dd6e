// Date-and-time log: one heartbeat every 30 s from the tick, and the start-up that
// recovers the log positions, records the previous run's last heartbeat and this
// run's power-on, and opens a fresh sensor-data block.
#include "sys_dnt.h"

#include "btime.h"
#include "sys_battery.h"
#include "sys_onoff.h"
#include "sys_sdata.h"

namespace {

exflash_info __sys_dnt_info = {0, EXFLASH_LOG_DNT.base_sector, 0, 0};
int __sys_dnt_write_mode = 0;  // 0 idle, 3 flag page cleared, 1 erase running, 2 erased
bool __sys_dnt_is_first = true;
uint32_t __sys_dnt_last_block = 0;
exflash_backoff __sys_dnt_backoff = {};

exflash_log_layout log_at(uint32_t base_sector) {
    exflash_log_layout l = EXFLASH_LOG_DNT;
    l.base_sector = base_sector;
    return l;
}

}  // namespace

int sys_dnt_compare_time(psys_dnt_data data1, psys_dnt_data data2) {
    return static_cast<int32_t>(data1->check_time - data2->check_time);
}

int sys_dnt_set_info_to_older_sector(uint32_t base_sector, pexflash_info info) {
    const int r = exflash_log_older_sector(exflash_chip, log_at(base_sector), info);
    if (r < 0)
        exflash_count_error();
    return r;
}

int sys_dnt_find_point(void) {
    const int r = exflash_flags_find_point(EXFLASH_LOG_DNT.base_sector, 0, 32, &__sys_dnt_info);
    if (r == 256)
        return sys_dnt_set_info_to_older_sector(EXFLASH_LOG_DNT.base_sector, &__sys_dnt_info);
    return r;
}

int sys_dnt_get_last_data(sys_dnt_data *data) {
    const int r = exflash_log_last_record(exflash_chip, EXFLASH_LOG_DNT, __sys_dnt_info,
                                          reinterpret_cast<uint8_t *>(data));
    if (r < 0)
        exflash_count_error();
    return r;
}

void sys_dnt_get_data(psys_dnt_data data) {
    data->check_time = unixtime(nullptr, nullptr);
    data->power = 0;
    data->battery = static_cast<uint8_t>(sys_battery_get_percent());
    data->block = static_cast<uint16_t>(__sys_sdata_info.block);
}

// When the date-and-time log cannot be read, the sensor-data block is not seeded
// here; sys_sdata_init then starts the sensor log in block 1.
int sys_dnt_init(void) {
    sys_onoff_init();
    if (sys_dnt_find_point() != 0)
        return -1;
    sys_dnt_data last;
    if (sys_dnt_get_last_data(&last) != 0)
        return 0;
    __sys_dnt_last_block = last.block;
    __sys_sdata_info.block = exflash_sdata_next_block(last.block);
    if (last.power != -1) {
        last.power = 0;
        if (sys_onoff_write(&last) != 0)
            return -1;
    }
    sys_dnt_write();
    return 0;
}

// Erase ahead, record, power-on copy (first record of the run), flag, advance. A
// failed record still uses up its slot and its flag; a chip stuck busy gets no
// further command in this call, so that the tick is not held.
int sys_dnt_write(void) {
    if (!exflash_backoff_ready(&__sys_dnt_backoff))
        return -1;
    exflash_info &p = __sys_dnt_info;
    if (p.page == 0 && p.count == 0) {
        const int r = exflash_erase_ahead(&__sys_dnt_write_mode, p.sector, &__sys_dnt_backoff);
        if (r != 0)
            return r;
    }
    const uint32_t slot = p.page * EXFLASH_LOG_DNT.per_page + p.count;
    sys_dnt_data rec;
    sys_dnt_get_data(&rec);
    const uint32_t start = HAL_GetTick();
    const W25Q_STATE w =
        exflash_program_checked(reinterpret_cast<uint8_t *>(&rec), sizeof rec,
                                static_cast<uint8_t>(exflash_slot_offset(EXFLASH_LOG_DNT, slot)),
                                exflash_slot_page(EXFLASH_LOG_DNT, p.sector, slot));
    if (HAL_GetTick() - start > 200)
        exflash_count_error();
    if (w != W25Q_OK)  // before the copy and the flag, whose programs may show the chip works
        exflash_backoff_failed(&__sys_dnt_backoff, true);
    if (w != W25Q_CHIP_ERR) {
        if (__sys_dnt_is_first) {
            // Written by a later tick: the record, its copy and the flags would not
            // all fit in one 10 ms tick.
            sys_dnt_data first = rec;
            first.power = 1;
            sys_onoff_queue(&first);
            __sys_dnt_is_first = false;
        }
        exflash_flags_set(p.sector, 0, slot);
    }
    exflash_info_update_8b(EXFLASH_LOG_DNT.base_sector, &p);
    if (w != W25Q_OK) {
        exflash_count_error();
        return -3;
    }
    exflash_backoff_ok(&__sys_dnt_backoff);
    sys_sdata_block_logged(rec.block);
    return 0;
}

namespace {

sys_dnt_data trigger_record(int triggerType) {
    sys_dnt_data rec;
    sys_dnt_get_data(&rec);
    rec.power = 2;
    rec.block = static_cast<uint16_t>(triggerType);
    return rec;
}

}  // namespace

int sys_dnt_trigger_write(int triggerType) {
    sys_dnt_data rec = trigger_record(triggerType);
    return sys_onoff_write(&rec);
}

int sys_dnt_trigger_queue(int triggerType) {
    const sys_dnt_data rec = trigger_record(triggerType);
    return sys_onoff_queue(&rec);
}

int sys_dnt_print_sector(uint32_t sector) {
    exflash_list_dnt_sector(exflash_chip, exflash_console_listing, sector, 0);
    return 0;
}

int sys_dnt_print_sector_by_num(uint32_t sector, int num) {
    if (num > 0)
        exflash_list_dnt_sector(exflash_chip, exflash_console_listing, sector,
                                static_cast<uint32_t>(num));
    return 0;
}

int sys_dnt_print_all(void) {
    sys_dnt_print_sector(exflash_other_sector(EXFLASH_LOG_DNT, __sys_dnt_info.sector));
    sys_dnt_print_sector(__sys_dnt_info.sector);
    return 0;
}
