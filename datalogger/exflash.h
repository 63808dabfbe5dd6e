#pragma once
// The date-and-time logs in block 0 of the external flash: the event log (power-off,
// power-on and firing records, kept across power-ups) and the periodic log (a record
// every 30 s and at every new sample block, restarted at every power-up). Record
// formats and the start-up rules: logger_flash_format.h.
//
// After start-up all NOR work runs in the tick (DnT_Service and the sample log), one
// chip operation per tick and never while the chip is busy: the main loop only asks
// for a periodic record (DnT_Write), so no transaction of the thread can meet one of
// the tick's on the chip or its bus.
#include <cstdint>

#include "logger_flash_format.h"

extern DnTRecord dnt_;                        // the last periodic record written
extern uint8_t block_point;                   // the first sample block of this power-up
extern uint8_t SE_count, SE_page, SE_sector;  // next event slot
extern uint8_t RT_count, RT_page, RT_sector;  // next periodic slot

// The NOR chip as the format rules read it.
extern const logger_reader exflash_reader;

// Start-up: finds both logs' positions and where the sample log continues.
void DnT_FindPoint(void);
// Start-up (before the tick): DnT_FindPoint, the power-off record, block_point, the
// periodic log restarted in sector 2.
void DnT_Init(void);
// Fills dnt_ from the RTC: type 0, the date and time, the sample block being written.
void getDnT(void);
// Asks for a periodic record (and, the first time, the power-on record). From the
// main loop every 30 s; DnT_Service writes it.
void DnT_Write(void);
// Asks for a periodic record from the tick (a new sample block must be named first).
void DnT_WriteFromTick(void);
// Queues the firing record (from the firing, in the tick): the last periodic
// record's time, type 2, the trigger type.
void Trigger_Write(int type);
// Prints the current event page, then writes the first periodic and power-on records.
void DnT_Load(void);
// Prints all 992 event slots (read-back mode).
void DnT_Load_All(void);

// Whether records wait to be written, and one chip operation towards them (the chip
// must be idle: the caller has asked W25Q_IsBusy).
bool DnT_Pending(void);
void DnT_Service(void);
// The block named by the last periodic record written this power-up.
uint8_t DnT_NamedBlock(void);
// Runs DnT_Service until nothing is pending or `limit_ms` have passed (start-up and
// the terminal modes, with the tick stopped).
void DnT_Flush(uint32_t limit_ms);

// One program of `len` bytes at `offset` of `page`, read back and compared (the chip
// does not report a program that did not take): 0 when the bytes are there. `wide`
// uses the driver's 16-bit data phase (the sample records).
int exflash_program_checked(const void *data, uint16_t len, uint8_t offset, uint32_t page,
                            bool wide);
// After the retries a slot still does not hold its record: it is cleared to zeros so
// that it cannot read as erased (a listing would stop there) and is not written again.
void exflash_clear_slot(uint16_t len, uint8_t offset, uint32_t page);
// Attempts a record gets at its slot before the slot is given up.
constexpr uint8_t EXFLASH_PROGRAM_TRIES = 3;
