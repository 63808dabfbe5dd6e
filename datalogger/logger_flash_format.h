#pragma once
// The data-logging image's storage as laid out on the chips: the external NOR flash
// (date-and-time logs in block 0, the sample log in blocks 1..250) and the trigger
// snapshot in the last 4 KB of the internal flash. Record formats, positions, the
// start-up rules that find where to continue, and the text lines the console prints.
//
// Everything here is pure: it reads the NOR chip through a logger_reader. The
// firmware hands it the flash driver, the host decoder (tools/flash_decode) a dump of
// the chip, so both read the logs by the same rules and print the same lines.
//
// NOR map (page = 256 bytes, sector = 16 pages, block = 256 pages):
//   pages 0..31    event log: sectors 0 and 1, power-off, power-on and firing records
//   pages 32..63   periodic log: sectors 2 and 3, a record every 30 s and at every new
//                  sample block; restarted in sector 2 at every power-up
//   pages 64..255  not used
//   blocks 1..250  sample log, 18 records of 14 bytes per page (bytes 252..255 erased)
//   blocks 251..   not used
// A log page holds 31 records of 8 bytes (slot k at offset 8k). The last 8 bytes of
// each sector's first page hold the sector's mark (below); those of its other pages
// stay erased.
#include <cstddef>
#include <cstdint>
#include <cstring>

// ---- geometry -----------------------------------------------------------------

constexpr uint32_t LOGGER_PAGE_SIZE = 256;
constexpr uint32_t LOGGER_PAGES_PER_SECTOR = 16;
constexpr uint32_t LOGGER_PAGES_PER_BLOCK = 256;
constexpr uint32_t LOGGER_PAGE_COUNT = 131072;  // 32 MiB

constexpr uint32_t LOGGER_EVENT_SECTOR = 0;     // sectors 0 and 1
constexpr uint32_t LOGGER_PERIODIC_SECTOR = 2;  // sectors 2 and 3
constexpr uint32_t LOGGER_SLOTS_PER_PAGE = 31;
constexpr uint32_t LOGGER_SLOTS_PER_SECTOR = LOGGER_SLOTS_PER_PAGE * LOGGER_PAGES_PER_SECTOR;
constexpr uint32_t LOGGER_MARK_OFFSET = 248;  // in the sector's first page

constexpr uint32_t LOGGER_FIRST_BLOCK = 1;
constexpr uint32_t LOGGER_LAST_BLOCK = 250;
constexpr uint32_t LOGGER_RECORDS_PER_PAGE = 18;
constexpr uint32_t LOGGER_RECORDS_PER_BLOCK = LOGGER_RECORDS_PER_PAGE * LOGGER_PAGES_PER_BLOCK;

// ---- records (little-endian, as laid out here) ---------------------------------

// Date-and-time record of the event and periodic logs. Date and time are the RTC's
// packed BCD; `value` is the sample block being written (types 0 and 1) or the
// trigger type (type 2).
struct DnTRecord {
    uint8_t type;
    uint8_t year;  // within the century (printed as 2000 + year)
    uint8_t month;
    uint8_t day;
    uint8_t hours;  // 24 h
    uint8_t minutes;
    uint8_t seconds;
    uint8_t value;
};
static_assert(sizeof(DnTRecord) == 8, "the 8-byte date-and-time record");

constexpr uint8_t DNT_TYPE_PERIODIC = 0;  // also the power-off record
constexpr uint8_t DNT_TYPE_POWER_ON = 1;
constexpr uint8_t DNT_TYPE_FIRING = 2;
constexpr uint8_t DNT_TYPE_ERASED = 0xFF;

// One motion sample with its sequence stamp, the same in RAM and in flash.
struct SensorData_TypeDef {
    int16_t num;
    int16_t accX;
    int16_t accY;
    int16_t accZ;
    int16_t gyroX;
    int16_t gyroY;
    int16_t gyroZ;
};
static_assert(sizeof(SensorData_TypeDef) == 14, "the 14-byte sample record");

// A log sector's mark, written right after the sector's erase and before its first
// record. The magic says the erase was whole; the generation orders the two sectors
// of a log (the newer one holds the write position). The generation is stored
// inverted and before the magic, so that a cut erase (which only raises bits) can
// only make a generation look older, and a mark cut while being programmed has no
// magic.
struct DnTSectorMark {
    uint32_t generation_inv;
    uint32_t magic;
};
static_assert(sizeof(DnTSectorMark) == 8, "the sector mark fills the page's last 8 bytes");
constexpr uint32_t LOGGER_MARK_MAGIC = 0x474F4C44u;  // "DLOG" on the chip

// ---- console lines --------------------------------------------------------------

