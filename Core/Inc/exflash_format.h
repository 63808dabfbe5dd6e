#pragma once
// The external NOR flash as the device image lays it out: regions, record formats,
// slot positions, the slot-flag rules, position recovery and the console listings.
//
// Everything here is pure: it reads the chip through an exflash_reader and prints
// through an exflash_printer. The firmware hands it the flash driver and the
// console; the host decoder (tools/flash_decode) hands it a dump of the chip and
// stdout. So there is one definition of every record, rule and listing line, and
// the decoder prints exactly what the console prints.
//
// Map (sector = 4 KB, block = 64 KB, page = 256 bytes):
//   sectors 0, 1      power-cycle log, 8-byte records      (sys_onoff)
//   sectors 2, 3      date-and-time log, 8-byte records    (sys_dnt)
//   sectors 4, 5      status-event log, 16-byte records    (sys_ster)
//   sectors 6..15     unused, erased by exflash_reset only
//   blocks 1..510     sensor-data log, 14-byte records     (sys_sdata)
//   block 511         never written
// A two-sector log sector: page 0 holds one flag byte per slot (0xFF free, 0x7F
// used, anything else damaged), pages 1..15 the records.
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Seconds since 1970-01-01 00:00:00 of the RTC's own (local) time.
typedef uint32_t btime_t;

// ---- geometry -----------------------------------------------------------------

constexpr uint32_t EXFLASH_PAGE_SIZE = 256;
constexpr uint32_t EXFLASH_PAGES_PER_SECTOR = 16;
constexpr uint32_t EXFLASH_PAGES_PER_BLOCK = 256;
constexpr uint32_t EXFLASH_SECTORS_PER_BLOCK = 16;
constexpr uint32_t EXFLASH_SECTOR_SIZE = EXFLASH_PAGE_SIZE * EXFLASH_PAGES_PER_SECTOR;
constexpr uint32_t EXFLASH_PAGE_COUNT = 131072;
constexpr uint32_t EXFLASH_SECTOR_COUNT = EXFLASH_PAGE_COUNT / EXFLASH_PAGES_PER_SECTOR;
constexpr uint32_t EXFLASH_BLOCK_COUNT = EXFLASH_PAGE_COUNT / EXFLASH_PAGES_PER_BLOCK;
constexpr uint32_t EXFLASH_SIZE = EXFLASH_PAGE_COUNT * EXFLASH_PAGE_SIZE;  // 32 MiB
constexpr uint32_t EXFLASH_LOG_SECTORS = 16;  // block 0: the event logs and the unused sectors

constexpr uint8_t EXFLASH_FLAG_FREE = 0xFF;
constexpr uint8_t EXFLASH_FLAG_USED = 0x7F;

// Next write position of a log. Two-sector logs: `sector` is absolute, `page` and
// `count` number the slot (slot = page x records per page + count), `block` is 0.
// Sensor-data log: block 1..510, sector 0..15, page 0..15, count 0..17.
struct exflash_info {
    uint32_t block;
    uint32_t sector;
    uint32_t page;
    uint32_t count;
};
typedef exflash_info *pexflash_info;

// ---- records (little-endian, stored as laid out here) ----------------------------

// Date-and-time and power-cycle logs. `power` is the record kind: 0 heartbeat (or, in
// the power-cycle log, the last heartbeat of the previous run), 1 power-on, 2 firing
// (`block` then holds the trigger type); −1 in an erased slot.
struct sys_dnt_data {
    btime_t check_time;
    int8_t power;
    uint8_t battery;
    uint16_t block;
};
typedef sys_dnt_data *psys_dnt_data;
static_assert(sizeof(sys_dnt_data) == 8 && offsetof(sys_dnt_data, power) == 4 &&
                  offsetof(sys_dnt_data, battery) == 5 && offsetof(sys_dnt_data, block) == 6,
              "the 8-byte record of the date-and-time and power-cycle logs");

