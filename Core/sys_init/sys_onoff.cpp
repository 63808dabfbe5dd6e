// Power-cycle log: written at start-up, at the first heartbeat of a run and at a
// firing, in whatever context that is; it erases its next sector synchronously (ahead
// of time at start-up, so that the tick's records need not).
#include "sys_onoff.h"

#include "sys_dnt.h"

namespace {

exflash_info __sys_onoff_info = {0, EXFLASH_LOG_ONOFF.base_sector, 0, 0};
bool __sys_onoff_sector_ready = false;  // the sector at the position was erased ahead

// Records waiting to be written by a later tick: filled by the tick, emptied by it.
constexpr uint32_t kQueued = 4;
sys_dnt_data __sys_onoff_queue[kQueued];
uint32_t __sys_onoff_queue_head = 0, __sys_onoff_queue_tail = 0;

}  // namespace

int sys_onoff_find_point(void) {
    const int r = exflash_flags_find_point(EXFLASH_LOG_ONOFF.base_sector, 0, 32, &__sys_onoff_info);
    if (r == 256)
        return sys_dnt_set_info_to_older_sector(EXFLASH_LOG_ONOFF.base_sector, &__sys_onoff_info);
    return r;
}

int sys_onoff_init(void) {
    sys_onoff_find_point();
    return 0;
}

int sys_onoff_prepare(void) {
    const exflash_info &p = __sys_onoff_info;
    if (p.page != 0 || p.count != 0 || __sys_onoff_sector_ready)
        return 0;
    if (exflash_mark_sector(p.sector) != W25Q_OK || W25Q_EraseSector(p.sector) != W25Q_OK)
        return -1;
    __sys_onoff_sector_ready = true;
    return 0;
}

int sys_onoff_write(psys_dnt_data data) {
    exflash_info &p = __sys_onoff_info;
    if (p.page == 0 && p.count == 0 && !__sys_onoff_sector_ready &&
        exflash_mark_sector(p.sector) == W25Q_OK)
        W25Q_EraseSector(p.sector);  // a failed erase shows as a failed record below
    __sys_onoff_sector_ready = false;
    const uint32_t slot = p.page * EXFLASH_LOG_ONOFF.per_page + p.count;
    const W25Q_STATE w =
        exflash_program_checked(reinterpret_cast<uint8_t *>(data), sizeof *data,
                                static_cast<uint8_t>(exflash_slot_offset(EXFLASH_LOG_ONOFF, slot)),
                                exflash_slot_page(EXFLASH_LOG_ONOFF, p.sector, slot));
    if (w != W25Q_CHIP_ERR)
        exflash_flags_set(p.sector, 0, slot);
    exflash_info_update_8b(EXFLASH_LOG_ONOFF.base_sector, &p);
    if (w != W25Q_OK) {
        exflash_count_error();
        return -1;
    }
    return 0;
}

int sys_onoff_queue(const sys_dnt_data *data) {
    if (__sys_onoff_queue_head - __sys_onoff_queue_tail >= kQueued)
        return -1;
    __sys_onoff_queue[__sys_onoff_queue_head++ % kQueued] = *data;
    return 0;
}

int sys_onoff_write_queued(void) {
    if (__sys_onoff_queue_head == __sys_onoff_queue_tail)
        return 0;
    sys_dnt_data rec = __sys_onoff_queue[__sys_onoff_queue_tail++ % kQueued];
    sys_onoff_write(&rec);
    return 1;
}

int sys_onoff_print(void) {
    return sys_dnt_print_sector(__sys_onoff_info.sector);
}

int sys_onoff_print_all(void) {
    sys_dnt_print_sector(exflash_other_sector(EXFLASH_LOG_ONOFF, __sys_onoff_info.sector));
    sys_dnt_print_sector(__sys_onoff_info.sector);
    return 0;
}

int sys_onoff_print_for_boot(void) {
    return sys_dnt_print_sector_by_num(__sys_onoff_info.sector, 32);
}
