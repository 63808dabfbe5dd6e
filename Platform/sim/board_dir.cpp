// Board directory: persistent state of the simulated board (see board_dir.h
// and docs/board-directory.md).
//
// open() works in two phases. The first only looks: it opens what exists
// without creating or truncating, and checks kinds, sizes and contents. The
// second creates what is missing and maps the images. A refusal in the first
// phase therefore leaves the directory exactly as it was.
#include "board_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

namespace sim {

namespace {

constexpr const char *kMarkerHeader = "kelda-board-directory 2";
constexpr const char *kMarkerHeaderV1 = "kelda-board-directory 1";
constexpr const char *kBackupHeader = "kelda-backup-domain 2";
constexpr const char *kBackupHeaderV1 = "kelda-backup-domain 1";
constexpr const char *kNorStateHeader = "kelda-nor-state 1";
// Generous bound for the small text files, so a wrong file is refused quickly.
constexpr off_t kMaxTextFileBytes = 64 * 1024;

std::string errno_text() {
    return std::strerror(errno);
}

// board.txt: the layout line, a comment, and the image that last ran on the board.
std::string marker_text(const std::string &image) {
    return std::string(kMarkerHeader) +
           "\n# State of one simulated board; see docs/board-directory.md.\n" +
           (image.empty() ? "" : "image " + image + "\n");
}

std::string join(const std::string &dir, const char *name) {
    return dir + "/" + name;
}

// Closes a descriptor on scope exit unless released.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    int release() {
        const int f = fd;
        fd = -1;
        return f;
    }
};

bool read_all(int fd, std::string &out) {
    out.clear();
    char buf[4096];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            return true;
        out.append(buf, static_cast<std::size_t>(r));
    }
}

