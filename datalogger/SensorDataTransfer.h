#pragma once
// The sample log: every motion sample, with its stamp, in blocks 1..250 of the
// external flash, written from the tick through a small write-behind ring; and the
// read-back mode that dumps the logs to a host over the console.
#include <cstdint>

#include "logger_flash_format.h"

// The write-behind ring: empty when wptr equals rptr, so at most 31 records wait.
constexpr int32_t SENSORDATA_TRANSFER_SLOTS = 32;
typedef struct {
    volatile int32_t wptr;  // next slot to fill
    volatile int32_t rptr;  // oldest waiting record
    SensorData_TypeDef items[SENSORDATA_TRANSFER_SLOTS];
} SENSORDATA_TRANSFER;

extern SENSORDATA_TRANSFER __sData_transfer;
// Next record position: block 1..250, sector 0..15, page 0..15, slot 0..17.
extern uint8_t SD_block, SD_sector, SD_page, SD_count;

int SensorDataTransfer_Init(SENSORDATA_TRANSFER *t);
// Copies the record in: 0, or −1 when 31 records already wait (the record is dropped:
// those written stay in stamp order).
int SensorDataTransfer_Push(SENSORDATA_TRANSFER *t, const SensorData_TypeDef *d);
// The oldest waiting record (null when none), left in place or taken out.
SensorData_TypeDef *SensorDataTransfer_Peek(SENSORDATA_TRANSFER *t);
SensorData_TypeDef *SensorDataTransfer_Pop(SENSORDATA_TRANSFER *t);

// Start-up (after DnT_Init): the position at the start of block_point, the ring empty.
void sData_FindPoint(void);
void sData_Init(void);
// Sensor tick: the record joins the ring, then sData_Service.
void sData_WriteSafe(const SensorData_TypeDef *d);
// Every tick: at most one chip operation, and none while the chip is busy (an erase
// runs, or its status cannot be read): the date-and-time records first, then the
// sample log's block erase, the periodic record naming the new block, or the oldest
// waiting sample.
void sData_Service(void);
// With the tick stopped: writes what waits, for at most `limit_ms`.
void sData_Flush(uint32_t limit_ms);

// Prints the records of blocks first..last (both 1..250, wrapping after 250), ending
// at the first erased slot, then the END line.
void sData_Load(int first, int last);
// The read-back mode, entered from a check tick; never returns.
[[noreturn]] void sData_ReadBack(void);
