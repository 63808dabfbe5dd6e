#pragma once
// Bookkeeping shared by the logs in the external flash: the slot flags, the error
// counter, erasing the log area, and the chip and console as the listings and the
// position recovery of exflash_format.h reach them.
#include "exflash_format.h"
#include "exflash_info.h"
#include "w25q_mem.h"

// External flash faults since start-up (wraps at 65536): failed reads at start-up,
// failed or unverified programs and flag writes, writes slower than 200 ms. Stored
// in every status-event record.
extern volatile uint16_t __exflash_error;

// Start-up search of a log's write position in base_sector and base_sector + 1
// (start_offset 0 / max_count 32 for the 8-byte logs, 16 / 16 for the status-event
// log): 0, -1 (unreadable; counted), or 256 when both sectors are full.
int exflash_flags_find_point(uint32_t base_sector, uint32_t start_offset, uint32_t max_count,
                             pexflash_info info);
// Programs the flag byte 0x7F of slot `index` (page sector x 16 + base_page +
// index / 256): 0, or -1 (counted) when the chip did not take it.
int exflash_flags_set(uint32_t sector, uint32_t base_page, uint32_t index);
// Console "exclean": erases sectors 0..15 with a progress line each.
void exflash_reset(void);

// The chip through the page API (byte-wide and 16-bit data phase) and the console.
extern const exflash_reader exflash_chip;
extern const exflash_reader exflash_chip_16;
extern const exflash_printer exflash_console;
extern const exflash_visitor exflash_console_listing;  // the listings' text on the console

// A record program followed by a read-back: W25Q chips report no program failure,
// so a record that did not take is found here (W25Q_CHIP_IGNORE).
W25Q_STATE exflash_program_checked(uint8_t *data, uint16_t len, uint8_t offset, uint32_t page);
W25Q_STATE exflash_program_checked_16(int16_t *data, uint16_t len, uint8_t offset, uint32_t page);

// Clears a log sector's flag page to zeros before the sector is erased: an erase
// the power cuts short then leaves a page that reads as damaged (the sector is
// erased again before use, and nothing in it is listed) instead of half-erased
// records under flags that still read used.
W25Q_STATE exflash_mark_sector(uint32_t sector);

// Back-off of a log writer whose writes fail: after n failures in a row it waits
// 2^(n-1) s (at most 64 s) before trying again. After a failed record it does not
// erase ahead until some program on the chip (any log's, a flag included) has been
// read back good since: a failing chip never erases intact records, and a single
// glitch does not stop the log.
struct exflash_backoff {
    uint32_t failures;
    uint32_t since_ms;
    bool record_failed;
    uint32_t good_at_failure;
};
bool exflash_backoff_ready(const exflash_backoff *b);
bool exflash_backoff_holds_erase(const exflash_backoff *b);
void exflash_backoff_failed(exflash_backoff *b, bool record);
void exflash_backoff_ok(exflash_backoff *b);

// One step of the erase that comes before the first record of a two-sector log's
// sector (write position page 0, count 0), one chip operation per call so that none
// holds the tick long. `mode`: 0 idle, 3 flag page cleared, 1 erase running (2, the
// erase finished, is passed through at once). 0 when the record may be written; -1
// while the erase runs, or while the writer holds back because its last record
// failed; -2 when a step was started; -3 when a step failed (counted, backed off).
int exflash_erase_ahead(int *mode, uint32_t sector, exflash_backoff *b);

// Counts one external flash fault.
void exflash_count_error(void);