bool write_all(int fd, const void *data, std::size_t n) {
    const char *p = static_cast<const char *>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Writes `name` in directory `dirfd` through a temporary file and a rename,
// so that readers see the old or the new content, never a part. `sync` also
// forces both to the disk, which guards against a crash of the host, not of the
// simulator; the saves at the end of every run leave it out, since a power-cut
// campaign restarts the board thousands of times and each sync costs milliseconds.
bool replace_file(int dirfd, const std::string &dir, const char *name, const void *data,
                  std::size_t n, std::string &error, bool sync = true) {
    const std::string tmp = std::string(name) + ".tmp";
    Fd fd(::openat(dirfd, tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.fd < 0) {
        error = join(dir, tmp.c_str()) + ": cannot create: " + errno_text();
        return false;
    }
    if (!write_all(fd.fd, data, n) || (sync && ::fsync(fd.fd) != 0)) {
        error = join(dir, tmp.c_str()) + ": cannot write: " + errno_text();
        ::unlinkat(dirfd, tmp.c_str(), 0);
        return false;
    }
    if (::renameat(dirfd, tmp.c_str(), dirfd, name) != 0) {
        error = join(dir, name) + ": cannot replace: " + errno_text();
        ::unlinkat(dirfd, tmp.c_str(), 0);
        return false;
    }
    if (sync)
        ::fsync(dirfd);
    return true;
}

// Opens an existing file for reading and writing without creating or
// truncating it, and checks that it is a regular file. `fd` stays -1 when the
// file does not exist.
bool open_existing(int dirfd, const std::string &dir, const char *name, Fd &fd, struct stat &st,
                   std::string &error) {
    const int f = ::openat(dirfd, name, O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (f < 0) {
        if (errno == ENOENT) {
            // A dangling symbolic link also lands here; refuse it rather
            // than create a file somewhere else through it.
            struct stat lst {};
            if (::fstatat(dirfd, name, &lst, AT_SYMLINK_NOFOLLOW) == 0) {
                error = join(dir, name) + ": is a symbolic link to nothing; left untouched";
                return false;
            }
            return true;
        }
        if (errno == EISDIR) {
            error = join(dir, name) + ": is a directory, expected a regular file; left untouched";
        } else {
            error = join(dir, name) + ": cannot open for reading and writing: " + errno_text();
        }
        return false;
    }
    fd.fd = f;
    if (::fstat(f, &st) != 0) {
        error = join(dir, name) + ": cannot examine: " + errno_text();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = join(dir, name) + ": is not a regular file; left untouched";
        return false;
    }
    // Back to blocking mode now that we know it is a plain file.
    ::fcntl(f, F_SETFL, ::fcntl(f, F_GETFL) & ~O_NONBLOCK);
    return true;
}

bool check_image_size(const std::string &dir, const char *name, const struct stat &st,
                      std::size_t expected, const char *what, std::string &error) {
    if (static_cast<std::uint64_t>(st.st_size) == expected)
        return true;
    error = join(dir, name) + ": " + what + " image has " + std::to_string(st.st_size) +
            " bytes, expected " + std::to_string(expected) + "; refused and left untouched";
    return false;
}

bool read_text_file(int fd, const std::string &path, const struct stat &st, std::string &text,
                    std::string &error) {
    if (st.st_size > kMaxTextFileBytes) {
        error = path + ": " + std::to_string(st.st_size) + " bytes is far too large (at most " +
                std::to_string(kMaxTextFileBytes) + "); left untouched";
        return false;
    }
    if (!read_all(fd, text)) {
        error = path + ": cannot read: " + errno_text();
        return false;
    }
    return true;
}

// Splits text into lines without their end-of-line characters.
std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> split_words(const std::string &line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool parse_u64(const std::string &s, std::uint64_t &v, int base = 10) {
    if (s.empty() || s.size() > 20)
        return false;
    unsigned __int128 acc = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            return false;
        }
        if (d >= base)
            return false;
        acc = acc * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (acc > 0xFFFFFFFFFFFFFFFFULL)
            return false;
    }
    v = static_cast<std::uint64_t>(acc);
    return true;
}

// Exactly two decimal digits ("07").
bool parse_2digits(const std::string &s, std::size_t at, std::uint8_t &v) {
    if (at + 2 > s.size())
        return false;
    const char a = s[at];
    const char b = s[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return false;
    v = static_cast<std::uint8_t>((a - '0') * 10 + (b - '0'));
    return true;
}

bool is_leap(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// One "<key> <value>" line of a small text file.
struct KeyValue {
    std::string key;
    std::string value;
    std::size_t line;
};

// Reads a versioned key/value text file: the first non-comment line is one of
// `headers` (its index goes to `version`), then one "<key> <value>" per line, each
// key at most once; '#' starts a comment, blank lines and CR LF are accepted.
bool read_key_values(const std::string &text, const std::string &name,
                     const std::vector<const char *> &headers, std::size_t &version,
                     std::vector<KeyValue> &out, std::string &error) {
    const std::vector<std::string> lines = split_lines(text);
    bool header = false;
    out.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t lineno = i + 1;
        std::string line = lines[i];
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        const std::vector<std::string> w = split_words(line);
        if (w.empty())
            continue;
        if (!header) {
            for (std::size_t h = 0; h < headers.size() && !header; ++h) {
                if (line.find_first_not_of(" \t") == 0 && split_words(headers[h]) == w) {
                    version = h;
                    header = true;
                }
            }
            if (!header) {
                error = name + ":" + std::to_string(lineno) + ": expected '" + headers.back() +
                        "' first (unknown format or version)";
                return false;
            }
            continue;
        }
        if (w.size() != 2) {
            error = name + ":" + std::to_string(lineno) + ": expected '<key> <value>'";
            return false;
        }
        for (const KeyValue &kv : out) {
            if (kv.key == w[0]) {
                error = name + ":" + std::to_string(lineno) + ": duplicate '" + w[0] +
                        "' (first on line " + std::to_string(kv.line) + ")";
                return false;
            }
        }
        out.push_back(KeyValue{w[0], w[1], lineno});
    }
    if (!header) {
        error = name + ": empty; expected '" + headers.back() + "'";
        return false;
    }
    return true;
}

// Every key of `required` must have been read: a truncated file must not
// silently become a half-default state.
bool require_keys(const std::vector<KeyValue> &kvs, const std::vector<std::string> &required,
                  const std::string &name, std::string &error) {
    for (const std::string &k : required) {
        bool found = false;
        for (const KeyValue &kv : kvs) found = found || kv.key == k;
        if (!found) {
            error = name + ": missing '" + k + "'";
            return false;
        }
    }
    return true;
}

// "0x" and 1..digits hex digits.
bool parse_hex_value(const std::string &val, std::size_t digits, std::uint64_t &v) {
    return val.size() >= 3 && val.size() <= digits + 2 && val[0] == '0' &&
           (val[1] == 'x' || val[1] == 'X') && parse_u64(val.substr(2), v, 16);
}

constexpr std::uint32_t kLseHz = 32768;
// Upgrade of a version 1 backup domain, which knew nothing of the RTC clock: a
// calendar that had been set ran from the LSE.
constexpr std::uint32_t kBdcrLseRtc = 0x00000001u | 0x00000100u | 0x00008000u;

}  // namespace

std::uint64_t BackupDomain::second_ns() const {
    const std::uint64_t cycles = std::uint64_t{prediv_a + 1} * (prediv_s + 1);
    return (cycles * 1000000000ULL + kLseHz - 1) / kLseHz;
}

bool BackupDomain::operator==(const BackupDomain &o) const {
    return bkp == o.bkp && year == o.year && month == o.month && day == o.day &&
           weekday == o.weekday && hours == o.hours && minutes == o.minutes &&
           seconds == o.seconds && subsecond_ns == o.subsecond_ns && prediv_a == o.prediv_a &&
           prediv_s == o.prediv_s && hour_format_12 == o.hour_format_12 && rcc_bdcr == o.rcc_bdcr &&
           saved_at_ns == o.saved_at_ns;
}

bool NorState::operator==(const NorState &o) const {
    return status1 == o.status1 && status2 == o.status2 && status3 == o.status3 &&
           four_byte == o.four_byte && write_enable == o.write_enable && power_down == o.power_down;
}

// ---------------------------------------------------------------- backup domain text

bool BoardDir::check_backup_domain(const BackupDomain &s, std::string &error) {
    static const std::uint8_t month_days[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(s.rcc_bdcr));
    if (s.year > 99) {
        error = "year " + std::to_string(s.year) + " out of range (0..99 since 2000)";
    } else if (s.month < 1 || s.month > 12) {
        error = "month " + std::to_string(s.month) + " out of range (1..12)";
    } else if (s.day < 1 || s.day > month_days[s.month - 1] ||
               (s.month == 2 && s.day == 29 && !is_leap(2000u + s.year))) {
        error = "day " + std::to_string(s.day) + " does not exist in month " +
                std::to_string(s.month) + " of " + std::to_string(2000u + s.year);
    } else if (s.weekday < 1 || s.weekday > 7) {
        error = "week day " + std::to_string(s.weekday) + " out of range (1..7)";
    } else if (s.hours > 23 || s.minutes > 59 || s.seconds > 59) {
        error = "time of day out of range (hours 0..23, minutes and seconds 0..59)";
    } else if (s.prediv_a > 127) {
        error = "asynchronous prescaler " + std::to_string(s.prediv_a) + " out of range (0..127)";
    } else if (s.prediv_s > 32767) {
        error = "synchronous prescaler " + std::to_string(s.prediv_s) + " out of range (0..32767)";
    } else if (s.subsecond_ns >= s.second_ns()) {
        error = "subsecond_ns " + std::to_string(s.subsecond_ns) +
                " is not within one calendar second (" + std::to_string(s.second_ns()) +
                " ns with these prescalers)";
    } else if ((s.rcc_bdcr & ~BackupDomain::kBdcrKeptBits) != 0) {
        error = std::string("rcc_bdcr ") + hex +
                " has bits that do not live in the backup domain (kept: 0x0300833D)";
    } else {
        return true;
    }
    return false;
}

std::string BoardDir::format_backup_domain(const BackupDomain &s) {
    char buf[64];
    std::string out;
    out += kBackupHeader;
    out += "\n# RTC backup domain of the simulated board; kept across power cycles.\n";
    out += "saved_at_ns " + std::to_string(s.saved_at_ns) + "\n";
    std::snprintf(buf, sizeof buf, "date %04u-%02u-%02u\n", 2000u + s.year,
                  static_cast<unsigned>(s.month), static_cast<unsigned>(s.day));
    out += buf;
    out += "weekday " + std::to_string(s.weekday) + "\n";
    std::snprintf(buf, sizeof buf, "time %02u:%02u:%02u\n", static_cast<unsigned>(s.hours),
                  static_cast<unsigned>(s.minutes), static_cast<unsigned>(s.seconds));
    out += buf;
    out += "subsecond_ns " + std::to_string(s.subsecond_ns) + "\n";
    out += "prediv_a " + std::to_string(s.prediv_a) + "\n";
    out += "prediv_s " + std::to_string(s.prediv_s) + "\n";
    out += std::string("hour_format ") + (s.hour_format_12 ? "12" : "24") + "\n";
    std::snprintf(buf, sizeof buf, "rcc_bdcr 0x%08X\n", static_cast<unsigned>(s.rcc_bdcr));
    out += buf;
    for (std::size_t i = 0; i < BackupDomain::kRegisterCount; ++i) {
        std::snprintf(buf, sizeof buf, "bkp%zu 0x%08X\n", i, static_cast<unsigned>(s.bkp[i]));
        out += buf;
    }
    return out;
}

bool BoardDir::parse_backup_domain(const std::string &text, const std::string &name,
                                   BackupDomain &out, std::string &error) {
    std::size_t version = 0;
    std::vector<KeyValue> kvs;
    if (!read_key_values(text, name, {kBackupHeaderV1, kBackupHeader}, version, kvs, error))
        return false;
    const bool v1 = version == 0;
    BackupDomain s;
    std::uint32_t v1_subseconds = 0;
    bool v1_initialised = false;
    auto fail = [&](std::size_t lineno, const std::string &msg) {
        error = name + ":" + std::to_string(lineno) + ": " + msg;
        return false;
    };
    for (const KeyValue &kv : kvs) {
        const std::string &key = kv.key;
        const std::string &val = kv.value;
        std::uint64_t v = 0;
        if (key == "saved_at_ns") {
            if (!parse_u64(val, v))
                return fail(kv.line, "saved_at_ns must be a decimal number");
            s.saved_at_ns = v;
        } else if (v1 && key == "rtc_initialised") {
            if (val != "0" && val != "1")
                return fail(kv.line, "rtc_initialised must be 0 or 1");
            v1_initialised = val == "1";
        } else if (key == "date") {
            std::uint8_t c = 0, yy = 0, mo = 0, d = 0;
            if (val.size() != 10 || !parse_2digits(val, 0, c) || !parse_2digits(val, 2, yy) ||
                val[4] != '-' || !parse_2digits(val, 5, mo) || val[7] != '-' ||
                !parse_2digits(val, 8, d) || c != 20) {
                return fail(kv.line, "date must be YYYY-MM-DD between 2000 and 2099");
            }
            s.year = yy;
            s.month = mo;
            s.day = d;
        } else if (key == "time") {
            std::uint8_t h = 0, m = 0, sec = 0;
            if (val.size() != 8 || !parse_2digits(val, 0, h) || val[2] != ':' ||
                !parse_2digits(val, 3, m) || val[5] != ':' || !parse_2digits(val, 6, sec)) {
                return fail(kv.line, "time must be HH:MM:SS");
            }
            s.hours = h;
            s.minutes = m;
            s.seconds = sec;
        } else if (key == "weekday") {
            if (!parse_u64(val, v) || v > 255)
                return fail(kv.line, "weekday must be a number 1..7");
            s.weekday = static_cast<std::uint8_t>(v);
        } else if ((v1 && key == "subseconds") || key == "prediv_a" || key == "prediv_s") {
            if (!parse_u64(val, v) || v > 0xFFFFFFFFULL)
                return fail(kv.line, key + " must be a decimal number");
            (key == "subseconds" ? v1_subseconds
             : key == "prediv_a" ? s.prediv_a
                                 : s.prediv_s) = static_cast<std::uint32_t>(v);
        } else if (!v1 && key == "subsecond_ns") {
            if (!parse_u64(val, v))
                return fail(kv.line, "subsecond_ns must be a decimal number");
            s.subsecond_ns = v;
        } else if (key == "hour_format") {
            if (val != "12" && val != "24")
                return fail(kv.line, "hour_format must be 12 or 24");
            s.hour_format_12 = val == "12";
        } else if (!v1 && key == "rcc_bdcr") {
            if (!parse_hex_value(val, 8, v))
                return fail(kv.line, "rcc_bdcr must be a 32-bit hex value such as 0x00008101");
            s.rcc_bdcr = static_cast<std::uint32_t>(v);
        } else if (key.size() > 3 && key.compare(0, 3, "bkp") == 0) {
            std::uint64_t idx = 0;
            const std::string num = key.substr(3);
            if (!parse_u64(num, idx) || idx >= BackupDomain::kRegisterCount ||
                (num.size() > 1 && num[0] == '0')) {
                return fail(kv.line,
                            "unknown key '" + key + "' (backup registers are bkp0..bkp31)");
            }
            if (!parse_hex_value(val, 8, v))
                return fail(kv.line, key + " must be a 32-bit hex value such as 0x000032F2");
            s.bkp[idx] = static_cast<std::uint32_t>(v);
        } else {
            return fail(kv.line, "unknown key '" + key + "'");
        }
    }
    std::vector<std::string> required = {"saved_at_ns", "date",     "weekday",    "time",
                                         "prediv_a",    "prediv_s", "hour_format"};
    for (const char *k : v1 ? std::vector<const char *>{"rtc_initialised", "subseconds"}
                            : std::vector<const char *>{"subsecond_ns", "rcc_bdcr"})
        required.push_back(k);
    for (std::size_t i = 0; i < BackupDomain::kRegisterCount; ++i)
        required.push_back("bkp" + std::to_string(i));
    if (!require_keys(kvs, required, name, error))
        return false;
    if (v1) {
        // Layout 1 kept the subsecond register itself; it counts down from
        // prediv_s once per (prediv_a + 1) LSE cycles.
        if (v1_subseconds > s.prediv_s) {
            error = name + ": subseconds " + std::to_string(v1_subseconds) +
                    " exceed the synchronous prescaler " + std::to_string(s.prediv_s);
            return false;
        }
        s.subsecond_ns =
            std::uint64_t{s.prediv_s - v1_subseconds} * (s.prediv_a + 1) * 1000000000ULL / kLseHz;
        s.rcc_bdcr = v1_initialised ? kBdcrLseRtc : 0u;
    }
    std::string msg;
    if (!check_backup_domain(s, msg)) {
        error = name + ": " + msg;
        return false;
    }
    out = s;
    return true;
}

// ---------------------------------------------------------------- NOR chip state text

std::string BoardDir::format_nor_state(const NorState &s) {
    char buf[32];
    std::string out = kNorStateHeader;
    out +=
        "\n# External NOR flash chip of the simulated board: non-volatile status register bits,\n"
        "# and the volatile state it will have at the next start.\n";
    for (int i = 1; i <= 3; ++i) {
        const unsigned v = i == 1 ? s.status1 : i == 2 ? s.status2 : s.status3;
        std::snprintf(buf, sizeof buf, "status%d 0x%02X\n", i, v);
        out += buf;
    }
    out += std::string("address_mode ") + (s.four_byte ? "4" : "3") + "\n";
    out += std::string("write_enable ") + (s.write_enable ? "1" : "0") + "\n";
    out += std::string("power_down ") + (s.power_down ? "1" : "0") + "\n";
    return out;
}

bool BoardDir::parse_nor_state(const std::string &text, const std::string &name, NorState &out,
                               std::string &error) {
    std::size_t version = 0;
    std::vector<KeyValue> kvs;
    if (!read_key_values(text, name, {kNorStateHeader}, version, kvs, error))
        return false;
    NorState s;
    for (const KeyValue &kv : kvs) {
        auto fail = [&](const std::string &msg) {
            error = name + ":" + std::to_string(kv.line) + ": " + msg;
            return false;
        };
        std::uint64_t v = 0;
        if (kv.key == "status1" || kv.key == "status2" || kv.key == "status3") {
            const std::uint8_t kept = kv.key == "status1"   ? NorState::kStatus1Bits
                                      : kv.key == "status2" ? NorState::kStatus2Bits
                                                            : NorState::kStatus3Bits;
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", kept);
            if (!parse_hex_value(kv.value, 2, v))
                return fail(kv.key + " must be an 8-bit hex value such as 0x02");
            if ((v & ~std::uint64_t{kept}) != 0)
                return fail(kv.key + " " + kv.value +
                            " has bits that are not kept without power (kept: " + hex + ")");
            (kv.key == "status1"   ? s.status1
             : kv.key == "status2" ? s.status2
                                   : s.status3) = static_cast<std::uint8_t>(v);
        } else if (kv.key == "address_mode") {
            if (kv.value != "3" && kv.value != "4")
                return fail("address_mode must be 3 or 4");
            s.four_byte = kv.value == "4";
        } else if (kv.key == "write_enable" || kv.key == "power_down") {
            if (kv.value != "0" && kv.value != "1")
                return fail(kv.key + " must be 0 or 1");
            (kv.key == "write_enable" ? s.write_enable : s.power_down) = kv.value == "1";
        } else {
            return fail("unknown key '" + kv.key + "'");
        }
    }
    if (!require_keys(
            kvs, {"status1", "status2", "status3", "address_mode", "write_enable", "power_down"},
            name, error))
        return false;
    out = s;
    return true;
}

// ---------------------------------------------------------------- open / close

BoardDir::~BoardDir() {
    close();
}

void BoardDir::close() {
    if (nor_raw_ != nullptr)
        ::munmap(nor_raw_, kNorSize);
    if (intflash_ != nullptr)
        ::munmap(intflash_, kIntFlashSize);
    nor_raw_ = nullptr;
    intflash_ = nullptr;
    for (int *fd : {&nor_fd_, &intflash_fd_, &lock_fd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    path_.clear();
    backup_ = BackupDomain{};
    nor_state_ = NorState{};
    image_.clear();
}

bool BoardDir::open(const std::string &path, std::string &error) {
    if (is_open()) {
        error = path + ": this board directory object already has " + path_ + " open";
        return false;
    }
    if (path.empty()) {
        error = "no board directory given";
        return false;
    }

    // A missing directory is the first use: create it (an empty directory has
    // nothing to validate).
    struct stat dst {};
    if (::stat(path.c_str(), &dst) != 0) {
        if (errno != ENOENT) {
            error = path + ": cannot examine board directory: " + errno_text();
            return false;
        }
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec) {
            error = path + ": cannot create board directory: " + ec.message();
            return false;
        }
    } else if (!S_ISDIR(dst.st_mode)) {
        error = path + ": exists and is not a directory; left untouched";
        return false;
    }

    Fd dirfd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirfd.fd < 0) {
        error = path + ": cannot open board directory: " + errno_text();
        return false;
    }
    // Two simulators on one board would interleave their flash writes.
    if (::flock(dirfd.fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? path + ": board directory is in use by another simulator"
                                     : path + ": cannot lock board directory: " + errno_text();
        return false;
    }

    // ---- phase 1: look, change nothing
    bool old_layout = false;
    std::string image;
    Fd marker;
    struct stat mst {};
    if (!open_existing(dirfd.fd, path, kMarkerFile, marker, mst, error))
        return false;
    if (marker.fd >= 0) {
        std::string text;
        if (!read_text_file(marker.fd, join(path, kMarkerFile), mst, text, error))
            return false;
        const std::vector<std::string> lines = split_lines(text);
        if (lines.empty() || (lines[0] != kMarkerHeader && lines[0] != kMarkerHeaderV1)) {
            error = join(path, kMarkerFile) + ": first line must be '" + kMarkerHeader + "' (or '" +
                    kMarkerHeaderV1 +
                    "', which is upgraded); not a board directory of this simulator, or a "
                    "newer layout; left untouched";
            return false;
        }
        old_layout = lines[0] == kMarkerHeaderV1;
        for (std::size_t k = 1; k < lines.size(); ++k) {
            if (lines[k].rfind("image ", 0) == 0)
                image = lines[k].substr(6);
        }
    } else {
        // No marker: only an empty directory may become a board directory.
        DIR *d = ::fdopendir(::dup(dirfd.fd));
        if (d == nullptr) {
            error = path + ": cannot list board directory: " + errno_text();
            return false;
        }
        std::string other;
        while (const dirent *e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") {
                other = n;
                break;
            }
        }
        ::closedir(d);
        if (!other.empty()) {
            error = path + ": not a board directory (no " + kMarkerFile +
                    ") and not empty (holds '" + other + "'); left untouched";
            return false;
        }
    }

    Fd nor;
    struct stat nst {};
    if (!open_existing(dirfd.fd, path, kNorFile, nor, nst, error))
        return false;
    if (nor.fd >= 0 &&
        !check_image_size(path, kNorFile, nst, kNorSize, "external NOR flash", error))
        return false;

    Fd intf;
    struct stat ist {};
    if (!open_existing(dirfd.fd, path, kIntFlashFile, intf, ist, error))
        return false;
    if (intf.fd >= 0 &&
        !check_image_size(path, kIntFlashFile, ist, kIntFlashSize, "internal flash", error)) {
        return false;
    }

    BackupDomain backup;
    bool have_backup = false;
    bool backup_upgrade = false;  // a layout 1 backup.txt, rewritten in the new format
    {
        Fd bfd;
        struct stat bst {};
        if (!open_existing(dirfd.fd, path, kBackupFile, bfd, bst, error))
            return false;
        if (bfd.fd >= 0) {
            std::string text;
            if (!read_text_file(bfd.fd, join(path, kBackupFile), bst, text, error))
                return false;
            if (!parse_backup_domain(text, join(path, kBackupFile), backup, error)) {
                error += "; left untouched";
                return false;
            }
            have_backup = true;
            backup_upgrade = !text.empty() && text.find(kBackupHeader) == std::string::npos;
        }
    }

    NorState nor_state;
    bool have_nor_state = false;
    {
        Fd sfd;
        struct stat sst {};
        if (!open_existing(dirfd.fd, path, kNorStateFile, sfd, sst, error))
            return false;
        if (sfd.fd >= 0) {
            std::string text;
            if (!read_text_file(sfd.fd, join(path, kNorStateFile), sst, text, error))
                return false;
            if (!parse_nor_state(text, join(path, kNorStateFile), nor_state, error)) {
                error += "; left untouched";
                return false;
            }
            have_nor_state = true;
        }
    }

    // ---- phase 2: create what is missing. The marker goes first, so that a
    // creation cut short leaves a directory that the next run recognises and
    // completes. An upgrade writes the marker last, so that one cut short is
    // done again (the new files are read under either marker).
    if (marker.fd < 0) {
        const std::string text = marker_text("");
        if (!replace_file(dirfd.fd, path, kMarkerFile, text.data(), text.size(), error))
            return false;
    }
    if (nor.fd < 0) {
        // An all-zero file is an erased chip because the image is bit-inverted;
        // ftruncate makes it one big hole.
        const std::string tmp = std::string(kNorFile) + ".tmp";
        Fd f(::openat(dirfd.fd, tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (f.fd < 0 || ::ftruncate(f.fd, static_cast<off_t>(kNorSize)) != 0 ||
            ::fsync(f.fd) != 0 || ::renameat(dirfd.fd, tmp.c_str(), dirfd.fd, kNorFile) != 0) {
            error = join(path, kNorFile) + ": cannot create: " + errno_text();
            ::unlinkat(dirfd.fd, tmp.c_str(), 0);
            return false;
        }
        ::fsync(dirfd.fd);
        nor.fd = f.release();
    }
    if (intf.fd < 0) {
        const std::vector<std::uint8_t> erased(kIntFlashSize, 0xFF);
        if (!replace_file(dirfd.fd, path, kIntFlashFile, erased.data(), erased.size(), error))
            return false;
        intf.fd = ::openat(dirfd.fd, kIntFlashFile, O_RDWR | O_CLOEXEC);
        if (intf.fd < 0) {
            error = join(path, kIntFlashFile) + ": cannot open: " + errno_text();
            return false;
        }
    }
    if (!have_backup || backup_upgrade) {
        const std::string text = format_backup_domain(backup);
        if (!replace_file(dirfd.fd, path, kBackupFile, text.data(), text.size(), error))
            return false;
    }
    if (!have_nor_state) {
        const std::string text = format_nor_state(nor_state);
        if (!replace_file(dirfd.fd, path, kNorStateFile, text.data(), text.size(), error))
            return false;
    }
    if (old_layout) {
        const std::string text = marker_text(image);
        if (!replace_file(dirfd.fd, path, kMarkerFile, text.data(), text.size(), error))
            return false;
    }

    void *nm = ::mmap(nullptr, kNorSize, PROT_READ | PROT_WRITE, MAP_SHARED, nor.fd, 0);
    if (nm == MAP_FAILED) {
        error = join(path, kNorFile) + ": cannot map: " + errno_text();
        return false;
    }
    void *im = ::mmap(nullptr, kIntFlashSize, PROT_READ | PROT_WRITE, MAP_SHARED, intf.fd, 0);
    if (im == MAP_FAILED) {
        error = join(path, kIntFlashFile) + ": cannot map: " + errno_text();
        ::munmap(nm, kNorSize);
        return false;
    }

    path_ = path;
    lock_fd_ = dirfd.release();
    nor_fd_ = nor.release();
    intflash_fd_ = intf.release();
    nor_raw_ = static_cast<std::uint8_t *>(nm);
    intflash_ = static_cast<std::uint8_t *>(im);
    backup_ = backup;
    nor_state_ = nor_state;
    image_ = image;
    return true;
}

bool BoardDir::set_image(const std::string &image, std::string &error) {
    if (!in_memory()) {
        const std::string text = marker_text(image);
        if (!replace_file(lock_fd_, path_, kMarkerFile, text.data(), text.size(), error))
            return false;
    }
    image_ = image;
    return true;
}

bool BoardDir::open_in_memory(std::string &error) {
    if (is_open()) {
        error = "this board directory object already has " + path_ + " open";
        return false;
    }
    // Anonymous files rather than plain memory, so that the internal flash can be
    // mapped a second time at the chip's address, as from a board directory.
    Fd nor(::memfd_create("nor.img", MFD_CLOEXEC));
    Fd intf(::memfd_create("intflash.bin", MFD_CLOEXEC));
    if (nor.fd < 0 || intf.fd < 0 || ::ftruncate(nor.fd, static_cast<off_t>(kNorSize)) != 0 ||
        ::ftruncate(intf.fd, static_cast<off_t>(kIntFlashSize)) != 0) {
        error = "cannot create an in-memory board: " + errno_text();
        return false;
    }
    void *nm = ::mmap(nullptr, kNorSize, PROT_READ | PROT_WRITE, MAP_SHARED, nor.fd, 0);
    if (nm == MAP_FAILED) {
        error = "cannot map an in-memory board: " + errno_text();
        return false;
    }
    void *im = ::mmap(nullptr, kIntFlashSize, PROT_READ | PROT_WRITE, MAP_SHARED, intf.fd, 0);
    if (im == MAP_FAILED) {
        error = "cannot map an in-memory board: " + errno_text();
        ::munmap(nm, kNorSize);
        return false;
    }
    std::memset(im, 0xFF, kIntFlashSize);
    path_.clear();
    nor_fd_ = nor.release();
    intflash_fd_ = intf.release();
    nor_raw_ = static_cast<std::uint8_t *>(nm);
    intflash_ = static_cast<std::uint8_t *>(im);
    backup_ = BackupDomain{};
    nor_state_ = NorState{};
    return true;
}

// ---------------------------------------------------------------- NOR flash

namespace {
bool in_range(std::uint64_t addr, std::uint64_t n, std::uint64_t size) {
    return addr <= size && n <= size - addr;
}
}  // namespace

std::uint8_t BoardDir::nor_get(std::uint32_t addr) const {
    if (!is_open() || addr >= kNorSize)
        return 0xFF;
    return static_cast<std::uint8_t>(~nor_raw_[addr]);
}

bool BoardDir::nor_read(std::uint32_t addr, std::uint8_t *out, std::size_t n) const {
    if (!is_open() || !in_range(addr, n, kNorSize))
        return false;
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(~nor_raw_[addr + i]);
    return true;
}

bool BoardDir::nor_set(std::uint32_t addr, std::uint8_t value) {
    if (!is_open() || addr >= kNorSize)
        return false;
    nor_raw_[addr] = static_cast<std::uint8_t>(~value);
    return true;
}

bool BoardDir::nor_program(std::uint32_t addr, const std::uint8_t *data, std::size_t n) {
    if (!is_open() || !in_range(addr, n, kNorSize))
        return false;
    // logical' = logical & data  <=>  raw' = raw | ~data
    for (std::size_t i = 0; i < n; ++i) nor_raw_[addr + i] |= static_cast<std::uint8_t>(~data[i]);
    return true;
}

bool BoardDir::nor_erase(std::uint32_t addr, std::size_t n) {
    if (!is_open() || !in_range(addr, n, kNorSize))
        return false;
    std::uint64_t pos = addr;
    const std::uint64_t end = static_cast<std::uint64_t>(addr) + n;
    // Unaligned head and tail are cleared in place; whole sectors become holes.
    const std::uint64_t first_full = (pos + kNorSectorSize - 1) / kNorSectorSize * kNorSectorSize;
    const std::uint64_t last_full = end / kNorSectorSize * kNorSectorSize;
    if (first_full < last_full) {
        std::memset(nor_raw_ + pos, 0, first_full - pos);
        if (::fallocate(nor_fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                        static_cast<off_t>(first_full),
                        static_cast<off_t>(last_full - first_full)) != 0) {
            std::memset(nor_raw_ + first_full, 0, last_full - first_full);
        }
        pos = last_full;
    }
    std::memset(nor_raw_ + pos, 0, end - pos);
    return true;
}

// ---------------------------------------------------------------- internal flash

bool BoardDir::intflash_erase_pages(std::uint32_t first_page, std::uint32_t count) {
    const std::uint64_t pages = kIntFlashSize / kIntFlashPageSize;
    if (!is_open() || !in_range(first_page, count, pages))
        return false;
    std::memset(intflash_ + static_cast<std::size_t>(first_page) * kIntFlashPageSize, 0xFF,
                static_cast<std::size_t>(count) * kIntFlashPageSize);
    return true;
}

// ---------------------------------------------------------------- saves

bool BoardDir::save_backup_domain(const BackupDomain &state, std::string &error) {
    if (!is_open()) {
        error = "board directory is not open";
        return false;
    }
    std::string msg;
    if (!check_backup_domain(state, msg)) {
        error = join(path_, kBackupFile) + ": not saved: " + msg;
        return false;
    }
    const std::string text = format_backup_domain(state);
    if (!in_memory() &&
        !replace_file(lock_fd_, path_, kBackupFile, text.data(), text.size(), error, false))
        return false;
    backup_ = state;
    return true;
}

bool BoardDir::save_nor_state(const NorState &state, std::string &error) {
    if (!is_open()) {
        error = "board directory is not open";
        return false;
    }
    if ((state.status1 & ~NorState::kStatus1Bits) || (state.status2 & ~NorState::kStatus2Bits) ||
        (state.status3 & ~NorState::kStatus3Bits)) {
        error = join(path_, kNorStateFile) + ": not saved: status bits that are not kept";
        return false;
    }
    if (state == nor_state_)
        return true;  // already in the file: most runs change nothing here
    const std::string text = format_nor_state(state);
    if (!in_memory() &&
        !replace_file(lock_fd_, path_, kNorStateFile, text.data(), text.size(), error, false))
        return false;
    nor_state_ = state;
    return true;
}

}  // namespace sim