// Status-event log, one record every 5 minutes. `time_interval` is the snapshot
// interval minus 300000 ms; the counters are running totals since start-up.
struct sys_ster_data {
    btime_t check_time;
    uint16_t data_type;
    int16_t time_interval;
    uint16_t battery_level;
    uint16_t uart_counter;
    uint16_t imu_error;
    uint16_t exflash_error;
};
static_assert(sizeof(sys_ster_data) == 16 && offsetof(sys_ster_data, time_interval) == 6 &&
                  offsetof(sys_ster_data, exflash_error) == 14,
              "the 16-byte status-event record");

// Sensor-data log: one motion sample, the first 14 bytes of a ring record.
struct SensorData_TypeDef {
    int16_t num;
    int16_t accX;
    int16_t accY;
    int16_t accZ;
    int16_t gyroX;
    int16_t gyroY;
    int16_t gyroZ;
};
static_assert(sizeof(SensorData_TypeDef) == 14, "the 14-byte sensor-data record");

constexpr uint32_t SYS_SDATA_FIRST_BLOCK = 1;
constexpr uint32_t SYS_SDATA_LAST_BLOCK = 510;
constexpr uint32_t SYS_SDATA_RECORD_SIZE = sizeof(SensorData_TypeDef);
constexpr uint32_t SYS_SDATA_PER_PAGE = 18;  // bytes 252..255 of a page stay erased
constexpr uint32_t SYS_SDATA_PER_BLOCK = SYS_SDATA_PER_PAGE * EXFLASH_PAGES_PER_BLOCK;  // 4608

// ---- console lines ------------------------------------------------------------

#define EXFLASH_TIME_FORMAT "%04d-%02d-%02d %02d:%02d:%02d"
#define SYS_DNT_LINE_FORMAT "%d%03d  time[%d] :  %s %3d  B:%d\r\n"
#define SYS_DNT_TRIGGER_LINE_FORMAT "%d%03d  time[T] :  %s %3d  T:%d\r\n"
#define SYS_STER_LINE_FORMAT "%d%03d  " EXFLASH_TIME_FORMAT "  %d, %d, %d, %d, %d\r\n"
#define SYS_SDATA_BLOCK_FORMAT "SD_block %d\r\n"
#define SYS_SDATA_LINE_FORMAT "%02d,%02d,%02d,%02d,%02d,%02d,%02d \r\n"
#define SYS_SDATA_STREAM_END \
    "STREAM_END!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\r\n"
#define SYS_SDATA_END \
    "END!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\r\n"

// ---- how the rules reach the chip and the console ---------------------------------

// Reads `len` bytes (1..256, not crossing the page) at `offset` of page `page`;
// 0 on success.
struct exflash_reader {
    int (*read)(void *ctx, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len);
    void *ctx;
};

// A time stamp broken down as the RTC's calendar records hold it: the year as the
// RTC's one byte of years since 2000, so every listing shows the same text for the
// same stamp, whoever prints it.
struct exflash_datetime {
    uint8_t year;
    uint8_t month;
    uint8_t day;
    uint8_t hours;
    uint8_t minutes;
    uint8_t seconds;
};

struct exflash_printer {
    void (*print)(void *ctx, const char *text);
    void (*datetime)(void *ctx, btime_t t, exflash_datetime *out);
    void *ctx;
};

// ---- the two-sector logs -------------------------------------------------------

enum exflash_log_kind : uint8_t { EXFLASH_LOG_8B, EXFLASH_LOG_16B };

struct exflash_log_layout {
    exflash_log_kind kind;
    uint32_t base_sector;      // the pair is base_sector and base_sector + 1
    uint32_t first_slot;       // flag bytes before it are not slots
    uint32_t per_page;         // records per page
    uint32_t record_size;      // bytes
    uint32_t first_data_page;  // page of the sector holding info.page 0
};

