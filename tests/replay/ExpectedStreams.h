#pragma once
// Committed regression data of the synthetic streams, shared by the host test and the
// Cortex-M4F test, and the comparison both of them apply.
#include <cstddef>
#include <cstdint>

#include "fall_replay/Observe.h"

namespace regression {

struct ExpectedStream {
    const char *name;
    uint32_t samples;
    uint64_t hash;  // FNV-1a over every per-sample state line
    uint32_t positiveCount;
    const fall_replay::Positive *positives;
};

extern const ExpectedStream kExpectedStreams[];
extern const std::size_t kExpectedStreamCount;

// A report line assembled piece by piece, without printf or the heap so that the target's
// programs can use it too; a long line is cut, never overrun.
class Line {
  public:
    Line &text(const char *s) {
        while (*s && p_ < end()) *p_++ = *s++;
        return *this;
    }
    Line &hex(uint64_t v) {
        if (end() - p_ >= 16)
            p_ = fall_replay::putHex64(p_, v);
        return *this;
    }
    Line &num(int64_t v) {
        if (end() - p_ >= 20)
            p_ = fall_replay::putInt(p_, v);
        return *this;
    }
    const char *str() {
        *p_ = '\0';
        return buf_;
    }

  private:
    char *end() { return buf_ + sizeof buf_ - 1; }
    char buf_[256];
    char *p_ = buf_;
};

// Compares one run with its expectation; writes "<stream>: ok" or the first difference.
bool matches(const ExpectedStream &want, const fall_replay::RunSummary &got, Line &reason);

}  // namespace regression
