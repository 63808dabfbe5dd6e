#pragma once
// The observable state of the engine after one work call, as one CSV line, plus a running
// 64-bit hash of those lines. Portable and heap-free so that the Cortex-M4F build produces
// the very same text and hash as the host.
#include <cstddef>
#include <cstdint>

#include "FallDetector.h"

namespace fall_replay {

// Column names matching formatState(), comma-separated, no line end.
const char *stateHeader();

// Formats the six inputs, the engine's observable fields and the result into buf (no line end,
// NUL-terminated). Returns the length. buf must hold at least kStateLineMax bytes.
constexpr std::size_t kStateLineMax = 512;
std::size_t formatState(const FALL_DETECTOR &det, const FALL_DETECTOR_SENSOR_DATA &in, int result,
                        char *buf);

// FNV-1a, 64 bits.
class Hash64 {
  public:
    void add(const char *data, std::size_t n);
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
char *putInt(char *p, int64_t v);
char *putHex64(char *p, uint64_t v);  // 16 lower-case digits

}  // namespace fall_replay
