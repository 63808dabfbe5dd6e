#pragma once
// Power-cycle log (sectors 0 and 1): at each start-up the last heartbeat of the run
// before (kind 0) and the first of this run (kind 1); a record at each firing.
#include "exflash.h"

int sys_onoff_init(void);
int sys_onoff_find_point(void);
// Appends a record, erasing (blocking) the next sector first when the log wraps:
// 0, or -1 when the record failed (its slot is used up).
int sys_onoff_write(psys_dnt_data data);
int sys_onoff_print(void);
int sys_onoff_print_all(void);
// The last 32 records of the current sector, at the end of start-up.
int sys_onoff_print_for_boot(void);
