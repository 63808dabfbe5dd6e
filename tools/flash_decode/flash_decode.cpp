// flash_decode: reading the image, the listings through the firmware's visitors,
// the recovered positions and the findings.
#include "flash_decode.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "exflash_format.h"
#include "flash_user_data.h"

namespace flash_decode {

namespace {

constexpr uint32_t kIntflashSize = 256u * 1024u;

bool read_file(std::istream &in, std::size_t limit, std::vector<uint8_t> &data) {
    data.clear();
    char buf[1 << 16];
    while (in) {
        in.read(buf, sizeof buf);
        data.insert(data.end(), buf, buf + in.gcount());
        if (data.size() > limit)
            return false;
    }
    return true;
}

bool is_directory(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

Image::~Image() {
    reset();
}

void Image::reset() {
    if (map_ != nullptr)
        ::munmap(map_, EXFLASH_SIZE);
    map_ = nullptr;
    bytes_ = nullptr;
    owned_.clear();
    intflash.clear();
    inverted_ = false;
}

void Image::copy(uint32_t addr, uint8_t *out, uint32_t n) const {
    std::memcpy(out, bytes_ + addr, n);
    if (inverted_)
        for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(~out[i]);
}

bool Image::erased(uint32_t addr, uint32_t n) const {
    static const std::vector<uint8_t> zeros(EXFLASH_SECTOR_SIZE, 0x00);
    static const std::vector<uint8_t> ones(EXFLASH_SECTOR_SIZE, 0xFF);
    const uint8_t *want = inverted_ ? zeros.data() : ones.data();
    while (n != 0) {
        const uint32_t k = n < EXFLASH_SECTOR_SIZE ? n : EXFLASH_SECTOR_SIZE;
        if (std::memcmp(bytes_ + addr, want, k) != 0)
            return false;
        addr += k;
        n -= k;
    }
    return true;
}

namespace {

bool load_board(const std::string &dir, Image &image, std::string &error, void *&map) {
    std::ifstream marker(dir + "/board.txt");
    std::string first;
    if (!marker || !std::getline(marker, first) ||
        (first != "kelda-board-directory 2" && first != "kelda-board-directory 1")) {
        error = dir + ": not a board directory (no board.txt naming a board layout)";
        return false;
    }
    const std::string nor = dir + "/nor.img";
    const int fd = ::open(nor.c_str(), O_RDONLY);
    if (fd < 0) {
        error = nor + ": cannot open: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) != EXFLASH_SIZE) {
        ::close(fd);
        error = nor + ": not a 32 MiB NOR image";
        return false;
    }
    map = ::mmap(nullptr, EXFLASH_SIZE, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        map = nullptr;
        error = nor + ": cannot map: " + std::strerror(errno);
        return false;
    }
    std::ifstream intflash(dir + "/intflash.bin", std::ios::binary);
    if (intflash && (!read_file(intflash, kIntflashSize, image.intflash) ||
                     image.intflash.size() != kIntflashSize)) {
        error = dir + "/intflash.bin: not a 256 KiB internal flash image";
        return false;
    }
    image.source = dir;
    for (std::string line; std::getline(marker, line);)
        if (line.rfind("image ", 0) == 0)
            image.image_name = line.substr(6);
    return true;
}

int read_image(void *ctx, uint32_t page, uint32_t offset, uint8_t *buf, uint32_t len) {
    const Image &image = *static_cast<const Image *>(ctx);
    if (page >= EXFLASH_PAGE_COUNT || len == 0 || offset >= EXFLASH_PAGE_SIZE ||
        len > EXFLASH_PAGE_SIZE - offset)
        return -1;
    image.copy(page * EXFLASH_PAGE_SIZE + offset, buf, len);
    return 0;
}

// As the firmware breaks a stamp down: gmtime, the year kept as the RTC's byte.
void datetime(void *, btime_t t, exflash_datetime *out) {
    const time_t when = static_cast<time_t>(t);
    struct tm tm;
    gmtime_r(&when, &tm);
    out->year = static_cast<uint8_t>(tm.tm_year - 100);
    out->month = static_cast<uint8_t>(tm.tm_mon + 1);
    out->day = static_cast<uint8_t>(tm.tm_mday);
    out->hours = static_cast<uint8_t>(tm.tm_hour);
    out->minutes = static_cast<uint8_t>(tm.tm_min);
    out->seconds = static_cast<uint8_t>(tm.tm_sec);
}

std::string date_text(btime_t t) {
    exflash_datetime d;
    datetime(nullptr, t, &d);
    char s[32];
    std::snprintf(s, sizeof s, EXFLASH_TIME_FORMAT, d.year + 2000, d.month, d.day, d.hours,
                  d.minutes, d.seconds);
    return s;
}

void print_stream(void *ctx, const char *text) {
    *static_cast<std::ostream *>(ctx) << text;
}

// ---- what the firmware would recover at its next start-up ----------------------

struct LogPosition {
    bool known = false;
    exflash_info info = {};
};

struct Positions {
    LogPosition onoff, dnt, ster;
    bool last_heartbeat = false;  // the date-and-time log holds a heartbeat
    uint32_t last_block = 0;      // the block it names
    uint32_t next_block = SYS_SDATA_FIRST_BLOCK;
    uint32_t last_block_records = 0;  // the written part of the block the last heartbeat names
};

LogPosition recover(const exflash_reader &r, const exflash_log_layout &l) {
    LogPosition p;
    int rc = exflash_log_find_point(r, l, &p.info);
    if (rc == 256)
        rc = exflash_log_older_sector(r, l, &p.info);
    p.known = rc == 0;
    return p;
}

Positions recover_all(const exflash_reader &r) {
    Positions p;
    p.onoff = recover(r, EXFLASH_LOG_ONOFF);
    p.dnt = recover(r, EXFLASH_LOG_DNT);
    p.ster = recover(r, EXFLASH_LOG_STER);
    sys_dnt_data last;
    if (p.dnt.known && exflash_log_last_record(r, EXFLASH_LOG_DNT, p.dnt.info,
                                               reinterpret_cast<uint8_t *>(&last)) == 0) {
        p.last_heartbeat = last.power != -1;
        p.last_block = last.block;
        const uint32_t next = exflash_sdata_next_block(last.block);
        p.next_block = next;
        if (p.last_heartbeat && last.block >= SYS_SDATA_FIRST_BLOCK &&
            last.block <= SYS_SDATA_LAST_BLOCK) {
            for (uint32_t i = SYS_SDATA_PER_BLOCK; i-- > 0;) {
                uint8_t rec[SYS_SDATA_RECORD_SIZE];
                r.read(r.ctx, exflash_sdata_page(last.block, i), exflash_sdata_offset(i), rec,
                       sizeof rec);
                if (!exflash_is_erased(rec, sizeof rec)) {
                    p.last_block_records = i + 1;
                    break;
                }
            }
        }
    }
    return p;
}

uint32_t current_sector(const LogPosition &p, const exflash_log_layout &l) {
    return p.known ? p.info.sector : l.base_sector;
}

// ---- findings ----------------------------------------------------------------

struct Finding {
    std::string where;
    std::string what;
};

bool plausible_dnt(const sys_dnt_data &d) {
    if (d.check_time == 0xFFFFFFFFu || d.battery == 0xFF)
        return false;
    if (d.power == 0 || d.power == 1)
        return d.block >= SYS_SDATA_FIRST_BLOCK && d.block <= SYS_SDATA_LAST_BLOCK;
    return d.power == 2 && d.block <= 0xFF;
}

bool plausible_ster(const sys_ster_data &s) {
    return s.check_time != 0xFFFFFFFFu && s.data_type == 0;
}

std::string sector_name(uint32_t sector) {
    return "sector " + std::to_string(sector);
}

std::string slot_name(uint32_t sector, uint32_t slot) {
    return sector_name(sector) + " slot " + std::to_string(slot);
}

bool erased(const Image &image, uint32_t from, uint32_t len) {
    return image.erased(from, len);
}

void check_log_sector(const Image &image, const exflash_log_layout &l, uint32_t sector,
                      std::vector<Finding> &out) {
    const exflash_reader r = reader_of(image);
    uint8_t flags[EXFLASH_PAGE_SIZE];
    exflash_read_flags(r, sector, flags);
    const exflash_flag_page f = exflash_flags_classify(flags, l);
    if (f.damaged) {
        for (uint32_t i = l.first_slot; i < EXFLASH_PAGE_SIZE; ++i)
            if (flags[i] != EXFLASH_FLAG_FREE && flags[i] != EXFLASH_FLAG_USED) {
                char what[160];
                std::snprintf(what, sizeof what,
                              "damaged flag page (slot %u flag 0x%02X): nothing listed, the "
                              "sector is erased before its next record",
                              static_cast<unsigned>(i), flags[i]);
                out.push_back({sector_name(sector), what});
                break;
            }
        return;  // its records are not the log's any more
    }
    for (uint32_t i = 0; i < l.first_slot; ++i)
        if (flags[i] != 0xFF) {
            out.push_back({sector_name(sector),
                           "data where the layout says erased (flag bytes "
                           "before the first slot)"});
            break;
        }
    uint8_t rec[16];
    for (uint32_t i = l.first_slot; i < EXFLASH_PAGE_SIZE; ++i) {
        exflash_read_slot(r, l, sector, i, rec);
        const bool empty = exflash_is_erased(rec, l.record_size);
        if (flags[i] == EXFLASH_FLAG_FREE) {
            if (!empty)
                out.push_back({slot_name(sector, i),
                               "record under a free flag (the power failed before its flag "
                               "was written): not listed"});
            continue;
        }
        if (empty) {
            out.push_back({slot_name(sector, i),
                           "flag used over an erased record (a program that did not take)"});
            continue;
        }
        const bool ok = l.kind == EXFLASH_LOG_8B
                            ? plausible_dnt(*reinterpret_cast<const sys_dnt_data *>(rec))
                            : plausible_ster(*reinterpret_cast<const sys_ster_data *>(rec));
        if (!ok)
            out.push_back(
                {slot_name(sector, i), "record no writer writes (partly programmed or corrupt)"});
    }
    // Pages after the last record page (pages 9..15 of an 8-byte log sector).
    const uint32_t base = sector * EXFLASH_SECTOR_SIZE;
    const uint32_t from =
        base + (exflash_slot_page(l, 0, EXFLASH_PAGE_SIZE - 1) + 1) * EXFLASH_PAGE_SIZE;
    if (from < base + EXFLASH_SECTOR_SIZE &&
        !erased(image, from, base + EXFLASH_SECTOR_SIZE - from))
        out.push_back({sector_name(sector),
                       "data where the layout says erased (pages after "
                       "the last record page)"});
}

void check_sdata_block(const Image &image, uint32_t block, std::vector<Finding> &out) {
    const uint32_t base = block * EXFLASH_PAGES_PER_BLOCK * EXFLASH_PAGE_SIZE;
    uint32_t tails = 0;
    for (uint32_t pg = 0; pg < EXFLASH_PAGES_PER_BLOCK; ++pg) {
        const uint32_t at =
            base + pg * EXFLASH_PAGE_SIZE + SYS_SDATA_PER_PAGE * SYS_SDATA_RECORD_SIZE;
        if (!erased(image, at, EXFLASH_PAGE_SIZE - SYS_SDATA_PER_PAGE * SYS_SDATA_RECORD_SIZE))
            ++tails;
    }
    const std::string where = "block " + std::to_string(block);
    if (tails)
        out.push_back({where, "data where the layout says erased (bytes 252..255 of " +
                                  std::to_string(tails) + " page(s))"});
    uint32_t last = SYS_SDATA_PER_BLOCK, gaps = 0;
    for (uint32_t i = SYS_SDATA_PER_BLOCK; i-- > 0;)
        if (!erased(image,
                    base + exflash_sdata_page(0, i) * EXFLASH_PAGE_SIZE + exflash_sdata_offset(i),
                    SYS_SDATA_RECORD_SIZE)) {
            last = i;
            break;
        }
    if (last == SYS_SDATA_PER_BLOCK)
        return;
    for (uint32_t i = 0; i < last; ++i)
        if (erased(image,
                   base + exflash_sdata_page(0, i) * EXFLASH_PAGE_SIZE + exflash_sdata_offset(i),
                   SYS_SDATA_RECORD_SIZE))
            ++gaps;
    if (gaps)
        out.push_back({where, std::to_string(gaps) +
                                  " erased record(s) inside the written part (programs that did "
                                  "not take): passed over"});
}

std::vector<Finding> check(const Image &image, const Positions &pos) {
    std::vector<Finding> out;
    for (uint32_t s = 0; s < 6; ++s)
        check_log_sector(image, s < 4 ? EXFLASH_LOG_DNT : EXFLASH_LOG_STER, s, out);
    for (uint32_t s = 6; s < EXFLASH_LOG_SECTORS; ++s)
        if (!erased(image, s * EXFLASH_SECTOR_SIZE, EXFLASH_SECTOR_SIZE))
            out.push_back({sector_name(s), "data where the layout says erased (an unused sector)"});
    for (uint32_t b = SYS_SDATA_FIRST_BLOCK; b <= SYS_SDATA_LAST_BLOCK; ++b)
        check_sdata_block(image, b, out);
    const uint32_t last_block = SYS_SDATA_LAST_BLOCK + 1;
    if (!erased(image, last_block * EXFLASH_PAGES_PER_BLOCK * EXFLASH_PAGE_SIZE,
                EXFLASH_PAGES_PER_BLOCK * EXFLASH_PAGE_SIZE))
        out.push_back({"block 511", "data where the layout says erased (never written)"});
    const uint32_t nb = pos.next_block;
    if (!erased(image, nb * EXFLASH_PAGES_PER_BLOCK * EXFLASH_PAGE_SIZE,
                EXFLASH_PAGES_PER_BLOCK * EXFLASH_PAGE_SIZE))
        out.push_back({"block " + std::to_string(nb),
                       "the next start-up opens (and erases) this block: its data, stale or "
                       "half erased, is not listed"});
    return out;
}

// ---- outputs -----------------------------------------------------------------

struct LogDesc {
    const char *title;
    const char *key;
    const exflash_log_layout *layout;
    const LogPosition Positions::*pos;
};

const LogDesc kLogs[] = {
    {"power-cycle log (dnt -o)", "power_cycle", &EXFLASH_LOG_ONOFF, &Positions::onoff},
    {"date-and-time log (dnt -d)", "date_time", &EXFLASH_LOG_DNT, &Positions::dnt},
    {"status-event log (ster -a)", "status_event", &EXFLASH_LOG_STER, &Positions::ster},
};

// The other sector, then the current one, as the console's "-o", "-d", "-a" list.
void list_log(const exflash_reader &r, const exflash_visitor &v, const LogDesc &log,
              const Positions &pos) {
    const exflash_log_layout &l = *log.layout;
    const uint32_t cur = current_sector(pos.*log.pos, l);
    for (uint32_t s : {exflash_other_sector(l, cur), cur}) {
        if (l.kind == EXFLASH_LOG_8B)
            exflash_list_dnt_sector(r, v, s, 0);
        else
            exflash_list_ster_sector(r, v, s);
    }
}

std::string position_text(const LogPosition &p, const exflash_log_layout &l) {
    if (!p.known)
        return "unknown";
    const uint32_t slot = p.info.page * l.per_page + p.info.count;
    char s[128];
    if (p.info.page == 0 && p.info.count == 0)
        std::snprintf(s, sizeof s, "sector %u slot %u (the sector is erased before it)",
                      p.info.sector, l.first_slot);
    else
        std::snprintf(s, sizeof s, "sector %u slot %u (page %u, count %u)", p.info.sector,
                      slot - l.first_slot, p.info.page, p.info.count);
    return s;
}

void text_user_data(const Image &image, std::ostream &out) {
    const uint8_t *a = image.intflash.data() + image.intflash.size() - FLASH_USER_DATA_SIZE;
    auto word = [&](uint32_t o) {
        int32_t w;
        std::memcpy(&w, a + o, sizeof w);
        return w;
    };
    char line[96];
    out << "== trigger data (tdata) ==\r\n" << FLASH_USER_DATA_TITLE;
    std::snprintf(line, sizeof line, FLASH_USER_DATA_BATT_FORMAT, word(FLASH_USER_DATA_BATTERY));
    out << line;
    std::snprintf(line, sizeof line, FLASH_USER_DATA_TRIGGER_FORMAT, word(FLASH_USER_DATA_TRIGGER));
    out << line;
    for (uint32_t k = 0; k < FLASH_USER_DATA_SAMPLE_COUNT; ++k) {
        int16_t v[8];
        std::memcpy(v, a + FLASH_USER_DATA_SAMPLES + k * sizeof v, sizeof v);
        std::snprintf(line, sizeof line, FLASH_USER_DATA_SAMPLE_FORMAT, v[0], v[1], v[2], v[3],
                      v[4], v[5], v[6]);
        out << line;
    }
    out << "== device identity (show id) ==\r\n";
    if (static_cast<uint32_t>(word(FLASH_USER_DATA_DEVICE_ID)) != 0xFFFFFFFFu) {
        char id[FLASH_USER_DATA_DEVICE_ID_SIZE];
        std::memcpy(id, a + FLASH_USER_DATA_DEVICE_ID, sizeof id);
        id[sizeof id - 1] = '\0';
        out << "device_id : " << id << "\r\n";
    }
}

// ---- CSV and JSON --------------------------------------------------------------

std::string json_string(const std::string &s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += static_cast<char>(c);
        } else if (c < 0x20) {
            char e[8];
            std::snprintf(e, sizeof e, "\\u%04x", c);
            o += e;
        } else {
            o += static_cast<char>(c);
        }
    }
    return o + "\"";
}

// One visitor for both machine formats: CSV rows, or JSON objects in arrays.
struct Collector {
    std::ostream &out;
    Format format;
    const char *log = "";
    bool first = true;        // no record yet in the current JSON array
    bool blocks = false;      // a sensor-data block object has been written
    bool block_open = false;  // its records array is still open

