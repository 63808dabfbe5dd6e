// flash_decode for the data logger's layout: its logs as the read-back mode prints
// them, where its next start-up continues and why, the trigger snapshot, findings.
// The record formats and the start-up rules are the firmware's own
// (datalogger/logger_flash_format.h).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "flash_decode.h"
#include "logger_flash_format.h"

namespace flash_decode {

namespace {

constexpr uint32_t kSectorBytes = LOGGER_PAGES_PER_SECTOR * LOGGER_PAGE_SIZE;
constexpr uint32_t kBlockBytes = LOGGER_PAGES_PER_BLOCK * LOGGER_PAGE_SIZE;
constexpr uint32_t kChipBytes = LOGGER_PAGE_COUNT * LOGGER_PAGE_SIZE;

int read_image(void *ctx, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len) {
    const Image &image = *static_cast<const Image *>(ctx);
    if (page >= LOGGER_PAGE_COUNT || len == 0 || offset >= LOGGER_PAGE_SIZE ||
        len > LOGGER_PAGE_SIZE - offset)
        return -1;
    image.copy(page * LOGGER_PAGE_SIZE + offset, buf, len);
    return 0;
}

struct Finding {
    std::string where, what;
};

DnTRecord slot_record(const Image &image, uint32_t sector, uint32_t slot) {
    DnTRecord d;
    image.copy(sector * kSectorBytes + (slot / LOGGER_SLOTS_PER_PAGE) * LOGGER_PAGE_SIZE +
                   (slot % LOGGER_SLOTS_PER_PAGE) * sizeof d,
               reinterpret_cast<uint8_t *>(&d), sizeof d);
    return d;
}

SensorData_TypeDef sample_record(const Image &image, uint32_t block, uint32_t index) {
    SensorData_TypeDef d;
    const uint32_t page = index / LOGGER_RECORDS_PER_PAGE, slot = index % LOGGER_RECORDS_PER_PAGE;
    image.copy(block * kBlockBytes + page * LOGGER_PAGE_SIZE + slot * sizeof d,
               reinterpret_cast<uint8_t *>(&d), sizeof d);
    return d;
}

bool zeros(const void *p, std::size_t n) {
    const uint8_t *b = static_cast<const uint8_t *>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] != 0)
            return false;
    return true;
}

std::string dnt_line(const DnTRecord &r) {
    char s[96];
    std::snprintf(s, sizeof s, DNT_LINE_FORMAT, r.type, 2000 + logger_b2d(r.year),
                  logger_b2d(r.month), logger_b2d(r.day), logger_b2d(r.hours),
                  logger_b2d(r.minutes), logger_b2d(r.seconds), r.value);
    return s;
}

std::string date_text(const DnTRecord &r) {
    char s[32];
    std::snprintf(s, sizeof s, "%04d-%02d-%02d %02d:%02d:%02d", 2000 + logger_b2d(r.year),
                  logger_b2d(r.month), logger_b2d(r.day), logger_b2d(r.hours),
                  logger_b2d(r.minutes), logger_b2d(r.seconds));
    return s;
}

// The findings of one log sector: its mark, records no writer writes, slots a failed
// program left cleared, data after its first erased slot or where no slot is.
void check_log_sector(const Image &image, uint32_t sector, std::vector<Finding> &out) {
    const logger_reader r = {read_image, const_cast<Image *>(&image)};
    logger_sector_scan s;
    logger_scan_sector(r, sector, s);
    const std::string where = "sector " + std::to_string(sector);
    const uint32_t base = sector * kSectorBytes;
    if (!s.marked) {
        if (!image.erased(base, kSectorBytes))
            out.push_back({where, "no whole mark (an erase the power cut short, or data of "
                                  "another layout): not the log's, erased before its next record"});
        return;
    }
    uint32_t invalid = 0, cleared = 0;
    for (uint32_t k = 0; k < s.used; ++k) {
        const DnTRecord d = slot_record(image, sector, k);
        if (zeros(&d, sizeof d))
            ++cleared;
        else if (!logger_dnt_valid(d))
            ++invalid;
    }
    if (cleared)
        out.push_back({where, std::to_string(cleared) +
                                  " slot(s) cleared after a program that did not take"});
    if (invalid)
        out.push_back({where, std::to_string(invalid) +
                                  " record(s) no writer writes (partly programmed or corrupt)"});
    for (uint32_t k = s.used + 1; k < LOGGER_SLOTS_PER_SECTOR; ++k) {
        const DnTRecord d = slot_record(image, sector, k);
        if (!logger_erased(reinterpret_cast<const uint8_t *>(&d), sizeof d)) {
            out.push_back({where + " slot " + std::to_string(k),
                           "data after the first erased slot: not read"});
            break;
        }
    }
    for (uint32_t p = 1; p < LOGGER_PAGES_PER_SECTOR; ++p)
        if (!image.erased(base + p * LOGGER_PAGE_SIZE + LOGGER_MARK_OFFSET,
                          LOGGER_PAGE_SIZE - LOGGER_MARK_OFFSET)) {
            out.push_back({where, "data where the layout says erased (the last 8 bytes of a "
                                  "page other than the first)"});
            break;
        }
}