constexpr exflash_log_layout EXFLASH_LOG_ONOFF = {EXFLASH_LOG_8B, 0, 0, 32, 8, 1};
constexpr exflash_log_layout EXFLASH_LOG_DNT = {EXFLASH_LOG_8B, 2, 0, 32, 8, 1};
constexpr exflash_log_layout EXFLASH_LOG_STER = {EXFLASH_LOG_16B, 4, 16, 16, 16, 0};

inline uint32_t exflash_slot_page(const exflash_log_layout &l, uint32_t sector, uint32_t slot) {
    return sector * EXFLASH_PAGES_PER_SECTOR + l.first_data_page + slot / l.per_page;
}
inline uint32_t exflash_slot_offset(const exflash_log_layout &l, uint32_t slot) {
    return (slot % l.per_page) * l.record_size;
}
inline uint32_t exflash_other_sector(const exflash_log_layout &l, uint32_t sector) {
    return sector == l.base_sector ? l.base_sector + 1 : l.base_sector;
}

inline bool exflash_is_erased(const uint8_t *p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        if (p[i] != 0xFF)
            return false;
    return true;
}

// Scan of a flag page from `start_offset`: the first free flag, −1 at a damaged
// flag before it, or `len` when every flag is used.
inline int exflash_flags_check(uint8_t *flags, uint32_t start_offset, uint32_t len) {
    for (uint32_t i = start_offset; i < len; ++i) {
        if (flags[i] == EXFLASH_FLAG_FREE)
            return static_cast<int>(i);
        if (flags[i] != EXFLASH_FLAG_USED)
            return -1;
    }
    return static_cast<int>(len);
}

// What a flag page says about its sector. A page is damaged when any slot's flag
// is neither free nor used: a flag the chip has corrupted, or a page that was
// cleared to zeros before an erase the power cut short (exflash_erase_log_sector).
struct exflash_flag_page {
    bool damaged;
    int last_used;  // highest used slot, −1 when none
    uint32_t used;  // number of used slots
};

inline exflash_flag_page exflash_flags_classify(const uint8_t *flags, const exflash_log_layout &l) {
    exflash_flag_page r = {false, -1, 0};
    for (uint32_t i = l.first_slot; i < EXFLASH_PAGE_SIZE; ++i) {
        if (flags[i] == EXFLASH_FLAG_USED) {
            r.last_used = static_cast<int>(i);
            ++r.used;
        } else if (flags[i] != EXFLASH_FLAG_FREE) {
            r.damaged = true;
        }
    }
    return r;
}

inline int exflash_read_flags(const exflash_reader &r, uint32_t sector, uint8_t *flags) {
    return r.read(r.ctx, sector * EXFLASH_PAGES_PER_SECTOR, 0, flags, EXFLASH_PAGE_SIZE);
}

inline int exflash_read_slot(const exflash_reader &r, const exflash_log_layout &l, uint32_t sector,
                             uint32_t slot, uint8_t *rec) {
    return r.read(r.ctx, exflash_slot_page(l, sector, slot), exflash_slot_offset(l, slot), rec,
                  l.record_size);
}

inline void exflash_slot_to_info(const exflash_log_layout &l, uint32_t sector, uint32_t slot,
                                 exflash_info *info) {
    info->sector = sector;
    info->page = slot / l.per_page;
    info->count = slot % l.per_page;
}

// A record the listings show: a heartbeat, power-on or firing record, or a
// status-event snapshot. Erased slots, and slots a failed program left erased,
// are not records.
inline bool exflash_record_valid(const exflash_log_layout &l, const uint8_t *rec) {
    if (l.kind == EXFLASH_LOG_8B)
        return reinterpret_cast<const sys_dnt_data *>(rec)->power != -1;
    const sys_ster_data *s = reinterpret_cast<const sys_ster_data *>(rec);
    return s->check_time != 0xFFFFFFFFu && s->data_type == 0;
}

