#pragma once
// Status-event log (sectors 4 and 5): every 5 minutes the time, the deviation of
// the interval from 5 minutes, the battery reading and three fault counters. The
// snapshot is taken when due and written when the flash is free.
#include "exflash.h"

int sys_ster_init(void);
int sys_ster_find_point(void);
// Takes the snapshot: 0, or -1 when one is still waiting to be written.
int sys_ster_set_data(void);
// Writes the pending snapshot: 0, -1 (busy or backing off), -2 (erase ahead
// started), -3 (failed: slot used up, snapshot dropped).
int sys_ster_write(void);
int sys_ster_print(void);
int sys_ster_print_all(void);
int sys_ster_print_sector(uint32_t sector);
