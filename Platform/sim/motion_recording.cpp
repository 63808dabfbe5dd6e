// Motion recordings for the motion sensor model: a CSV of sensor-frame samples with
// their times. Every refusal names the file and line.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "sim/devices.h"

namespace sim {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Up to 8 fields of a line; the count, which may exceed what was kept.
std::size_t split(std::string_view line, std::string_view (&out)[8]) {
    std::size_t n = 0;
    for (;;) {
        const std::size_t comma = line.find(',');
        if (n < 8)
            out[n] = trim(line.substr(0, comma));
        ++n;
        if (comma == std::string_view::npos)
            return n;
        line.remove_prefix(comma + 1);
    }
}

// Milliseconds with up to six decimals, as nanoseconds.
bool parse_ms(std::string_view s, Time &ns) {
    std::size_t i = 0;
    Time whole = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (i >= 12)
            return false;  // beyond 31 years
        whole = whole * 10 + static_cast<Time>(s[i++] - '0');
    }
    if (i == 0)
        return false;
    Time frac = 0;
    int digits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 6) {
            frac = frac * 10 + static_cast<Time>(s[i++] - '0');
            ++digits;
        }
        if (digits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    for (int d = digits; d < 6; ++d) frac *= 10;
    ns = whole * 1000000u + frac;
    return true;
}

bool parse_int16(std::string_view s, std::int16_t &v) {
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        neg = s[i++] == '-';
    if (i == s.size() || s.size() - i > 6)
        return false;
    long acc = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        acc = acc * 10 + (s[i] - '0');
    }
    if (neg)
        acc = -acc;
    if (acc < -32768 || acc > 32767)
        return false;
    v = static_cast<std::int16_t>(acc);
    return true;
}

bool is_header(const std::string_view *f, std::size_t n) {
    for (std::size_t k = 0; k < n && k < 8; ++k) {
        if (f[k].empty() || !(std::isalpha(static_cast<unsigned char>(f[k][0])) || f[k][0] == '_'))
            return false;
    }
    return true;
}

const char *const kColumns[] = {"time_ms", "ax", "ay", "az", "gx", "gy", "gz"};

}  // namespace

bool parse_motion_recording(const std::string &text, const std::string &name, MotionRecording &out,
                            std::string &error) {
    MotionRecording rec;
    rec.source = name;
    std::size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::uint32_t lineno = 0;
    bool seen_content = false;
    auto fail = [&](const std::string &msg) {
        error = name + ":" + std::to_string(lineno) + ": " + msg;
        return false;
    };
    const std::string_view all(text);
    while (pos < all.size()) {
        std::size_t end = all.find('\n', pos);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(pos, end - pos);
        pos = end + 1;
        ++lineno;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        std::string_view f[8];
        const std::size_t n = split(t, f);
        if (!seen_content && is_header(f, n)) {
            seen_content = true;
            if (n != 7)
                return fail(
                    "the header must name 7 columns (time_ms, ax, ay, az, gx, gy, gz), "
                    "not " +
                    std::to_string(n));
            continue;
        }
        seen_content = true;
        if (n != 7)
            return fail("expected 7 values (time_ms, ax, ay, az, gx, gy, gz), found " +
                        std::to_string(n));
        Time at = 0;
        if (!parse_ms(f[0], at))
            return fail("time '" + std::string(f[0]) +
                        "' is not a number of milliseconds (at most six decimals, not negative)");
        if (!rec.t.empty() && at < rec.t.back())
            return fail("time " + std::string(f[0]) + " ms is earlier than the previous sample's");
        std::array<std::int16_t, 6> v{};
        for (std::size_t k = 0; k < 6; ++k) {
            if (!parse_int16(f[k + 1], v[k]))
                return fail("value '" + std::string(f[k + 1]) + "' for " + kColumns[k + 1] +
                            " is not a whole number in -32768..32767");
        }
        rec.t.push_back(at);
        rec.v.push_back(v);
    }
    if (rec.t.empty()) {
        error = name + ": no samples";
        return false;
    }
    out = std::move(rec);
    return true;
}

bool load_motion_recording(const std::string &path, MotionRecording &out, std::string &error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = path + ": cannot open motion recording: " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": the motion recording is not a regular file";
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxRecordingBytes) {
        error = path + ": " + std::to_string(st.st_size) +
                " bytes is too large for a motion recording (at most " +
                std::to_string(kMaxRecordingBytes) + ")";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    if (!in && !in.eof()) {
        error = path + ": read error";
        return false;
    }
    return parse_motion_recording(ss.str(), path, out, error);
}

}  // namespace sim
