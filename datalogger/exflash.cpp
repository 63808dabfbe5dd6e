// The date-and-time logs.
#include "exflash.h"

#include <cstring>

#include "SensorDataTransfer.h"
#include "hs_uart5.h"
#include "main.h"
#include "w25q_mem.h"
#include "w25q_mem2.h"

DnTRecord dnt_;
uint8_t block_point = 1;
uint8_t SE_count = 0, SE_page = 0, SE_sector = 0;
uint8_t RT_count = 0, RT_page = 0, RT_sector = 2;
uint8_t start = 0;
RTC_TimeTypeDef time_;
RTC_DateTypeDef date_;

namespace {

int read_nor(void *, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len) {
    return W25Q_ReadData(buf, static_cast<u16_t>(len), static_cast<u8_t>(offset), page) == W25Q_OK
               ? 0
               : -1;
}

// One log's writer: the next slot, and whether its sector must be erased and marked
// before that slot is written. A sector is erased once, just before its first record.
struct LogWriter {
    uint32_t base;
    uint8_t &count, &page, &sector;
    bool prepare;
    bool erasing;
    uint32_t generation;
    uint8_t tries;
};

LogWriter __event = {LOGGER_EVENT_SECTOR, SE_count, SE_page, SE_sector, true, false, 1, 0};
LogWriter __periodic = {LOGGER_PERIODIC_SECTOR, RT_count, RT_page, RT_sector, true, false, 1, 0};

logger_startup __plan;
uint8_t __named_block = 0;
volatile uint32_t __dnt_thread_requests = 0;  // written by the thread
uint32_t __dnt_thread_served = 0;             // written by the tick
bool __dnt_tick_request = false;
bool __dnt_power_off_pending = false;
DnTRecord __dnt_power_off;
bool __dnt_firing_pending = false;
DnTRecord __dnt_firing;

uint32_t slot_page(const LogWriter &w) {
    return static_cast<uint32_t>(w.sector) * LOGGER_PAGES_PER_SECTOR + w.page;
}

void advance(LogWriter &w) {
    w.tries = 0;
    if (++w.count < LOGGER_SLOTS_PER_PAGE)
        return;
    w.count = 0;
    if (++w.page < LOGGER_PAGES_PER_SECTOR)
        return;
    w.page = 0;
    w.sector = static_cast<uint8_t>(w.sector == w.base ? w.base + 1 : w.base);
    w.prepare = true;
    w.generation = w.generation + 1;
}

// One chip operation towards writing `rec` at the writer's slot; true once the record
// is written, or given up after its tries.
bool write_step(LogWriter &w, const DnTRecord &rec) {
    if (w.prepare) {
        if (!w.erasing) {
            W25Q_EraseSectorAsync(w.sector);
            w.erasing = true;
            return false;
        }
        // The erase has ended (the chip is idle): the mark says the sector is whole.
        const DnTSectorMark mark = {~w.generation, LOGGER_MARK_MAGIC};
        const uint32_t first = static_cast<uint32_t>(w.sector) * LOGGER_PAGES_PER_SECTOR;
        if (exflash_program_checked(&mark, sizeof mark, LOGGER_MARK_OFFSET, first, false) != 0 &&
            ++w.tries < EXFLASH_PROGRAM_TRIES)
            return false;
        w.prepare = false;
        w.erasing = false;
        w.tries = 0;
        return false;
    }
    const uint8_t offset = static_cast<uint8_t>(w.count * sizeof(DnTRecord));
    if (exflash_program_checked(&rec, sizeof rec, offset, slot_page(w), false) != 0) {
        if (++w.tries < EXFLASH_PROGRAM_TRIES)
            return false;
        exflash_clear_slot(sizeof rec, offset, slot_page(w));
    }
    advance(w);
    return true;
}

void print_dnt(const DnTRecord &r, bool firing_format) {
    const int y = 2000 + B2D(r.year), mo = B2D(r.month), d = B2D(r.day);
    const int h = B2D(r.hours), mi = B2D(r.minutes), s = B2D(r.seconds);
    if (firing_format)
        UART5_Printf(DNT_TRIGGER_LINE_FORMAT, y, mo, d, h, mi, s, r.value);
    else
        UART5_Printf(DNT_LINE_FORMAT, r.type, y, mo, d, h, mi, s, r.value);
}

void print_page(uint32_t page, bool firing_format) {
    uint8_t buf[LOGGER_PAGE_SIZE];
    if (W25Q_ReadData(buf, LOGGER_PAGE_SIZE, 0, page) != W25Q_OK)
        std::memset(buf, 0xFF, sizeof buf);
    for (uint32_t k = 0; k < LOGGER_SLOTS_PER_PAGE; ++k) {
        DnTRecord r;
        std::memcpy(&r, buf + k * sizeof r, sizeof r);
        print_dnt(r, firing_format && r.type == DNT_TYPE_FIRING);
    }
}

void take_position(LogWriter &w, const logger_log_state &l) {
    w.sector = static_cast<uint8_t>(l.sector);
    w.page = static_cast<uint8_t>(l.page);
    w.count = static_cast<uint8_t>(l.slot);
    w.prepare = l.prepare;
    w.erasing = false;
    w.generation = l.generation;
    w.tries = 0;
}

}  // namespace

const logger_reader exflash_reader = {read_nor, nullptr};