#define DNT_LINE_FORMAT "time[%d] :  %04d-%02d-%02d %02d:%02d:%02d  B:%d\r\n"
#define DNT_TRIGGER_LINE_FORMAT "time[T] :  %04d-%02d-%02d %02d:%02d:%02d  T:%d\r\n"
#define SD_BLOCK_FORMAT "SD_block %d\r\n"
#define SD_LINE_FORMAT "%02d,%02d,%02d,%02d,%02d,%02d,%02d \r\n"
#define SD_END_LINE \
    "END!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\r\n"
#define SNAPSHOT_TITLE_LINE "LoadFlashData............\r\n"
#define SNAPSHOT_BATT_FORMAT "batt=%d \r\n"
#define SNAPSHOT_TRIGGER_FORMAT "Trigger=%d \r\n"

// ---- reading the NOR chip --------------------------------------------------------

// Reads `len` bytes (1..256, not crossing the page end) at `offset` of page `page`;
// 0 on success.
struct logger_reader {
    int (*read)(void *ctx, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len);
    void *ctx;
};

inline uint8_t logger_b2d(uint8_t v) {
    return static_cast<uint8_t>((v & 0x0F) + 10 * (v >> 4));
}

inline bool logger_bcd_ok(uint8_t v, uint8_t lo, uint8_t hi) {
    return (v & 0x0F) <= 9 && (v >> 4) <= 9 && logger_b2d(v) >= lo && logger_b2d(v) <= hi;
}

// A record some writer of this image writes: a known type, a calendar date and time,
// and for power-off, periodic and power-on records a sample block of the ring.
inline bool logger_dnt_valid(const DnTRecord &r) {
    if (r.type > DNT_TYPE_FIRING)
        return false;
    if (!logger_bcd_ok(r.year, 0, 99) || !logger_bcd_ok(r.month, 1, 12) ||
        !logger_bcd_ok(r.day, 1, 31) || !logger_bcd_ok(r.hours, 0, 23) ||
        !logger_bcd_ok(r.minutes, 0, 59) || !logger_bcd_ok(r.seconds, 0, 59))
        return false;
    if (r.type == DNT_TYPE_FIRING)
        return r.value != 0;
    return r.value >= LOGGER_FIRST_BLOCK && r.value <= LOGGER_LAST_BLOCK;
}

inline bool logger_erased(const uint8_t *p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        if (p[i] != 0xFF)
            return false;
    return true;
}

// The block after `b` in the ring 1..250; a damaged value (0, 251..255) has none: 0.
inline uint8_t logger_next_block(uint32_t b) {
    if (b < LOGGER_FIRST_BLOCK || b > LOGGER_LAST_BLOCK)
        return 0;
    return static_cast<uint8_t>(b == LOGGER_LAST_BLOCK ? LOGGER_FIRST_BLOCK : b + 1);
}

// ---- the two-sector logs ---------------------------------------------------------

// What one sector of a log holds. Records are written in slot order; `used` counts
// the slots before the first erased one (a slot a failed program left is cleared to
// zeros and counts as used). `last_valid` is the last of them that holds a record
// (−1 when none).
struct logger_sector_scan {
    bool marked;
    uint32_t generation;
    uint32_t used;
    int32_t last_valid;
    DnTRecord last;
};

// A log's state at start-up: its two sectors, the newer one (−1 when neither has a
// whole mark: the log is empty), where the next record goes, and its newest record.
struct logger_log_state {
    uint32_t base_sector;
    logger_sector_scan scan[2];
    int current;
    // Next write position (absolute sector, page within it, slot within the page).
    // `prepare`: the sector must be erased and marked with `generation` first.
    uint32_t sector, page, slot;
    bool prepare;
    uint32_t generation;
    bool has_newest;
    DnTRecord newest;
};

inline int logger_scan_sector(const logger_reader &r, uint32_t sector, logger_sector_scan &s) {
    s = logger_sector_scan{false, 0, 0, -1, DnTRecord{}};
    uint8_t page[LOGGER_PAGE_SIZE];
    bool ended = false;
    for (uint32_t p = 0; p < LOGGER_PAGES_PER_SECTOR && !ended; ++p) {
        if (r.read(r.ctx, sector * LOGGER_PAGES_PER_SECTOR + p, 0, page, LOGGER_PAGE_SIZE) != 0)
            return -1;
        if (p == 0) {
            DnTSectorMark m;
            std::memcpy(&m, page + LOGGER_MARK_OFFSET, sizeof m);
            s.marked = m.magic == LOGGER_MARK_MAGIC;
            s.generation = ~m.generation_inv;
        }
        for (uint32_t k = 0; k < LOGGER_SLOTS_PER_PAGE; ++k) {
            const uint8_t *rec = page + k * sizeof(DnTRecord);
            if (rec[0] == DNT_TYPE_ERASED) {
                ended = true;
                break;
            }
            DnTRecord d;
            std::memcpy(&d, rec, sizeof d);
            if (logger_dnt_valid(d)) {
                s.last_valid = static_cast<int32_t>(s.used);
                s.last = d;
            }
            ++s.used;
        }
    }
    return 0;
}