// Start-up recovery of a log's write position from its two flag pages: 0 with
// `info` set, −1 when a page cannot be read, 256 when both sectors are full (the
// caller then picks the older one, exflash_log_older_sector).
//
// For each sector, lower first: a damaged page, or a sector without a used slot,
// is (re)erased before its first record: position page 0, count 0. Otherwise the
// position is the first slot after the last used one whose record area still reads
// erased; a slot with data under a free flag holds the record the power cut before
// its flag was written, and nothing is ever programmed over it. A sector with no
// such slot is full.
inline int exflash_log_find_point(const exflash_reader &r, const exflash_log_layout &l,
                                  exflash_info *info) {
    uint8_t flags[EXFLASH_PAGE_SIZE];
    uint8_t rec[16];
    for (uint32_t s = l.base_sector; s <= l.base_sector + 1; ++s) {
        if (exflash_read_flags(r, s, flags) != 0)
            return -1;
        const exflash_flag_page f = exflash_flags_classify(flags, l);
        if (f.damaged || f.last_used < 0) {
            exflash_slot_to_info(l, s, 0, info);
            return 0;
        }
        for (uint32_t i = static_cast<uint32_t>(f.last_used) + 1; i < EXFLASH_PAGE_SIZE; ++i) {
            if (exflash_read_slot(r, l, s, i, rec) != 0)
                return -1;
            if (exflash_is_erased(rec, l.record_size)) {
                exflash_slot_to_info(l, s, i, info);
                return 0;
            }
        }
    }
    return 256;
}

// The first record of a sector that can be read as a record (used flag, valid
// content); 1 when found, 0 when the sector has none, −1 on a read error.
inline int exflash_first_record(const exflash_reader &r, const exflash_log_layout &l,
                                uint32_t sector, uint8_t *rec) {
    uint8_t flags[EXFLASH_PAGE_SIZE];
    if (exflash_read_flags(r, sector, flags) != 0)
        return -1;
    for (uint32_t i = l.first_slot; i < EXFLASH_PAGE_SIZE; ++i) {
        if (flags[i] != EXFLASH_FLAG_USED)
            continue;
        if (exflash_read_slot(r, l, sector, i, rec) != 0)
            return -1;
        if (exflash_record_valid(l, rec))
            return 1;
    }
    return 0;
}

// Both sectors full: the one whose first readable record is older is reused
// (position page 0, count 0; its erase comes first). A sector without a readable
// record holds nothing to lose and is reused before one that has; equal times
// pick the base sector. 0, or −1 on a read error.
inline int exflash_log_older_sector(const exflash_reader &r, const exflash_log_layout &l,
                                    exflash_info *info) {
    uint8_t a[16], b[16];
    const int has_a = exflash_first_record(r, l, l.base_sector, a);
    const int has_b = exflash_first_record(r, l, l.base_sector + 1, b);
    if (has_a < 0 || has_b < 0)
        return -1;
    bool upper;
    if (!has_a || !has_b) {
        upper = has_a && !has_b;
    } else if (l.kind == EXFLASH_LOG_8B) {
        // Signed difference of the times, as sys_dnt_compare_time has it.
        const btime_t ta = reinterpret_cast<const sys_dnt_data *>(a)->check_time;
        const btime_t tb = reinterpret_cast<const sys_dnt_data *>(b)->check_time;
        upper = static_cast<int32_t>(ta - tb) > 0;
    } else {
        upper = reinterpret_cast<const sys_ster_data *>(b)->check_time <
                reinterpret_cast<const sys_ster_data *>(a)->check_time;
    }
    exflash_slot_to_info(l, upper ? l.base_sector + 1 : l.base_sector, 0, info);
    return 0;
}

