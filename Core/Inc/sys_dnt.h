#pragma once
// Date-and-time log (sectors 2 and 3): a heartbeat record every 30 s with the time,
// the battery percentage and the sensor-data block being filled. Its start-up also
// opens the power-cycle log (sys_onoff) and seeds the sensor-data block.
#include "exflash.h"

int sys_dnt_init(void);
int sys_dnt_find_point(void);
// Both sectors of the pair at base_sector full: the older one is reused.
int sys_dnt_set_info_to_older_sector(uint32_t base_sector, pexflash_info info);
// data1.check_time - data2.check_time as a signed 32-bit value.
int sys_dnt_compare_time(psys_dnt_data data1, psys_dnt_data data2);
// The newest heartbeat before the write position (all 0xFF when there is none).
int sys_dnt_get_last_data(sys_dnt_data *data);
// A heartbeat of now: time, kind 0, battery percentage, current sensor-data block.
void sys_dnt_get_data(psys_dnt_data data);
// Writes one heartbeat: 0, -1 (busy or backing off), -2 (erase ahead started),
// -3 (the record failed; its slot is used up).
int sys_dnt_write(void);
// A firing record (kind 2, `block` = trigger type) in the power-cycle log.
int sys_dnt_trigger_write(int triggerType);
// The same record, stamped now, left for a later tick to write (sys_onoff_queue).
int sys_dnt_trigger_queue(int triggerType);
// Listings of 8-byte log sectors (0..3).
int sys_dnt_print_sector(uint32_t sector);
int sys_dnt_print_sector_by_num(uint32_t sector, int num);
int sys_dnt_print_all(void);