    void begin_record() {
        if (format == Format::Json) {
            out << (first ? "" : ",") << "{";
            first = false;
        }
    }
    static void dnt(void *ctx, uint32_t sector, uint32_t slot, const sys_dnt_data &d) {
        Collector &c = *static_cast<Collector *>(ctx);
        if (c.format == Format::Csv) {
            c.out << c.log << ',' << sector << ',' << slot << ',' << d.check_time << ','
                  << date_text(d.check_time) << ',' << int(d.power) << ',' << int(d.battery) << ','
                  << d.block << ",,,,,,,,,,,,\n";
            return;
        }
        c.begin_record();
        c.out << "\"sector\":" << sector << ",\"slot\":" << slot << ",\"time\":" << d.check_time
              << ",\"date\":" << json_string(date_text(d.check_time))
              << ",\"kind\":" << int(d.power) << ",\"battery\":" << int(d.battery)
              << ",\"block\":" << d.block << "}";
    }
    static void ster(void *ctx, uint32_t sector, uint32_t index, const sys_ster_data &s) {
        Collector &c = *static_cast<Collector *>(ctx);
        if (c.format == Format::Csv) {
            c.out << c.log << ',' << sector << ',' << index << ',' << s.check_time << ','
                  << date_text(s.check_time) << ",,,," << s.time_interval << ',' << s.battery_level
                  << ',' << s.uart_counter << ',' << s.imu_error << ',' << s.exflash_error
                  << ",,,,,,,\n";
            return;
        }
        c.begin_record();
        c.out << "\"sector\":" << sector << ",\"index\":" << index << ",\"time\":" << s.check_time
              << ",\"date\":" << json_string(date_text(s.check_time))
              << ",\"time_interval\":" << s.time_interval
              << ",\"battery_level\":" << s.battery_level << ",\"uart_counter\":" << s.uart_counter
              << ",\"imu_error\":" << s.imu_error << ",\"exflash_error\":" << s.exflash_error
              << "}";
    }
    static void sdata_block(void *ctx, uint32_t block) {
        Collector &c = *static_cast<Collector *>(ctx);
        if (c.format != Format::Json)
            return;
        c.close_block(false);
        c.out << (c.blocks ? "," : "") << "{\"block\":" << block << ",\"records\":[";
        c.blocks = true;
        c.block_open = true;
        c.first = true;
    }
    void close_block(bool stream_end) {
        if (block_open)
            out << "],\"stream_end\":" << (stream_end ? "true" : "false") << "}";
        block_open = false;
    }
    static void sdata(void *ctx, uint32_t block, uint32_t index, const SensorData_TypeDef &d) {
        Collector &c = *static_cast<Collector *>(ctx);
        if (c.format == Format::Csv) {
            c.out << "sensor_data,," << index << ",,,,," << block << ",,,,,," << d.num << ','
                  << d.accX << ',' << d.accY << ',' << d.accZ << ',' << d.gyroX << ',' << d.gyroY
                  << ',' << d.gyroZ << '\n';
            return;
        }
        c.begin_record();
        c.out << "\"index\":" << index << ",\"num\":" << d.num << ",\"accX\":" << d.accX
              << ",\"accY\":" << d.accY << ",\"accZ\":" << d.accZ << ",\"gyroX\":" << d.gyroX
              << ",\"gyroY\":" << d.gyroY << ",\"gyroZ\":" << d.gyroZ << "}";
    }
    static void sdata_stream_end(void *ctx, uint32_t) {
        Collector &c = *static_cast<Collector *>(ctx);
        if (c.format == Format::Json)
            c.close_block(true);
    }
    static void sdata_end(void *ctx) {
        Collector &c = *static_cast<Collector *>(ctx);
        if (c.format == Format::Json)
            c.close_block(false);
    }
    exflash_visitor visitor() {
        return {dnt, ster, sdata_block, sdata, sdata_stream_end, sdata_end, this};
    }
};

void json_position(std::ostream &out, const LogPosition &p, const exflash_log_layout &l) {
    if (!p.known) {
        out << "null";
        return;
    }
    out << "{\"sector\":" << p.info.sector << ",\"page\":" << p.info.page
        << ",\"count\":" << p.info.count
        << ",\"erase_first\":" << (p.info.page == 0 && p.info.count == 0 ? "true" : "false");
    (void)l;
    out << "}";
}

}  // namespace

exflash_reader reader_of(const Image &image) {
    return {read_image, const_cast<Image *>(&image)};
}

bool load(const std::string &path, Image &image, std::string &error) {
    image.reset();
    if (path != "-" && is_directory(path)) {
        if (!load_board(path, image, error, image.map_)) {
            image.reset();
            return false;
        }
        image.bytes_ = static_cast<const uint8_t *>(image.map_);
        image.inverted_ = true;  // a board stores its NOR bit-inverted
        return true;
    }
    std::ifstream file;
    std::istream *in = &std::cin;
    if (path != "-") {
        file.open(path, std::ios::binary);
        if (!file) {
            error = path + ": cannot open: " + std::strerror(errno);
            return false;
        }
        in = &file;
    }
    const std::string name = path == "-" ? "<stdin>" : path;
    if (!read_file(*in, EXFLASH_SIZE, image.owned_)) {
        image.reset();
        error = name + ": larger than the chip (" + std::to_string(EXFLASH_SIZE) +
                " bytes): not a dump of the external flash";
        return false;
    }
    image.owned_.resize(EXFLASH_SIZE, 0xFF);  // a short dump: the rest reads erased
    image.bytes_ = image.owned_.data();
    image.source = name;
    return true;
}

Layout layout_of(const Image &image, const Options &options) {
    if (options.layout != Layout::Auto)
        return options.layout;
    return image.image_name == "morra_fw" ? Layout::Logger : Layout::Device;
}

void decode(const Image &image, const Options &options, std::ostream &out) {
    if (layout_of(image, options) == Layout::Logger)
        return decode_logger(image, options, out);
    const exflash_reader r = reader_of(image);
    const Positions pos = recover_all(r);
    const std::vector<Finding> findings = check(image, pos);

    if (options.format == Format::Text) {
        const exflash_printer printer = {print_stream, datetime, &out};
        const exflash_visitor text = exflash_text_visitor(printer);
        for (const LogDesc &log : kLogs) {
            out << "== " << log.title << " ==\r\n";
            list_log(r, text, log, pos);
        }
        if (options.blocks) {
            out << "== sensor-data log (sdata " << options.first_block << ' ' << options.last_block
                << ") ==\r\n";
            exflash_list_sdata(r, text, options.first_block, options.last_block, pos.next_block);
        }
        if (!image.intflash.empty())
            text_user_data(image, out);
        out << "== write positions ==\r\n";
        for (const LogDesc &log : kLogs)
            out << log.key << ": " << position_text(pos.*log.pos, *log.layout) << "\r\n";
        out << "sensor_data: ";
        if (pos.last_heartbeat) {
            out << "the last heartbeat names block " << pos.last_block;
            if (pos.last_block_records)
                out << " (" << pos.last_block_records
                    << " records written; the last was the newest write: had the power failed "
                       "while it was programmed, it would read partly programmed, which this "
                       "record cannot show)";
            out << "; ";
        }
        out << "the next start-up opens block " << pos.next_block << "\r\n";
        out << "== findings ==\r\n";
        for (const Finding &f : findings) out << f.where << ": " << f.what << "\r\n";
        if (findings.empty())
            out << "none\r\n";
        return;
    }

    Collector c{out, options.format};
    const exflash_visitor v = c.visitor();
    if (options.format == Format::Csv) {
        out << "log,sector,slot,time,date,kind,battery,block,time_interval,battery_level,"
               "uart_counter,imu_error,exflash_error,num,accX,accY,accZ,gyroX,gyroY,gyroZ\n";
        for (const LogDesc &log : kLogs) {
            c.log = log.key;
            list_log(r, v, log, pos);
        }
        if (options.blocks)
            exflash_list_sdata(r, v, options.first_block, options.last_block, pos.next_block);
        return;
    }
    out << "{\"source\":" << json_string(image.source) << ",\"logs\":{";
    for (const LogDesc &log : kLogs) {
        out << (&log == kLogs ? "" : ",") << '"' << log.key << "\":[";
        c.first = true;
        list_log(r, v, log, pos);
        out << ']';
    }
    out << '}';
    if (options.blocks) {
        out << ",\"sensor_data\":[";
        c.first = true;
        exflash_list_sdata(r, v, options.first_block, options.last_block, pos.next_block);
        out << ']';
    }
    out << ",\"positions\":{";
    for (const LogDesc &log : kLogs) {
        out << '"' << log.key << "\":";
        json_position(out, pos.*log.pos, *log.layout);
        out << ',';
    }
    out << "\"sensor_data\":{\"last_heartbeat_block\":";
    if (pos.last_heartbeat)
        out << pos.last_block << ",\"records_in_it\":" << pos.last_block_records;
    else
        out << "null";
    out << ",\"next_block\":" << pos.next_block << "}},\"findings\":[";
    for (std::size_t i = 0; i < findings.size(); ++i)
        out << (i ? "," : "") << "{\"where\":" << json_string(findings[i].where)
            << ",\"what\":" << json_string(findings[i].what) << '}';
    out << "]}\n";
}

}  // namespace flash_decode