// The newest record before the position: slots with a used flag and valid content,
// searched backwards through the current sector and then the other one (unless its
// flags are damaged). Slots a failed program left erased are passed over. 0 with
// the record in `rec` (all 0xFF when the log holds none), −1 on a read error.
inline int exflash_log_last_record(const exflash_reader &r, const exflash_log_layout &l,
                                   const exflash_info &pos, uint8_t *rec) {
    uint8_t flags[EXFLASH_PAGE_SIZE];
    uint32_t sector = pos.sector;
    uint32_t end = pos.page * l.per_page + pos.count;  // slots below this one
    for (int pass = 0; pass < 2; ++pass) {
        if (exflash_read_flags(r, sector, flags) != 0)
            return -1;
        if (pass == 1 && exflash_flags_classify(flags, l).damaged)
            break;
        for (uint32_t i = end; i-- > l.first_slot;) {
            if (flags[i] != EXFLASH_FLAG_USED)
                continue;
            if (exflash_read_slot(r, l, sector, i, rec) != 0)
                return -1;
            if (exflash_record_valid(l, rec))
                return 0;
        }
        sector = exflash_other_sector(l, sector);
        end = EXFLASH_PAGE_SIZE;
    }
    for (uint32_t i = 0; i < l.record_size; ++i) rec[i] = 0xFF;
    return 0;
}

// The sensor-data block a start-up opens after the one the last heartbeat names:
// the next one in the ring 1..510 (an erased heartbeat, block 0xFFFF, gives 1).
inline uint32_t exflash_sdata_next_block(uint32_t last_block) {
    const uint32_t b = last_block + 1;
    return b >= SYS_SDATA_LAST_BLOCK + 1 ? SYS_SDATA_FIRST_BLOCK : b;
}

// ---- listings -----------------------------------------------------------------
//
// A listing walks a log and hands each record it shows to a visitor; the console's
// text is one visitor (exflash_text_visitor), the decoder's CSV and JSON are others,
// so every output shows the same records.

struct exflash_visitor {
    void (*dnt)(void *ctx, uint32_t sector, uint32_t slot, const sys_dnt_data &d);
    void (*ster)(void *ctx, uint32_t sector, uint32_t index, const sys_ster_data &s);
    void (*sdata_block)(void *ctx, uint32_t block);
    void (*sdata)(void *ctx, uint32_t block, uint32_t index, const SensorData_TypeDef &d);
    void (*sdata_stream_end)(void *ctx, uint32_t block);
    void (*sdata_end)(void *ctx);
    void *ctx;
};

// Lists slots of an 8-byte log sector (0..15) whose flag is used and whose record
// is valid; only the last `num` used slots when `num` is not 0. A page with damaged
// flags lists nothing: its records are about to be erased, or half erased.
inline void exflash_list_dnt_sector(const exflash_reader &r, const exflash_visitor &v,
                                    uint32_t sector, uint32_t num) {
    if (sector >= EXFLASH_LOG_SECTORS)
        return;
    const exflash_log_layout &l = EXFLASH_LOG_DNT;  // both 8-byte logs share the layout
    uint8_t flags[EXFLASH_PAGE_SIZE];
    if (exflash_read_flags(r, sector, flags) != 0)
        return;
    const exflash_flag_page f = exflash_flags_classify(flags, l);
    if (f.damaged)
        return;
    uint32_t skip = num != 0 && f.used > num ? f.used - num : 0;
    for (uint32_t i = 0; i < EXFLASH_PAGE_SIZE; ++i) {
        if (flags[i] != EXFLASH_FLAG_USED)
            continue;
        if (skip) {
            --skip;
            continue;
        }
        sys_dnt_data d;
        if (exflash_read_slot(r, l, sector, i, reinterpret_cast<uint8_t *>(&d)) != 0)
            continue;
        if (exflash_record_valid(l, reinterpret_cast<const uint8_t *>(&d)))
            v.dnt(v.ctx, sector, i, d);
    }
}