// The records of a block up to its first erased slot (as the read-back lists them),
// and what lies beyond.
uint32_t block_records(const Image &image, uint32_t block) {
    for (uint32_t i = 0; i < LOGGER_RECORDS_PER_BLOCK; ++i)
        if (logger_sample_erased(sample_record(image, block, i)))
            return i;
    return LOGGER_RECORDS_PER_BLOCK;
}

void check_block(const Image &image, uint32_t block, std::vector<Finding> &out) {
    const uint32_t base = block * kBlockBytes;
    if (image.erased(base, kBlockBytes))
        return;
    const std::string where = "block " + std::to_string(block);
    const uint32_t n = block_records(image, block);
    uint32_t cleared = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const SensorData_TypeDef d = sample_record(image, block, i);
        if (zeros(&d, sizeof d))
            ++cleared;
    }
    if (cleared)
        out.push_back({where, std::to_string(cleared) +
                                  " record slot(s) cleared after a program that did not take"});
    for (uint32_t i = n + 1; i < LOGGER_RECORDS_PER_BLOCK; ++i)
        if (!logger_sample_erased(sample_record(image, block, i))) {
            out.push_back({where, "data after record " + std::to_string(n) +
                                      ", the first erased slot: a read-back stops before it"});
            break;
        }
    constexpr uint32_t kUsed = LOGGER_RECORDS_PER_PAGE * sizeof(SensorData_TypeDef);
    for (uint32_t p = 0; p < LOGGER_PAGES_PER_BLOCK; ++p)
        if (!image.erased(base + p * LOGGER_PAGE_SIZE + kUsed, LOGGER_PAGE_SIZE - kUsed)) {
            out.push_back({where, "data where the layout says erased (bytes 252..255 of a page)"});
            break;
        }
}

struct Snapshot {
    bool present = false;  // read from a board directory
    bool whole = false;
    bool erased = false;
    uint32_t words[SNAPSHOT_WORDS];
};

Snapshot snapshot_of(const Image &image) {
    Snapshot s;
    if (image.intflash.empty())
        return s;
    s.present = true;
    // The simulated part has 256 KB: the area is its last 4 KB.
    const uint32_t offset = logger_snapshot_base(256) - 0x08000000u;
    std::memcpy(s.words, image.intflash.data() + offset, sizeof s.words);
    s.whole = logger_snapshot_whole(s.words);
    s.erased = logger_erased(reinterpret_cast<const uint8_t *>(s.words), sizeof s.words);
    return s;
}

const char *source_text(logger_block_source s) {
    switch (s) {
        case LOGGER_FROM_PERIODIC:
            return "the last periodic record names";
        case LOGGER_FROM_POWER_OFF:
            return "the newest event record is a power-off record (its power-up ended before "
                   "its power-on record); it names";
        case LOGGER_FROM_POWER_ON:
            return "no periodic record; the newest power-on record names";
        default:
            return "no record names a block";
    }
}

std::string json_string(const std::string &s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            o += '\\';
        if (c < 0x20) {
            char e[8];
            std::snprintf(e, sizeof e, "\\u%04x", c);
            o += e;
        } else {
            o += static_cast<char>(c);
        }
    }
    return o + "\"";
}

// The sample listing as sData_Load prints it: blocks first..last (wrapping after
// 250), ending at the first erased record.
template <class Block, class Record>
void walk_samples(const Image &image, uint32_t first, uint32_t last, Block on_block,
                  Record on_record) {
    for (uint32_t b = first;; b = logger_next_block(b)) {
        on_block(b);
        for (uint32_t i = 0; i < LOGGER_RECORDS_PER_BLOCK; ++i) {
            const SensorData_TypeDef d = sample_record(image, b, i);
            if (logger_sample_erased(d))
                return;
            on_record(b, i, d);
        }
        if (b == last)
            return;
    }
}

