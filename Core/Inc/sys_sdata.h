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
// The dump service: log listings for a service PC while the dump input (PA12, low =
// asserted) is held. Requests are two bytes on the console port: 0xFF 0xFF lists
// the power-cycle log; two non-zero bytes a, b list sensor-data blocks a..b (wrapping
// from 510 to 1); a request with a zero byte is ignored.
//
// Check ticks: once the input has stayed low for BLOCK_DUMP_HOLD_CHECKS check ticks
// (one low read is a glitch, not a request), the device enters service mode.
constexpr uint32_t BLOCK_DUMP_HOLD_CHECKS = 50;  // 1 s
void block_dump_check(void);
// Main loop, service mode: true when the dump service is to run now (the tick found
// the input held, or it has stayed low for a second since).
bool block_dump_service_check(void);
// Main loop, with the console's own reception stopped: serves requests until the
// input has been released for a second. The second byte of a request must follow
// the first within 100 ms, or the first is dropped; bytes arriving while a listing
// runs are discarded, so each request is sent after the previous listing.
void block_dump_service(void);