// Finds a log's state. A sector without a whole mark is taken as not holding the log:
// an erase the power cut short, never completed, or stale data of the old layout; it
// is erased before it is written.
inline int logger_find_log(const logger_reader &r, uint32_t base_sector, logger_log_state &l) {
    l = logger_log_state{};
    l.base_sector = base_sector;
    for (int i = 0; i < 2; ++i)
        if (logger_scan_sector(r, base_sector + static_cast<uint32_t>(i), l.scan[i]) != 0)
            return -1;
    l.current = -1;
    for (int i = 0; i < 2; ++i)
        if (l.scan[i].marked &&
            (l.current < 0 || l.scan[i].generation > l.scan[l.current].generation))
            l.current = i;
    if (l.current < 0) {
        l.sector = base_sector;
        l.page = l.slot = 0;
        l.prepare = true;
        l.generation = 1;
        return 0;
    }
    const logger_sector_scan &c = l.scan[l.current];
    const logger_sector_scan &o = l.scan[1 - l.current];
    if (c.used < LOGGER_SLOTS_PER_SECTOR) {
        l.sector = base_sector + static_cast<uint32_t>(l.current);
        l.page = c.used / LOGGER_SLOTS_PER_PAGE;
        l.slot = c.used % LOGGER_SLOTS_PER_PAGE;
        l.prepare = false;
        l.generation = c.generation;
    } else {
        l.sector = base_sector + static_cast<uint32_t>(1 - l.current);
        l.page = l.slot = 0;
        l.prepare = true;
        l.generation = c.generation + 1;
    }
    if (c.last_valid >= 0) {
        l.has_newest = true;
        l.newest = c.last;
    } else if (o.marked && o.generation < c.generation && o.last_valid >= 0) {
        l.has_newest = true;
        l.newest = o.last;
    }
    return 0;
}

// Where a power-up continues, and why.
enum logger_block_source : uint8_t {
    LOGGER_FROM_NOTHING,    // no record names a block: a fresh board, block 1
    LOGGER_FROM_PERIODIC,   // the last periodic record of the previous power-up
    LOGGER_FROM_POWER_OFF,  // the previous power-up ended before its power-on record
    LOGGER_FROM_POWER_ON,   // no periodic record survives: the power-on record's block
};

struct logger_startup {
    logger_log_state event;
    logger_log_state periodic;
    logger_block_source source;
    uint8_t last_block;   // the block the previous power-ups wrote last, 0 = none
    uint8_t block_point;  // the first block of this power-up, 1..250
    bool write_power_off;
    DnTRecord power_off;  // the record to append to the event log
};

// The newest record of `type` in the event log (current sector, then the older one).
inline int logger_find_newest_of_type(const logger_reader &r, const logger_log_state &e,
                                      uint8_t type, DnTRecord &out) {
    if (e.current < 0)
        return 0;
    const int order[2] = {e.current, 1 - e.current};
    uint8_t page[LOGGER_PAGE_SIZE];
    for (int n = 0; n < 2; ++n) {
        const int i = order[n];
        const logger_sector_scan &s = e.scan[i];
        if (!s.marked || (n == 1 && s.generation >= e.scan[e.current].generation))
            continue;
        for (int32_t k = static_cast<int32_t>(s.used) - 1; k >= 0; --k) {
            const uint32_t p = static_cast<uint32_t>(k) / LOGGER_SLOTS_PER_PAGE;
            if (r.read(r.ctx,
                       (e.base_sector + static_cast<uint32_t>(i)) * LOGGER_PAGES_PER_SECTOR + p, 0,
                       page, LOGGER_PAGE_SIZE) != 0)
                return -1;
            DnTRecord d;
            std::memcpy(&d, page + (static_cast<uint32_t>(k) % LOGGER_SLOTS_PER_PAGE) * 8, 8);
            if (logger_dnt_valid(d) && d.type == type) {
                out = d;
                return 1;
            }
        }
    }
    return 0;
}

