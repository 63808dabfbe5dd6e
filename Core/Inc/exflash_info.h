#pragma once
// Position-advance rules of the logs: after every record (written or failed) the
// writer moves its exflash_info to the next slot.
#include "exflash_format.h"

// Two-sector logs: count, then page, then the other sector of the pair at page 0,
// count 0 (the writer then erases that sector before its first record).
void exflash_info_update_by_num(uint32_t max_count, uint32_t max_page, uint32_t base_sector,
                                pexflash_info info);
void exflash_info_update_8b(uint32_t base_sector, pexflash_info info);   // 32 per page, 8 pages
void exflash_info_update_16b(uint32_t base_sector, pexflash_info info);  // 16 per page, 16 pages
// Sensor-data log: count 0..17, page 0..15, sector 0..15, block 1..510 in a ring.
void exflash_info_update_sdata(pexflash_info info);
