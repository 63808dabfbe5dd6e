#pragma once
// The observable state of the engine after one work call, as one CSV line, plus a running
// 64-bit hash of those lines. Portable and heap-free so that the Cortex-M4F build produces
// the very same text and hash as the host. The line and the engine's name come from the engine
// the program is built with (Observe.cpp for the device engine, ObserveVariant.cpp for the
// data-logging variant); the text helpers are common.
#include <cstddef>
#include <cstdint>

#include "FallDetector.h"

namespace fall_replay {

// The engine this program runs, for reports and regression data.
const char *engineName();
// True in the programs built with the data-logging image's variant.
bool isVariantEngine();

// Column names matching formatState(), comma-separated, no line end.
const char *stateHeader();

// Formats the six inputs, the engine's observable fields and the result into buf (no line end,
// NUL-terminated). Returns the length. buf must hold at least kStateLineMax bytes.
constexpr std::size_t kStateLineMax = 768;
std::size_t formatState(const FALL_DETECTOR &det, const FALL_DETECTOR_SENSOR_DATA &in, int result,
                        char *buf);

// FNV-1a, 64 bits.
class Hash64 {
  public:
    void add(const char *data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            h_ ^= static_cast<uint8_t>(data[i]);
            h_ *= 1099511628211ull;
        }
    }
    uint64_t value() const { return h_; }

  private:
    uint64_t h_ = 14695981039346656037ull;
};

// Runs a sample source through a freshly configured detector (default configuration) and
// collects what the regression data keeps: every positive result and the hash of all state
// lines (each followed by '\n').
struct Positive {
    uint32_t index;
    int32_t type;
};

constexpr std::size_t kMaxPositives = 64;

struct RunSummary {
    uint32_t samples = 0;
    uint64_t hash = 0;
    uint32_t positiveCount = 0;  // may exceed kMaxPositives; only the first are kept
    Positive positives[kMaxPositives] = {};
};

// Appends decimal text; returns the new end.
inline char *putInt(char *p, int64_t v) {
    char tmp[24];
    int n = 0;
    // Work in the negative range so that INT64_MIN needs no special case.
    const bool neg = v < 0;
    int64_t x = neg ? v : -v;
    do {
        tmp[n++] = static_cast<char>('0' - static_cast<int>(x % 10));
        x /= 10;
    } while (x != 0);
    if (neg)
        *p++ = '-';
    while (n > 0) *p++ = tmp[--n];
    return p;
}

// 16 lower-case hexadecimal digits; returns the new end.
inline char *putHex64(char *p, uint64_t v) {
    static const char kDigits[] = "0123456789abcdef";
    for (int shift = 60; shift >= 0; shift -= 4) *p++ = kDigits[(v >> shift) & 0xF];
    return p;
}

// Writes the fields comma-separated; returns the length written.
inline std::size_t putFields(const int64_t *fields, std::size_t n, char *buf) {
    char *p = buf;
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0)
            *p++ = ',';
        p = putInt(p, fields[i]);
    }
    *p = '\0';
    return static_cast<std::size_t>(p - buf);
}

}  // namespace fall_replay
