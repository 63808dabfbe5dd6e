// Position-advance rules of the logs.
#include "exflash_info.h"

void exflash_info_update_by_num(uint32_t max_count, uint32_t max_page, uint32_t base_sector,
                                pexflash_info info) {
    if (++info->count < max_count)
        return;
    info->count = 0;
    if (++info->page < max_page)
        return;
    info->page = 0;
    info->sector = info->sector == base_sector ? base_sector + 1 : base_sector;
}

void exflash_info_update_8b(uint32_t base_sector, pexflash_info info) {
    exflash_info_update_by_num(32, 8, base_sector, info);
}

void exflash_info_update_16b(uint32_t base_sector, pexflash_info info) {
    exflash_info_update_by_num(16, 16, base_sector, info);
}

void exflash_info_update_sdata(pexflash_info info) {
    if (++info->count < SYS_SDATA_PER_PAGE)
        return;
    info->count = 0;
    if (++info->page < EXFLASH_PAGES_PER_SECTOR)
        return;
    info->page = 0;
    if (++info->sector < EXFLASH_SECTORS_PER_BLOCK)
        return;
    info->sector = 0;
    if (++info->block > SYS_SDATA_LAST_BLOCK)
        info->block = SYS_SDATA_FIRST_BLOCK;
}
