#include "fall_replay/CsvReader.h"

#include <cctype>
#include <vector>

namespace fall_replay {

namespace {

const char *const kColumnNames[] = {"ax", "ay", "az", "gx", "gy", "gz"};

std::string trim(const std::string &s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::vector<std::string> split(const std::string &s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = s.find(',', start);
        out.push_back(trim(s.substr(start, comma == std::string::npos ? comma : comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

// Strict decimal integer: optional sign, digits only. false on anything else or overflow of
// a generous bound (the caller checks the real range).
bool parseInt(const std::string &s, int64_t &v) {
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        neg = s[i++] == '-';
    if (i >= s.size())
        return false;
    int64_t x = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        x = x * 10 + (s[i] - '0');
        if (x > 1000000000000000LL)
            return false;
    }
    v = neg ? -x : x;
    return true;
}

// A header names its columns: every field starts with a letter or '_'. A line such as
// "1e3,0,..." is a malformed sample, not a header, and must not be skipped silently.
bool isHeader(const std::vector<std::string> &fields) {
    for (const std::string &f : fields) {
        if (f.empty())
            return false;
        const unsigned char c = static_cast<unsigned char>(f[0]);
        if (!std::isalpha(c) && c != '_')
            return false;
    }
    return true;
}

}  // namespace

CsvReader::CsvReader(std::istream &in, std::string name) : in_(in), name_(std::move(name)) {}

void CsvReader::fail(const std::string &msg) const {
    throw ParseError(name_ + ":" + std::to_string(line_) + ": " + msg);
}

bool CsvReader::next(CsvSample &out) {
    std::string raw;
    while (std::getline(in_, raw)) {
        ++line_;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (line_ == 1 && raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            raw.erase(0, 3);  // spreadsheet programs like to prepend a byte-order mark
        }
        const std::string text = trim(raw);
        if (text.empty() || text[0] == '#')
            continue;

        std::vector<std::string> f = split(text);
        if (!seenContent && isHeader(f)) {
            seenContent = true;
            if (f.size() != 6 && f.size() != 7) {
                fail("header names " + std::to_string(f.size()) +
                     " columns; expected ax,ay,az,gx,gy,gz with an optional leading time column");
            }
            columns_ = static_cast<int>(f.size());
            continue;
        }
        seenContent = true;
        if (columns_ == 0) {
            if (f.size() != 6 && f.size() != 7) {
                fail("expected 6 values (ax,ay,az,gx,gy,gz) or 7 (time_ms first), found " +
                     std::to_string(f.size()));
            }
            columns_ = static_cast<int>(f.size());
        } else if (static_cast<int>(f.size()) != columns_) {
            fail("expected " + std::to_string(columns_) + " values, found " +
                 std::to_string(f.size()));
        }

        const int first = columns_ - 6;
        out = CsvSample{};
        out.line = line_;
        if (first == 1) {
            int64_t t;
            if (!parseInt(f[0], t))
                fail("time '" + f[0] + "' is not a whole number of ms");
            if (t < 0)
                fail("time " + f[0] + " is negative");
            if (haveLastTime_ && t < lastTime_) {
                fail("time " + f[0] + " ms is earlier than the previous sample's " +
                     std::to_string(lastTime_) + " ms");
            }
            haveLastTime_ = true;
            lastTime_ = t;
            out.hasTime = true;
            out.timeMs = t;
        }
        int16_t v[6];
        for (int i = 0; i < 6; ++i) {
            const std::string &s = f[first + i];
            int64_t x;
            if (s.empty())
                fail(std::string("missing value for ") + kColumnNames[i]);
            if (!parseInt(s, x)) {
                fail(std::string("value '") + s + "' for " + kColumnNames[i] +
                     " is not an integer");
            }
            if (x < -32768 || x > 32767) {
                fail(std::string("value ") + s + " for " + kColumnNames[i] +
                     " is outside int16 (-32768..32767)");
            }
            v[i] = static_cast<int16_t>(x);
        }
        out.data = FALL_DETECTOR_SENSOR_DATA{v[0], v[1], v[2], v[3], v[4], v[5]};
        return true;
    }
    if (in_.bad())
        fail("read error");
    return false;
}

}  // namespace fall_replay
