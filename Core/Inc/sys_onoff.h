#pragma once
// Power-cycle log (sectors 0 and 1): at each start-up the last heartbeat of the run
// before (kind 0) and the first of this run (kind 1); a record at each firing.
#include "exflash.h"

int sys_onoff_init(void);
int sys_onoff_find_point(void);
// Appends a record, erasing (blocking) the next sector first when the log wraps:
// 0, or -1 when the record failed (its slot is used up).
int sys_onoff_write(psys_dnt_data data);
// At start-up (blocking): when the position is at the start of a sector, erases that
// sector now, so that the records the tick writes later (the first heartbeat's copy,
// a firing) need no erase inside the tick. 0, or -1 when the erase failed (the next
// record then erases as usual).
int sys_onoff_prepare(void);
// A record for a later tick to write (the tick writes at most one record each): 0,
// or -1 when four already wait (the record is dropped).
int sys_onoff_queue(const sys_dnt_data *data);
// Writes the oldest waiting record: 1 when there was one (whatever the write gave),
// else 0.
int sys_onoff_write_queued(void);
int sys_onoff_print(void);
int sys_onoff_print_all(void);
// The last 32 records of the current sector, at the end of start-up.
int sys_onoff_print_for_boot(void);
