#pragma once
// Small pieces the Cortex-M4F test programs share: bit views of doubles, a deterministic
// operand generator, and report lines built without printf or the heap.
#include <cstdint>
#include <cstring>

#include "Semihost.h"
#include "fall_replay/Observe.h"

namespace target {

inline uint64_t bitsOf(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

inline double fromBits(uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// xorshift64: the same operand sequence on every run and every machine.
struct XorShift64 {
    uint64_t state;
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// A report line assembled piece by piece; long lines are cut, never overrun.
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
    // Prints the line, marked as a failure unless ok.
    void report(bool ok) {
        print(ok ? "  " : "FAIL: ");
        printLine(str());
    }

  private:
    char *end() { return buf_ + sizeof buf_ - 1; }
    char buf_[160];
    char *p_ = buf_;
};

// "<label>: <count>" on a line of its own.
inline void printCount(const char *label, int64_t count) {
    Line line;
    line.text(label).text(": ").num(count);
    printLine(line.str());
}

}  // namespace target
