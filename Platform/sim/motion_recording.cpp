// Motion recordings for the motion sensor model: a CSV of sensor-frame samples with
// their times. Every refusal names the file and line.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/devices.h"

namespace sim {

namespace {

std::string trim(const std::string &s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return s.substr(a, b - a);
}

std::vector<std::string> split(const std::string &line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        out.push_back(trim(line.substr(start, comma - start)));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

// Milliseconds with up to six decimals, as nanoseconds.
bool parse_ms(const std::string &s, Time &ns) {
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

bool parse_int16(const std::string &s, std::int16_t &v) {
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

bool is_header(const std::vector<std::string> &f) {
    for (const std::string &x : f) {
        if (x.empty() || !(std::isalpha(static_cast<unsigned char>(x[0])) || x[0] == '_'))
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
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineno;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        const std::vector<std::string> f = split(t);
        if (!seen_content && is_header(f)) {
            seen_content = true;
            if (f.size() != 7)
                return fail(
                    "the header must name 7 columns (time_ms, ax, ay, az, gx, gy, gz), "
                    "not " +
                    std::to_string(f.size()));
            continue;
        }
        seen_content = true;
        if (f.size() != 7)
            return fail("expected 7 values (time_ms, ax, ay, az, gx, gy, gz), found " +
                        std::to_string(f.size()));
        Time at = 0;
        if (!parse_ms(f[0], at))
            return fail("time '" + f[0] +
                        "' is not a number of milliseconds (at most six decimals, not negative)");
        if (!rec.t.empty() && at < rec.t.back())
            return fail("time " + f[0] + " ms is earlier than the previous sample's");
        std::array<std::int16_t, 6> v{};
        for (int k = 0; k < 6; ++k) {
            if (!parse_int16(f[static_cast<std::size_t>(k + 1)], v[static_cast<std::size_t>(k)]))
                return fail("value '" + f[static_cast<std::size_t>(k + 1)] + "' for " +
                            kColumns[k + 1] + " is not a whole number in -32768..32767");
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