// Lists the snapshots of a status-event sector (0..15) under used flags; indexes
// count from the first data page (0..239).
inline void exflash_list_ster_sector(const exflash_reader &r, const exflash_visitor &v,
                                     uint32_t sector) {
    if (sector >= EXFLASH_LOG_SECTORS)
        return;
    const exflash_log_layout &l = EXFLASH_LOG_STER;
    uint8_t flags[EXFLASH_PAGE_SIZE];
    if (exflash_read_flags(r, sector, flags) != 0)
        return;
    if (exflash_flags_classify(flags, l).damaged)
        return;
    for (uint32_t i = l.first_slot; i < EXFLASH_PAGE_SIZE; ++i) {
        if (flags[i] != EXFLASH_FLAG_USED)
            continue;
        sys_ster_data s;
        if (exflash_read_slot(r, l, sector, i, reinterpret_cast<uint8_t *>(&s)) != 0)
            continue;
        if (exflash_record_valid(l, reinterpret_cast<const uint8_t *>(&s)))
            v.ster(v.ctx, sector, i - l.first_slot, s);
    }
}

inline uint32_t exflash_sdata_page(uint32_t block, uint32_t index) {
    return block * EXFLASH_PAGES_PER_BLOCK + index / SYS_SDATA_PER_PAGE;
}
inline uint32_t exflash_sdata_offset(uint32_t index) {
    return index % SYS_SDATA_PER_PAGE * SYS_SDATA_RECORD_SIZE;
}

// The first record at or after `index` of the block that holds data, or
// SYS_SDATA_PER_BLOCK when the rest of the block is erased (the written part has
// ended). Reads whole pages, the cheapest way over the bus; what cannot be read
// counts as erased, since it cannot be listed either.
inline uint32_t exflash_sdata_next_data(const exflash_reader &r, uint32_t block, uint32_t index) {
    uint8_t page[EXFLASH_PAGE_SIZE];
    while (index < SYS_SDATA_PER_BLOCK) {
        const uint32_t n = SYS_SDATA_PER_PAGE - index % SYS_SDATA_PER_PAGE;
        if (r.read(r.ctx, exflash_sdata_page(block, index), exflash_sdata_offset(index), page,
                   n * SYS_SDATA_RECORD_SIZE) == 0) {
            for (uint32_t k = 0; k < n; ++k)
                if (!exflash_is_erased(page + k * SYS_SDATA_RECORD_SIZE, SYS_SDATA_RECORD_SIZE))
                    return index + k;
        }
        index += n;
    }
    return SYS_SDATA_PER_BLOCK;
}

// Lists sensor-data blocks start..end (wrapping from 510 to 1): -1 without output
// unless both lie in 1..510. An erased record ends a block's listing only when the
// rest of the block is erased too: a slot a failed program left erased is passed
// over. The end-of-stream mark follows a block's records once any record has been
// listed in this call. `opening`, when not 0, is the block a start-up has chosen
// but not yet erased: what it holds is the ring's stale past or an erase the power
// cut short, so only its heading is shown.
inline int exflash_list_sdata(const exflash_reader &r, const exflash_visitor &v, int start_block,
                              int end_block, uint32_t opening) {
    const int first = static_cast<int>(SYS_SDATA_FIRST_BLOCK);
    const int last = static_cast<int>(SYS_SDATA_LAST_BLOCK);
    if (start_block < first || start_block > last || end_block < first || end_block > last)
        return -1;
    uint32_t listed = 0;
    uint32_t b = static_cast<uint32_t>(start_block);
    for (;;) {
        v.sdata_block(v.ctx, b);
        for (uint32_t i = 0; b != opening && i < SYS_SDATA_PER_BLOCK; ++i) {
            SensorData_TypeDef d;
            if (r.read(r.ctx, exflash_sdata_page(b, i), exflash_sdata_offset(i),
                       reinterpret_cast<uint8_t *>(&d), SYS_SDATA_RECORD_SIZE) != 0)
                continue;
            if (exflash_is_erased(reinterpret_cast<const uint8_t *>(&d), SYS_SDATA_RECORD_SIZE)) {
                const uint32_t next = exflash_sdata_next_data(r, b, i + 1);
                if (next < SYS_SDATA_PER_BLOCK) {
                    i = next - 1;  // a gap left by failed programs: go on after it
                    continue;
                }
                if (listed >= 1)
                    v.sdata_stream_end(v.ctx, b);
                break;
            }
            v.sdata(v.ctx, b, i, d);
            ++listed;
        }
        if (b == static_cast<uint32_t>(end_block))
            break;
        b = b == SYS_SDATA_LAST_BLOCK ? SYS_SDATA_FIRST_BLOCK : b + 1;
    }
    v.sdata_end(v.ctx);
    return 0;
}

