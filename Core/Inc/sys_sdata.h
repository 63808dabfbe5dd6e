#pragma once
// Sensor-data log: every motion sample of the ring, streamed as 14-byte records
// into 64 KB blocks 1..510 of the external flash. Each start-up opens the block
// after the one the last heartbeat names.
#include "exflash.h"

// Next record position; `block` is seeded by the date-and-time log at start-up.
extern exflash_info __sys_sdata_info;

// Starts at the beginning of the seeded block; block 1 when nothing seeded one.
int sys_sdata_init(void);
// Writes one record: 0, -1 (busy, backing off, or the new block not yet named by a
// heartbeat), -2 (the block's erase started), -3 (failed; the slot is used up and
// the sample stays in the ring).
int sys_sdata_write(SensorData_TypeDef *pData);
// Lists blocks start..end (wrapping from 510 to 1): 0, or -1 without output unless
// both lie in 1..510.
int sys_sdata_print(int start_block, int end_block);
// The date-and-time log has written a heartbeat naming `block`.
void sys_sdata_block_logged(uint32_t block);
// Flash dump service on the dump input (check ticks). Not served yet: the input is
// not looked at.
void block_dump_check(void);