// The start-up decision. Every power-up writes, in this order: the power-off record
// (a copy of the previous power-up's last periodic record) into the event log, the
// first periodic record of its own (restarting the periodic log in sector 2), its
// power-on record. So:
//   - the newest event record is a power-off record: the previous power-up ended
//     before its power-on record and wrote no samples; that power-off record names
//     the last block written;
//   - otherwise the last periodic record names it (a periodic record names every
//     block before the block's first sample is written);
//   - without a periodic record, the newest power-on record names the block that
//     power-up began with.
// The next power-up starts on the block after it. A damaged block number (0 or above
// 250) names nothing; the next rule is tried.
inline int logger_plan_startup(const logger_reader &r, logger_startup &s) {
    s = logger_startup{};
    if (logger_find_log(r, LOGGER_EVENT_SECTOR, s.event) != 0 ||
        logger_find_log(r, LOGGER_PERIODIC_SECTOR, s.periodic) != 0)
        return -1;
    s.source = LOGGER_FROM_NOTHING;
    const DnTRecord &e = s.event.newest;
    if (s.event.has_newest && e.type == DNT_TYPE_PERIODIC) {
        s.source = LOGGER_FROM_POWER_OFF;
        s.last_block = e.value;
    } else if (s.periodic.has_newest && s.periodic.newest.type == DNT_TYPE_PERIODIC) {
        s.source = LOGGER_FROM_PERIODIC;
        s.last_block = s.periodic.newest.value;
        s.write_power_off = true;
        s.power_off = s.periodic.newest;
    } else {
        DnTRecord on;
        const int found = logger_find_newest_of_type(r, s.event, DNT_TYPE_POWER_ON, on);
        if (found < 0)
            return -1;
        if (found) {
            s.source = LOGGER_FROM_POWER_ON;
            s.last_block = on.value;
        }
    }
    s.block_point = logger_next_block(s.last_block);
    if (s.block_point == 0) {
        s.source = LOGGER_FROM_NOTHING;
        s.last_block = 0;
        s.block_point = LOGGER_FIRST_BLOCK;
    }
    return 0;
}

// ---- the sample log --------------------------------------------------------------

inline uint32_t logger_sample_page(uint32_t block, uint32_t sector, uint32_t page) {
    return block * LOGGER_PAGES_PER_BLOCK + sector * LOGGER_PAGES_PER_SECTOR + page;
}

// An erased slot reads all −1; so does a record whose seven fields are −1 in RAM.
inline bool logger_sample_erased(const SensorData_TypeDef &d) {
    return logger_erased(reinterpret_cast<const uint8_t *>(&d), sizeof d);
}

// ---- the trigger snapshot in internal flash ---------------------------------------

// 604 words from the area's base: the battery reading, −1, the trigger type in bits
// 16..23, −1, then 150 samples of four words each (oldest first).
constexpr uint32_t SNAPSHOT_SAMPLES = 150;
constexpr uint32_t SNAPSHOT_HEADER_WORDS = 4;
constexpr uint32_t SNAPSHOT_WORDS = SNAPSHOT_HEADER_WORDS + 4 * SNAPSHOT_SAMPLES;
constexpr uint32_t SNAPSHOT_AREA_SIZE = 0x1000;  // the last two 2 KB pages

// The area's base for a flash-size register value (KB). The value 0xFFFF means
// 256 KB; so does any value the part cannot have, so that the area never lies
// outside the flash.
inline uint32_t logger_snapshot_base(uint16_t size_kb) {
    const uint32_t kb = (size_kb < 8 || size_kb > 256) ? 256 : size_kb;
    return 0x08000000u + kb * 1024u - SNAPSHOT_AREA_SIZE;
}

// A whole snapshot: its header is written last, so a save the power cut short has
// none. Before its erase a save clears the old header to zeros, so an erase cut
// short cannot leave one that still reads as whole.
inline bool logger_snapshot_whole(const uint32_t *w) {
    return w[0] <= 0xFFF && w[1] == 0xFFFFFFFFu && (w[2] & 0xFF00FFFFu) == 0 && w[3] == 0xFFFFFFFFu;
}

// The seven values of line `k` (0 = the header words, 1..150 the samples) as the
// console prints them: the first word's low half unsigned, then signed halves.
inline void logger_snapshot_line(const uint32_t *w, uint32_t k, int v[7]) {
    const uint32_t *q = w + 4 * k;
    v[0] = static_cast<int>(q[0] & 0xFFFF);
    v[1] = static_cast<int16_t>(q[0] >> 16);
    v[2] = static_cast<int16_t>(q[1] & 0xFFFF);
    v[3] = static_cast<int16_t>(q[1] >> 16);
    v[4] = static_cast<int16_t>(q[2] & 0xFFFF);
    v[5] = static_cast<int16_t>(q[2] >> 16);
    v[6] = static_cast<int16_t>(q[3] >> 16);
}