int exflash_program_checked(const void *data, uint16_t len, uint8_t offset, uint32_t page,
                            bool wide) {
    uint8_t copy[LOGGER_PAGE_SIZE], back[LOGGER_PAGE_SIZE];
    std::memcpy(copy, data, len);
    std::memset(back, 0, len);
    const W25Q_STATE p =
        wide ? W25Q_ProgramData_16(reinterpret_cast<i16_t *>(copy), len, offset, page)
             : W25Q_ProgramData(copy, len, offset, page);
    if (p != W25Q_OK)
        return -1;
    const W25Q_STATE r = wide ? W25Q_ReadData_16(reinterpret_cast<i16_t *>(back), len, offset, page)
                              : W25Q_ReadData(back, len, offset, page);
    return r == W25Q_OK && std::memcmp(copy, back, len) == 0 ? 0 : -1;
}

void exflash_clear_slot(uint16_t len, uint8_t offset, uint32_t page) {
    uint8_t zeros[LOGGER_PAGE_SIZE] = {};
    W25Q_ProgramData(zeros, len, offset, page);
}

void DnT_FindPoint(void) {
    if (logger_plan_startup(exflash_reader, __plan) != 0) {
        // The chip answered its identity but cannot be read: start as on a fresh
        // board rather than not at all.
        UART5_Printf("DnT_FindPoint: external flash read failed\r\n");
        __plan = logger_startup{};
        __plan.event.prepare = __plan.periodic.prepare = true;
        __plan.event.generation = 1;
        __plan.block_point = LOGGER_FIRST_BLOCK;
    }
    take_position(__event, __plan.event);
}

void DnT_Init(void) {
    DnT_FindPoint();
    block_point = __plan.block_point;
    if (__plan.write_power_off) {
        __dnt_power_off = __plan.power_off;
        __dnt_power_off.type = DNT_TYPE_PERIODIC;
        __dnt_power_off_pending = true;
        DnT_Flush(3000);
    }
    // The periodic log restarts in sector 2, newer than anything either sector holds.
    uint32_t g = 0;
    for (const logger_sector_scan &s : __plan.periodic.scan)
        if (s.marked && s.generation > g)
            g = s.generation;
    __periodic.sector = LOGGER_PERIODIC_SECTOR;
    __periodic.page = __periodic.count = 0;
    __periodic.prepare = true;
    __periodic.erasing = false;
    __periodic.generation = g + 1;
    start = 1;
}

void getDnT(void) {
    HAL_RTC_GetTime(&hrtc, &time_, RTC_FORMAT_BCD);
    HAL_RTC_GetDate(&hrtc, &date_, RTC_FORMAT_BCD);
    dnt_ = DnTRecord{DNT_TYPE_PERIODIC, date_.Year,    date_.Month,   date_.Date,
                     time_.Hours,       time_.Minutes, time_.Seconds, SD_block};
}

void DnT_Write(void) {
    __dnt_thread_requests = __dnt_thread_requests + 1;
}

void DnT_WriteFromTick(void) {
    __dnt_tick_request = true;
}

// The firing record goes to the next slot as every other record does: the writer
// moves to the next page after slot 30, so a firing right after a page's last record
// starts the next page instead of landing in the page's last 8 bytes (the place of
// the sector's mark on a sector's first page). It waits in RAM until the chip is idle,
// so a firing during a block erase neither waits for the erase nor is lost.
void Trigger_Write(int type) {
    __dnt_firing = dnt_;
    __dnt_firing.type = DNT_TYPE_FIRING;
    __dnt_firing.value = static_cast<uint8_t>(type);
    __dnt_firing_pending = true;
}

bool DnT_Pending(void) {
    return __dnt_power_off_pending || __dnt_thread_requests != __dnt_thread_served ||
           __dnt_tick_request || start || __dnt_firing_pending;
}

// Order: the power-off record (start-up), a periodic record, the power-on record
// (after the first periodic record, whose time it carries), the firing record.
void DnT_Service(void) {
    if (__dnt_power_off_pending) {
        if (write_step(__event, __dnt_power_off))
            __dnt_power_off_pending = false;
    } else if (__dnt_thread_requests != __dnt_thread_served || __dnt_tick_request) {
        getDnT();
        if (write_step(__periodic, dnt_)) {
            __named_block = dnt_.value;
            __dnt_thread_served = __dnt_thread_requests;
            __dnt_tick_request = false;
        }
    } else if (start) {
        DnTRecord on = dnt_;
        on.type = DNT_TYPE_POWER_ON;
        if (write_step(__event, on))
            start = 0;
    } else if (__dnt_firing_pending) {
        if (write_step(__event, __dnt_firing))
            __dnt_firing_pending = false;
    }
}

uint8_t DnT_NamedBlock(void) {
    return __named_block;
}

void DnT_Flush(uint32_t limit_ms) {
    const uint32_t begin = HAL_GetTick();
    while (DnT_Pending() && HAL_GetTick() - begin < limit_ms) {
        if (W25Q_IsBusy() == W25Q_OK)
            DnT_Service();
        else
            HAL_Delay(1);
    }
}

void DnT_Load(void) {
    print_page(static_cast<uint32_t>(SE_sector) * LOGGER_PAGES_PER_SECTOR + SE_page, true);
    DnT_Write();
    DnT_Flush(3000);
}

void DnT_Load_All(void) {
    for (uint32_t sector = 0; sector < 2; ++sector)
        for (uint32_t page = 0; page < LOGGER_PAGES_PER_SECTOR; ++page)
            print_page(sector * LOGGER_PAGES_PER_SECTOR + page, false);
}