const char *kLogNames[2] = {"event", "periodic"};
const char *kSourceKeys[4] = {"nothing", "periodic", "power_off", "power_on"};

}  // namespace

void decode_logger(const Image &image, const Options &options, std::ostream &out) {
    const logger_reader r = {read_image, const_cast<Image *>(&image)};
    logger_startup plan;
    const bool planned = logger_plan_startup(r, plan) == 0;
    const Snapshot snap = snapshot_of(image);

    std::vector<Finding> findings;
    for (uint32_t s = 0; s < 4; ++s) check_log_sector(image, s, findings);
    if (!image.erased(4 * kSectorBytes, kBlockBytes - 4 * kSectorBytes))
        findings.push_back({"block 0", "data where the layout says erased (sectors 4..15)"});
    for (uint32_t b = LOGGER_FIRST_BLOCK; b <= LOGGER_LAST_BLOCK; ++b)
        check_block(image, b, findings);
    if (!image.erased((LOGGER_LAST_BLOCK + 1) * kBlockBytes,
                      kChipBytes - (LOGGER_LAST_BLOCK + 1) * kBlockBytes))
        findings.push_back({"blocks 251..511", "data where the layout says erased"});
    if (planned && !image.erased(plan.block_point * kBlockBytes, kBlockBytes))
        findings.push_back({"block " + std::to_string(plan.block_point),
                            "the next start-up erases this block (the ring's oldest data)"});
    if (snap.present && !snap.whole && !snap.erased)
        findings.push_back({"trigger snapshot", "not whole (a save the power cut short, or an "
                                                "erase): it prints as an erased area"});

    if (options.format == Format::Json) {
        out << "{\"source\":" << json_string(image.source) << ",\"layout\":\"logger\"";
        for (uint32_t log = 0; log < 2; ++log) {
            out << ",\"" << kLogNames[log] << "\":[";
            bool first = true;
            for (uint32_t sector = 2 * log; sector < 2 * log + 2; ++sector)
                for (uint32_t k = 0; k < LOGGER_SLOTS_PER_SECTOR; ++k) {
                    const DnTRecord d = slot_record(image, sector, k);
                    if (d.type == DNT_TYPE_ERASED)
                        continue;
                    out << (first ? "" : ",") << "{\"sector\":" << sector << ",\"slot\":" << k
                        << ",\"type\":" << int(d.type) << ",\"date\":" << json_string(date_text(d))
                        << ",\"value\":" << int(d.value)
                        << ",\"valid\":" << (logger_dnt_valid(d) ? "true" : "false") << "}";
                    first = false;
                }
            out << "]";
        }
        if (options.blocks) {
            out << ",\"samples\":[";
            bool first_block = true, first = true;
            walk_samples(
                image, options.first_block, options.last_block,
                [&](uint32_t b) {
                    out << (first_block ? "" : "]},") << "{\"block\":" << b << ",\"records\":[";
                    first_block = false;
                    first = true;
                },
                [&](uint32_t, uint32_t, const SensorData_TypeDef &d) {
                    out << (first ? "" : ",") << "[" << d.num << "," << d.accX << "," << d.accY
                        << "," << d.accZ << "," << d.gyroX << "," << d.gyroY << "," << d.gyroZ
                        << "]";
                    first = false;
                });
            out << "]}]";
        }
        if (snap.present) {
            out << ",\"snapshot\":{\"whole\":" << (snap.whole ? "true" : "false")
                << ",\"erased\":" << (snap.erased ? "true" : "false");
            if (snap.whole)
                out << ",\"battery\":" << snap.words[0] << ",\"trigger\":"
                    << static_cast<int>(static_cast<int8_t>(snap.words[2] >> 16));
            out << "}";
        }
        out << ",\"positions\":";
        if (planned)
            out << "{\"event\":{\"sector\":" << plan.event.sector
                << ",\"slot\":" << plan.event.page * LOGGER_SLOTS_PER_PAGE + plan.event.slot
                << ",\"prepare\":" << (plan.event.prepare ? "true" : "false")
                << ",\"generation\":" << plan.event.generation
                << "},\"source\":" << json_string(kSourceKeys[plan.source])
                << ",\"last_block\":" << int(plan.last_block)
                << ",\"block_point\":" << int(plan.block_point) << "}";
        else
            out << "null";
        out << ",\"findings\":[";
        for (std::size_t i = 0; i < findings.size(); ++i)
            out << (i ? "," : "") << "{\"where\":" << json_string(findings[i].where)
                << ",\"what\":" << json_string(findings[i].what) << "}";
        out << "]}\n";
        return;
    }

    if (options.format == Format::Csv) {
        out << "log,sector,slot,type,date,value,block,index,num,accX,accY,accZ,gyroX,gyroY,"
               "gyroZ\n";
        for (uint32_t sector = 0; sector < 4; ++sector)
            for (uint32_t k = 0; k < LOGGER_SLOTS_PER_SECTOR; ++k) {
                const DnTRecord d = slot_record(image, sector, k);
                if (d.type != DNT_TYPE_ERASED)
                    out << kLogNames[sector / 2] << ',' << sector << ',' << k << ',' << int(d.type)
                        << ',' << date_text(d) << ',' << int(d.value) << ",,,,,,,,,\n";
            }
        if (options.blocks)
            walk_samples(
                image, options.first_block, options.last_block, [](uint32_t) {},
                [&](uint32_t b, uint32_t i, const SensorData_TypeDef &d) {
                    out << "samples,,,,,," << b << ',' << i << ',' << d.num << ',' << d.accX << ','
                        << d.accY << ',' << d.accZ << ',' << d.gyroX << ',' << d.gyroY << ','
                        << d.gyroZ << '\n';
                });
        return;
    }

    for (uint32_t log = 0; log < 2; ++log) {
        out << (log ? "== periodic log ==\r\n" : "== event log (read-back FF FF) ==\r\n");
        for (uint32_t sector = 2 * log; sector < 2 * log + 2; ++sector)
            for (uint32_t k = 0; k < LOGGER_SLOTS_PER_SECTOR; ++k)
                out << dnt_line(slot_record(image, sector, k));
    }
    if (options.blocks) {
        out << "== samples (read-back " << options.first_block << ' ' << options.last_block
            << ") ==\r\n";
        char line[96];
        walk_samples(
            image, options.first_block, options.last_block,
            [&](uint32_t b) {
                std::snprintf(line, sizeof line, SD_BLOCK_FORMAT, static_cast<int>(b));
                out << line;
            },
            [&](uint32_t, uint32_t, const SensorData_TypeDef &d) {
                std::snprintf(line, sizeof line, SD_LINE_FORMAT, d.num, d.accX, d.accY, d.accZ,
                              d.gyroX, d.gyroY, d.gyroZ);
                out << line;
            });
        out << SD_END_LINE;
    }
    if (snap.present) {
        out << "== trigger snapshot (printed at start-up) ==\r\n" << SNAPSHOT_TITLE_LINE;
        uint32_t w[SNAPSHOT_WORDS];
        for (uint32_t i = 0; i < SNAPSHOT_WORDS; ++i) w[i] = snap.whole ? snap.words[i] : ~0u;
        char line[96];
        std::snprintf(line, sizeof line, SNAPSHOT_BATT_FORMAT, static_cast<int>(w[0]));
        out << line;
        std::snprintf(line, sizeof line, SNAPSHOT_TRIGGER_FORMAT, static_cast<int8_t>(w[2] >> 16));
        out << line;
        for (uint32_t k = 0; k <= SNAPSHOT_SAMPLES; ++k) {
            int v[7];
            logger_snapshot_line(w, k, v);
            std::snprintf(line, sizeof line, SD_LINE_FORMAT, v[0], v[1], v[2], v[3], v[4], v[5],
                          v[6]);
            out << line;
        }
    }
    out << "== next start-up ==\r\n";
    if (planned) {
        out << "event log: sector " << plan.event.sector << " slot "
            << plan.event.page * LOGGER_SLOTS_PER_PAGE + plan.event.slot
            << (plan.event.prepare ? " (the sector is erased and marked first)" : "") << "\r\n"
            << "periodic log: restarts in sector " << LOGGER_PERIODIC_SECTOR << "\r\n"
            << "samples: " << source_text(plan.source);
        if (plan.source != LOGGER_FROM_NOTHING)
            out << " block " << int(plan.last_block);
        out << "; the next start-up continues on block " << int(plan.block_point) << "\r\n";
    } else {
        out << "unknown (the logs cannot be read)\r\n";
    }
    out << "== findings ==\r\n";
    for (const Finding &f : findings) out << f.where << ": " << f.what << "\r\n";
    if (findings.empty())
        out << "none\r\n";
}

}  // namespace flash_decode
