// Bookkeeping shared by the logs in the external flash.
#include "exflash.h"

#include <cstring>

#include "btime.h"
#include "sys_rtc.h"
#include "sys_uart.h"
#include "w25q_mem2.h"

volatile uint16_t __exflash_error = 0;

namespace {

int read_chip(void *, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len) {
    return W25Q_ReadData(buf, static_cast<u16_t>(len), static_cast<u8_t>(offset), page) == W25Q_OK
               ? 0
               : -1;
}

int read_chip_16(void *, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len) {
    return W25Q_ReadData_16(reinterpret_cast<i16_t *>(buf), static_cast<u16_t>(len),
                            static_cast<u8_t>(offset), page) == W25Q_OK
               ? 0
               : -1;
}

void print_console(void *, const char *text) {
    UART5_Printf("%s", text);
}

// As the logs' listings have always broken their stamps down: into the RTC module's
// records, overwriting the last reading.
void datetime_rtc(void *, btime_t t, exflash_datetime *out) {
    unixtime2datetime(t, &__sys_rtc_date, &__sys_rtc_time);
    out->year = __sys_rtc_date.Year;
    out->month = __sys_rtc_date.Month;
    out->day = __sys_rtc_date.Date;
    out->hours = __sys_rtc_time.Hours;
    out->minutes = __sys_rtc_time.Minutes;
    out->seconds = __sys_rtc_time.Seconds;
}

// Programs read back good since start-up: the chip's health, as the back-off sees it.
uint32_t good_programs = 0;

uint8_t zero_flags[EXFLASH_PAGE_SIZE];  // stays zero: the flag page before an erase

constexpr uint32_t kBackoffFirstMs = 1000;
constexpr uint32_t kBackoffMaxShift = 6;  // 64 s

}  // namespace

const exflash_reader exflash_chip = {read_chip, nullptr};
const exflash_reader exflash_chip_16 = {read_chip_16, nullptr};
const exflash_printer exflash_console = {print_console, datetime_rtc, nullptr};
const exflash_visitor exflash_console_listing = exflash_text_visitor(exflash_console);

void exflash_count_error(void) {
    __exflash_error = static_cast<uint16_t>(__exflash_error + 1);
}

int exflash_flags_find_point(uint32_t base_sector, uint32_t start_offset, uint32_t max_count,
                             pexflash_info info) {
    exflash_log_layout l =
        max_count == EXFLASH_LOG_STER.per_page ? EXFLASH_LOG_STER : EXFLASH_LOG_DNT;
    l.base_sector = base_sector;
    l.first_slot = start_offset;
    const int r = exflash_log_find_point(exflash_chip, l, info);
    if (r < 0)
        exflash_count_error();
    return r;
}

int exflash_flags_set(uint32_t sector, uint32_t base_page, uint32_t index) {
    uint8_t flag = EXFLASH_FLAG_USED;
    const W25Q_STATE r =
        exflash_program_checked(&flag, 1, static_cast<uint8_t>(index % EXFLASH_PAGE_SIZE),
                                sector * EXFLASH_PAGES_PER_SECTOR + base_page + index / 256);
    if (r == W25Q_OK)
        return 0;
    exflash_count_error();
    return -1;
}

W25Q_STATE exflash_program_checked(uint8_t *data, uint16_t len, uint8_t offset, uint32_t page) {
    const W25Q_STATE r = W25Q_ProgramData(data, len, offset, page);
    if (r != W25Q_OK)
        return r;
    uint8_t back[EXFLASH_PAGE_SIZE];
    if (W25Q_ReadData(back, len, offset, page) != W25Q_OK || std::memcmp(back, data, len) != 0)
        return W25Q_CHIP_IGNORE;
    ++good_programs;
    return W25Q_OK;
}

W25Q_STATE exflash_program_checked_16(int16_t *data, uint16_t len, uint8_t offset, uint32_t page) {
    const W25Q_STATE r = W25Q_ProgramData_16(data, len, offset, page);
    if (r != W25Q_OK)
        return r;
    int16_t back[EXFLASH_PAGE_SIZE / 2];
    if (W25Q_ReadData_16(back, len, offset, page) != W25Q_OK || std::memcmp(back, data, len) != 0)
        return W25Q_CHIP_IGNORE;
    ++good_programs;
    return W25Q_OK;
}

W25Q_STATE exflash_mark_sector(uint32_t sector) {
    return W25Q_ProgramData(zero_flags, EXFLASH_PAGE_SIZE, 0, sector * EXFLASH_PAGES_PER_SECTOR);
}

// The log sectors' flag pages are cleared before their erase, so that an exclean
// the power cuts short cannot leave half-erased records that read as written. A
// failed erase is said on the console; the positions in RAM are left alone (the
// console has stopped the tick; the next start-up finds the erased flag pages).
void exflash_reset(void) {
    for (uint32_t sector = 0; sector < EXFLASH_LOG_SECTORS; ++sector) {
        W25Q_STATE r = W25Q_OK;
        if (sector < EXFLASH_LOG_STER.base_sector + 2)
            r = exflash_mark_sector(sector);
        if (r == W25Q_OK)
            r = W25Q_EraseSector(sector);
        UART5_Printf("Erase %d_sector\r\n", static_cast<int>(sector));
        if (r != W25Q_OK) {
            exflash_count_error();
            UART5_Printf("Erase %d_sector failed (%d)\r\n", static_cast<int>(sector),
                         static_cast<int>(r));
        }
    }
    UART5_Printf("Erase done\r\n");
}

bool exflash_backoff_ready(const exflash_backoff *b) {
    if (b->failures == 0)
        return true;
    const uint32_t shift = b->failures - 1 < kBackoffMaxShift ? b->failures - 1 : kBackoffMaxShift;
    return HAL_GetTick() - b->since_ms >= (kBackoffFirstMs << shift);
}

bool exflash_backoff_holds_erase(const exflash_backoff *b) {
    return b->record_failed && b->good_at_failure == good_programs;
}

void exflash_backoff_failed(exflash_backoff *b, bool record) {
    if (b->failures < 0xFFFFFFFFu)
        ++b->failures;
    b->since_ms = HAL_GetTick();
    if (record) {
        b->record_failed = true;
        b->good_at_failure = good_programs;
    }
}

void exflash_backoff_ok(exflash_backoff *b) {
    b->failures = 0;
    b->record_failed = false;
}

int exflash_erase_ahead(int *mode, uint32_t sector, exflash_backoff *b) {
    switch (*mode) {
        case 1:
            if (W25Q_IsBusy() != W25Q_OK)  // busy, or the status could not be read
                return -1;
            *mode = 0;  // through 2, the erase finished
            return 0;
        case 2:
            *mode = 0;
            return 0;
        case 3: {
            const W25Q_STATE r = W25Q_EraseSectorAsync(sector);
            if (r != W25Q_OK) {
                exflash_count_error();
                exflash_backoff_failed(b, false);
                return -3;
            }
            *mode = 1;
            return -2;
        }
        default: {
            if (exflash_backoff_holds_erase(b))
                return -1;
            const W25Q_STATE r = exflash_mark_sector(sector);
            if (r != W25Q_OK) {
                exflash_count_error();
                exflash_backoff_failed(b, false);
                return -3;
            }
            *mode = 3;
            return -2;
        }
    }
}