// ---- the console's text ----------------------------------------------------------

// Formats one line (the listings' lines are far below the console's 144 characters)
// and hands it to the printer; a macro, so that the compiler checks every format.
#define exflash_printf(p, ...)                                           \
    do {                                                                 \
        char exflash_line_[192];                                         \
        std::snprintf(exflash_line_, sizeof exflash_line_, __VA_ARGS__); \
        (p).print((p).ctx, exflash_line_);                               \
    } while (0)

inline void exflash_text_dnt(void *ctx, uint32_t sector, uint32_t slot, const sys_dnt_data &d) {
    const exflash_printer &p = *static_cast<const exflash_printer *>(ctx);
    exflash_datetime t;
    p.datetime(p.ctx, d.check_time, &t);
    char when[32];
    std::snprintf(when, sizeof when, EXFLASH_TIME_FORMAT, t.year + 2000, t.month, t.day, t.hours,
                  t.minutes, t.seconds);
    if (d.power == 2)
        exflash_printf(p, SYS_DNT_TRIGGER_LINE_FORMAT, static_cast<int>(sector),
                       static_cast<int>(slot), when, d.battery, d.block);
    else
        exflash_printf(p, SYS_DNT_LINE_FORMAT, static_cast<int>(sector), static_cast<int>(slot),
                       d.power, when, d.battery, d.block);
}

inline void exflash_text_ster(void *ctx, uint32_t sector, uint32_t index, const sys_ster_data &s) {
    const exflash_printer &p = *static_cast<const exflash_printer *>(ctx);
    exflash_datetime t;
    p.datetime(p.ctx, s.check_time, &t);
    exflash_printf(p, SYS_STER_LINE_FORMAT, static_cast<int>(sector), static_cast<int>(index),
                   t.year + 2000, t.month, t.day, t.hours, t.minutes, t.seconds, s.time_interval,
                   s.battery_level, s.uart_counter, s.imu_error, s.exflash_error);
}

inline void exflash_text_sdata_block(void *ctx, uint32_t block) {
    const exflash_printer &p = *static_cast<const exflash_printer *>(ctx);
    exflash_printf(p, SYS_SDATA_BLOCK_FORMAT, static_cast<int>(block));
}

inline void exflash_text_sdata(void *ctx, uint32_t, uint32_t, const SensorData_TypeDef &d) {
    const exflash_printer &p = *static_cast<const exflash_printer *>(ctx);
    exflash_printf(p, SYS_SDATA_LINE_FORMAT, d.num, d.accX, d.accY, d.accZ, d.gyroX, d.gyroY,
                   d.gyroZ);
}

inline void exflash_text_sdata_stream_end(void *ctx, uint32_t) {
    const exflash_printer &p = *static_cast<const exflash_printer *>(ctx);
    p.print(p.ctx, SYS_SDATA_STREAM_END);
}

inline void exflash_text_sdata_end(void *ctx) {
    const exflash_printer &p = *static_cast<const exflash_printer *>(ctx);
    p.print(p.ctx, SYS_SDATA_END);
}

// The listings as the console prints them, through `p` (which must outlive it).
constexpr exflash_visitor exflash_text_visitor(const exflash_printer &p) {
    return {exflash_text_dnt,
            exflash_text_ster,
            exflash_text_sdata_block,
            exflash_text_sdata,
            exflash_text_sdata_stream_end,
            exflash_text_sdata_end,
            const_cast<exflash_printer *>(&p)};
}
